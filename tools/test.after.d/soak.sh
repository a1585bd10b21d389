#!/usr/bin/env bash
# Soak stage: the release plug-in played for 20 s (KORALIN_SOAK_SECONDS) with random notes, bends, automation,
# program changes, chunk loads and new sample rates and block sizes; one line of figures, or what failed and why.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${KORALIN_SOAK_SECONDS:-20}"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "=== soak (${seconds} s) ==="
if ! { cmake --preset release && cmake --build --preset release --target soak -j 2; } >"$log" 2>&1; then
  cat "$log"
  echo "soak: FAILED: the soak program (build/release/bench/soak) did not build" >&2
  exit 1
fi
status=0
build/release/bench/soak --seconds "$seconds" --progress 0 >"$log" 2>&1 || status=$?
if [[ $status -ne 0 ]]; then
  cat "$log"
  echo "soak: FAILED (exit status $status): see the lines above; rerun with the printed --seed to repeat" >&2
  exit 1
fi
tail -n 1 "$log"
