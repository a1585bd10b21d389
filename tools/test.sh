#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: release, sanitizer and thread-sanitizer builds, then the
# extra stages (fuzzing, the soak, the Windows builds). A stage that fails says which one and why, then stops the run.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

# stage NAME COMMAND...: runs one step; on failure names it with its exit status and ends the run with that status.
stage() {
  local name=$1 status=0
  shift
  "$@" || status=$?
  if [[ $status -ne 0 ]]; then
    echo "test.sh: FAILED at stage '$name' (exit status $status); the lines above say why." >&2
    exit "$status"
  fi
}

stage "installing Debian packages" bash tools/install-deps.sh
# Setup stages (a display for the GL tests, ...) are sourced so that what they export reaches the tests.
for setup in tools/test.d/*.sh; do
  [[ -e "$setup" ]] && source "$setup"
done
for preset in release asan tsan; do
  echo "=== $preset ==="
  stage "$preset: configure" cmake --preset "$preset" -DKORALIN_WERROR=ON >/dev/null
  stage "$preset: build" cmake --build --preset "$preset" -j 2
  stage "$preset: tests" ctest --preset "$preset"
done
# Further stages (other targets) run after the Linux suites.
for extra in tools/test.after.d/*.sh; do
  [[ -e "$extra" ]] && stage "$(basename "$extra" .sh)" bash "$extra"
done
echo "All test stages passed in $((SECONDS - started)) s."
