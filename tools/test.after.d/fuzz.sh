#!/usr/bin/env bash
# Bounded libFuzzer runs of the parsers that read outside data: the MIDI file reader and tempo map (about 30 s,
# seeded with the demo song) and the PNG decoder (about 60 s, seeded with the library's three pictures).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset fuzz >/dev/null

# fuzz NAME TARGET FOLDER DEFAULT_SECONDS: new inputs go to the corpus folder in the build tree; seeds are only read.
fuzz() {
  local name=$1 target=$2 folder=build/fuzz/tests/$3 seconds="${KORALIN_FUZZ_SECONDS:-$4}"
  echo "=== fuzz ($name, ${seconds} s) ==="
  cmake --build build/fuzz --target "$target" -j 2
  mkdir -p "$folder/fuzz-corpus"
  ASAN_OPTIONS=detect_leaks=1 "$folder/$target" -max_total_time="$seconds" -rss_limit_mb=2560 \
    -print_final_stats=1 "$folder/fuzz-corpus" "$folder/fuzz-seeds" 2>&1 | tail -n 25
  return "${PIPESTATUS[0]}"
}

fuzz midi midi_fuzz cli 30
fuzz png png_fuzz png 60
