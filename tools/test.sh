#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: release and sanitizer builds, then the extra stages.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
# Setup stages (a display for the GL tests, ...) are sourced so that what they export reaches the tests.
for stage in tools/test.d/*.sh; do
  [[ -e "$stage" ]] && source "$stage"
done
for preset in release asan; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j 2
  ctest --preset "$preset"
done
# Further stages (other targets) run after the Linux suites.
for stage in tools/test.after.d/*.sh; do
  [[ -e "$stage" ]] && bash "$stage"
done
echo "All test stages passed."
