#!/usr/bin/env bash
# Plays Koralin.lv2 in jalv on a JACK dummy server: notes from jack_midiseq, three seconds recorded with jack_rec,
# then a factory preset applied from jalv's console and recorded again; prints what jalv's monitors show and each
# recording's levels. Usage: tools/jalv-check.sh [path/to/Koralin.lv2]. Not part of tools/test.sh; installs jalv,
# JACK and sox when missing (root or sudo). Keeps its files in $JALV_CHECK_DIR, /tmp/koralin-jalv-check by default.
set -euo pipefail
bundle="${1:+$(realpath "$1")}"
cd "$(dirname "$0")/.."
work="${JALV_CHECK_DIR:-/tmp/koralin-jalv-check}"
say() { echo "jalv-check: $*"; }
fail() {
  echo "jalv-check: FAILED: $*" >&2
  exit 1
}
bash tools/install-deps.sh --packages jalv jackd2 sox || fail "could not install what it needs: jalv jackd2 sox"
if [[ -z "$bundle" ]]; then
  say "building Koralin.lv2 in build/release"
  { cmake --preset release >/dev/null && cmake --build --preset release -j2 --target Koralin_lv2 >/dev/null; } || fail "build failed"
  bundle=build/release/lv2/Koralin.lv2
fi
[[ -f "$bundle/manifest.ttl" ]] || fail "no bundle at $bundle"
rm -rf "$work" && mkdir -p "$work/lv2" "$work/config"
cp -r "$bundle" "$work/lv2/"
export LV2_PATH="$work/lv2:/usr/lib/lv2" XDG_CONFIG_HOME="$work/config" JACK_DEFAULT_SERVER="koralin-check-$$"
export JACK_NO_AUDIO_RESERVATION=1
uri=https://quillmarsh.example/koralin/lv2
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024 >"$work/jackd.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do jack_lsp >/dev/null 2>&1 && break; sleep 0.1; done
jack_lsp >/dev/null 2>&1 || fail "the JACK dummy server did not start (see $work/jackd.log)"
mkfifo "$work/console"
sleep 600 >"$work/console" &  # keeps jalv's console open between commands
pids+=($!)
stdbuf -oL -eL jalv -n koralin -x -p "$uri" <"$work/console" >"$work/jalv.log" 2>&1 &
pids=($! "${pids[@]}")
for _ in $(seq 1 50); do jack_lsp 2>/dev/null | grep -q '^koralin:out_left$' && break; sleep 0.1; done
jack_lsp 2>/dev/null | grep -q '^koralin:midi_in$' || fail "jalv did not load $uri (see $work/jalv.log)"
say "jalv runs $uri: $(jack_lsp | grep '^koralin:' | tr '\n' ' ')"
# A bass line: C2 held for 8000 frames, then C3 for 6000, every half second.
jack_midiseq seq 24000 0 36 8000 12000 48 6000 >"$work/seq.log" 2>&1 &
pids+=($!)
sleep 1
jack_connect seq:out koralin:midi_in || fail "cannot connect the sequencer to koralin:midi_in"
console() { echo "$1" >"$work/console"; sleep 1; }
record() {
  timeout 20 jack_rec -f "$work/$1" -d 3 koralin:out_left koralin:out_right >/dev/null 2>&1 || fail "jack_rec failed"
  local peak rms
  peak=$(sox "$work/$1" -n stat 2>&1 | awk '/Maximum amplitude/ {a=$3} /Minimum amplitude/ {b=-$3} END {print (a>b?a:b)}')
  rms=$(sox "$work/$1" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
  awk -v p="$peak" 'BEGIN { exit !(p > 0.01) }' || fail "$1 is silent (peak $peak)"
  say "$1: peak $peak, RMS $rms"
}
record default.wav
console presets  # jalv loads the presets it lists; a preset is applied only after that
grep -c "^.*$uri/preset/" "$work/jalv.log" | xargs -I{} echo "jalv-check: jalv lists {} presets"
console "preset $uri/preset/hard-acid"
console monitors
shown=$(grep -E '^(> )?(cutoff|reso|decay|envmod|accent)_now = ' "$work/jalv.log" | tail -n 5 | sed 's/^> //' | tr '\n' ' ')
say "after the preset Hard Acid, jalv's monitors show: $shown"
[[ "$shown" == *"cutoff_now = 25.000000"* && "$shown" == *"accent_now = 100.000000"* ]] ||
  fail "the monitors do not show Hard Acid's values"
record hard-acid.wav
cmp -s "$work/default.wav" "$work/hard-acid.wav" && fail "the preset did not change the sound"
say "PASSED: notes from JACK MIDI sound, the preset from jalv's console reached the instrument ($work)"
