#!/usr/bin/env bash
# A bounded libFuzzer run of the PNG decoder (about 60 s), seeded with the three pictures of the library.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${KORALIN_FUZZ_SECONDS:-60}"
echo "=== fuzz (png, ${seconds} s) ==="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2
fuzzer=build/fuzz/tests/png/png_fuzz
corpus=build/fuzz/tests/png/fuzz-corpus
seeds=build/fuzz/tests/png/fuzz-seeds
mkdir -p "$corpus"
# New inputs go to the corpus folder in the build tree; the seeds are only read.
ASAN_OPTIONS=detect_leaks=1 "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2560 -print_final_stats=1 \
  "$corpus" "$seeds" 2>&1 | tail -n 25
exit "${PIPESTATUS[0]}"
