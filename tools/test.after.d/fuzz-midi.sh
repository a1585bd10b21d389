#!/usr/bin/env bash
# A bounded libFuzzer run of the MIDI file parser and tempo map (about 30 s), seeded with the demo song.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${KORALIN_FUZZ_SECONDS:-30}"
echo "=== fuzz (midi, ${seconds} s) ==="
cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target midi_fuzz -j 2
fuzzer=build/fuzz/tests/cli/midi_fuzz
corpus=build/fuzz/tests/cli/fuzz-corpus
seeds=build/fuzz/tests/cli/fuzz-seeds
mkdir -p "$corpus"
ASAN_OPTIONS=detect_leaks=1 "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2560 -print_final_stats=1 \
  "$corpus" "$seeds" 2>&1 | tail -n 25
exit "${PIPESTATUS[0]}"
