#!/usr/bin/env bash
# Bounded libFuzzer runs of everything that reads outside data: the MIDI file reader and tempo map (about 30 s,
# seeded with the demo song), the PNG decoder (about 60 s, seeded with the library's three pictures), the host's
# state chunk through the instrument's dispatcher, koralin-render's preset files, Koralin.lv2's state restore and
# Koralin.clap's state load (about 30 s each, seeded with chunks and files the instrument writes at build time).
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${KORALIN_FUZZ_BUILD:-build/fuzz}"
cmake --preset fuzz -B "$build" >/dev/null

# fuzz NAME TARGET FOLDER STEM DEFAULT_SECONDS: the target in tests/FOLDER of the build tree reads its seeds from
# STEM-seeds (only read) and keeps what it finds new in STEM-corpus.
fuzz() {
  local name=$1 target=$2 folder=$build/tests/$3 stem=$4 seconds="${KORALIN_FUZZ_SECONDS:-$5}"
  echo "=== fuzz ($name, ${seconds} s) ==="
  cmake --build "$build" --target "$target" -j 2
  mkdir -p "$folder/$stem-corpus"
  ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 "$folder/$target" -max_total_time="$seconds" -rss_limit_mb=2560 \
    -print_final_stats=1 "$folder/$stem-corpus" "$folder/$stem-seeds" 2>&1 | tail -n 25
  return "${PIPESTATUS[0]}"
}

fuzz midi midi_fuzz cli fuzz 30
fuzz png png_fuzz png fuzz 60
fuzz chunk chunk_fuzz fuzz chunk 30
fuzz preset-file preset_file_fuzz fuzz preset-file 30
if pkg-config --exists lv2; then
  fuzz lv2-state lv2_state_fuzz lv2 lv2-state 30
else
  echo "=== fuzz (lv2-state) left out: no LV2 headers (Debian's lv2-dev) ==="
fi
fuzz clap-state clap_state_fuzz fuzz clap-state 30
