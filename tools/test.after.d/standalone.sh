#!/usr/bin/env bash
# Standalone stage: koralin on JACK dummy servers, each suite starting and stopping its own by process id: played by a
# probe client and compared with koralin-render (to the bit, and note by note after a new period), MIDI program
# changes, the state across runs, a server stopped under it and one at twice the rate; under an NSM server of our own
# on the loopback address; its window under the test display; the ALSA sequencer where the machine has one; and the
# JACK process callback under the real-time watch with a new rate taken up while it runs. About 30 s on the release
# tree the first stage built. Says in one line what it left out and why.
set -euo pipefail
cd "$(dirname "$0")/../.."
echo "=== standalone (koralin on JACK) ==="
if ! command -v jackd >/dev/null; then
  echo "standalone: left out entirely: no jackd (Debian package jackd2; bash tools/install-deps.sh standalone)"
  exit 0
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cmake --preset release && cmake --build --preset release --target koralin koralin-render \
    standalone_jack_tests standalone_engine_tests standalone_window_tests -j 2; } >"$log" 2>&1; then
  if grep -q "koralin (the standalone) is not built" "$log"; then
    echo "standalone: left out entirely: $(grep -o 'it needs the Debian packages.*' "$log" | head -n 1)"
    exit 0
  fi
  cat "$log"
  echo "standalone: FAILED: koralin or its test programs did not build" >&2
  exit 1
fi
# JACK's server registry has eight places, and a server that died without leaving (killed, or its machine's run cut
# short) keeps its place; the suites name their servers anew each run, so dead ones pile up on a machine until no
# server starts ("Too many servers already active"). With no JACK server running anywhere here, every place is a
# dead one's: the registry goes, and the next server makes it anew.
if [[ -e /dev/shm/jack-shm-registry ]] && ! pgrep -x jackd >/dev/null && ! pgrep -x jackdbus >/dev/null; then
  rm -f /dev/shm/jack-shm-registry 2>/dev/null || true
fi
left_out=()
[[ -e /dev/snd/seq ]] || left_out+=("koralin on the ALSA sequencer (no /dev/snd/seq: the snd-seq module is not loaded here; its events' MIDI bytes were still checked against libasound's)")
if [[ -z "${DISPLAY:-}" ]]; then
  left_out+=("the window and NSM's show and hide (no display)")
fi
tests=build/release/tests/standalone
suites=("$tests/standalone_jack_tests" "$tests/standalone_engine_tests")
[[ -n "${DISPLAY:-}" ]] && suites+=("$tests/standalone_window_tests")
for suite in "${suites[@]}"; do
  status=0
  "$suite" >"$log" 2>&1 || status=$?
  if [[ $status -ne 0 ]]; then
    grep -v '^JackShmReadWritePtr' "$log"
    echo "standalone: FAILED: $(basename "$suite") (exit status $status); the lines above say why" >&2
    exit 1
  fi
  echo "$(basename "$suite"): $(grep -E '^\[  PASSED  \]' "$log") $(grep -o "the note's brightness.*" "$log" || true)"
done
for item in "${left_out[@]}"; do echo "standalone: left out $item"; done
