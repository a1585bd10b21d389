#!/usr/bin/env bash
# Checks Koralin.clap in Qtractor, a real CLAP host, in a session of its own: a JACK dummy server and a virtual
# display, a session with one MIDI track that plays the demo song's bassline through Koralin, the transport started
# with Qtractor's own key and Qtractor's master output recorded from JACK (it must sound), then Koralin's editor opened
# from the track's plug-in list, a knob dragged with XTest, and Ctrl+S must save the value the drag set.
# Usage: tools/qtractor-check.sh [path/to/Koralin.clap]  (built in build/qtractor-check when no path is given).
# Not part of tools/test.sh. Installs Qtractor and its helpers when missing (root or sudo). Keeps everything it makes
# (private home, session, recording, screenshots, logs) in $QTRACTOR_CHECK_DIR, /tmp/koralin-qtractor-check by default.
# Qtractor starts its MIDI engine only with the ALSA sequencer; on a machine whose kernel has none (no /dev/snd/seq),
# the check preloads a user-space stand-in for it (tools/qtractor_seq.c) and says so.
set -euo pipefail
given="${1:+$(realpath "$1")}"
cd "$(dirname "$0")/.."
src="$PWD"
work="${QTRACTOR_CHECK_DIR:-/tmp/koralin-qtractor-check}"
packages=(qtractor jackd2 xvfb xauth x11-utils xdotool openbox imagemagick sox)
[[ -e /dev/snd/seq ]] || packages+=(gcc libasound2-dev)
say() { echo "qtractor-check: $*"; }
fail() {
  echo "qtractor-check: FAILED: $*" >&2
  [[ -n "${qtractor_pid:-}" ]] && { echo "--- last lines of $log" >&2; tail -n 15 "$log" >&2; }
  exit 1
}
[[ ! -e "$work" || -f "$work/.qtractor-check" ]] ||
  { echo "qtractor-check: FAILED: $work exists and was not made by this check; set QTRACTOR_CHECK_DIR" >&2; exit 1; }

# 1. Packages.
bash tools/install-deps.sh --packages "${packages[@]}" ||
  fail "could not install what it needs: ${packages[*]} (as root or with sudo)"

# 2. The plug-in.
clap="${given:-build/qtractor-check/Koralin.clap}"
if [[ -z "$given" ]]; then
  say "building KoralinClap in build/qtractor-check"
  { cmake --preset release -B build/qtractor-check >/dev/null &&
    cmake --build build/qtractor-check -j2 --target KoralinClap >/dev/null; } || fail "build failed"
fi
[[ -f "$clap" ]] || fail "no plug-in at $clap"

# 3. A private home: Koralin in ~/.clap, which Qtractor's CLAP path names; nothing of the person's own settings.
rm -rf "$work"
mkdir -p "$work"
touch "$work/.qtractor-check"
home="$work/home"
mkdir -p "$home/.clap" "$home/.config/rncbc.org" "$home/.local/share" "$home/.cache" "$work/run" "$work/session"
chmod 700 "$work/run"
cp "$clap" "$home/.clap/Koralin.clap"
cat >"$home/.config/rncbc.org/Qtractor.conf" <<EOT
[Plugins]
ClapPaths=$home/.clap
OpenEditor=false
EOT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" XDG_DATA_HOME="$home/.local/share"
export XDG_RUNTIME_DIR="$work/run" CLAP_PATH="$home/.clap"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

# 4. A JACK dummy server under a name of its own, so that it meets no other, and a virtual display with a window
# manager.
export JACK_DEFAULT_SERVER="koralin-qtractor-check-$$" JACK_NO_AUDIO_RESERVATION=1
jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do jack_lsp >/dev/null 2>&1 && break; sleep 0.2; done
jack_lsp >/dev/null 2>&1 || fail "the JACK dummy server did not start (see $work/jackd.log)"
say "JACK dummy server \"$JACK_DEFAULT_SERVER\" at 48000 Hz, 256 frames a period"
display=""
for n in $(seq 90 120); do
  if [[ ! -e "/tmp/.X${n}-lock" && ! -e "/tmp/.X11-unix/X${n}" ]]; then display=":$n"; break; fi
done
[[ -n "$display" ]] || fail "no free display number"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY="$display"
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start on $display"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

# 5. The sequencer: the kernel's, or the stand-in.
preload=""
if [[ -e /dev/snd/seq ]]; then
  say "ALSA sequencer: the kernel's (/dev/snd/seq)"
else
  cc -shared -fPIC -O2 -Wall -Wextra -o "$work/qtractor_seq.so" "$src/tools/qtractor_seq.c" 2>"$work/seq-build.log" ||
    fail "could not build the sequencer stand-in (see $work/seq-build.log)"
  preload="$work/qtractor_seq.so"
  say "ALSA sequencer: none in this kernel (no /dev/snd/seq); Qtractor runs on the user-space stand-in $preload"
fi

# 6. The session: one MIDI track, "Bass", playing the demo song's bass line (its first track) through Koralin.
session="$work/session/koralin-check.qtr"
cp "$src/examples/acid.mid" "$work/session/acid.mid"
cat >"$session" <<EOT
<!DOCTYPE qtractorSession>
<session version="Qtractor 0.9.31" name="koralin-check">
 <properties>
  <directory>$work/session</directory>
  <description>Koralin check</description>
  <sample-rate>48000</sample-rate>
  <tempo>120</tempo>
  <ticks-per-beat>960</ticks-per-beat>
  <beats-per-bar>4</beats-per-bar>
  <beat-divisor>2</beat-divisor>
 </properties>
 <files>
  <audio-list/>
  <midi-list>
   <file name="acid.mid">acid.mid</file>
  </midi-list>
 </files>
 <tracks>
  <track type="midi" name="Bass">
   <properties>
    <input-bus>Master</input-bus>
    <output-bus>Master</output-bus>
    <midi-omni>0</midi-omni>
    <midi-channel>0</midi-channel>
   </properties>
   <state>
    <mute>0</mute>
    <solo>0</solo>
    <record>0</record>
    <monitor>0</monitor>
    <gain>1</gain>
    <panning>0</panning>
   </state>
   <clips>
    <clip name="Bass">
     <properties>
      <name>Bass</name>
      <start>0</start>
      <offset>0</offset>
      <length>381000</length>
     </properties>
     <midi-clip>
      <filename>acid.mid</filename>
      <track-channel>1</track-channel>
     </midi-clip>
    </clip>
   </clips>
   <plugins>
    <plugin type="CLAP">
     <filename>$home/.clap/Koralin.clap</filename>
     <index>0</index>
     <label>Koralin</label>
     <activated>1</activated>
    </plugin>
    <audio-output-bus>0</audio-output-bus>
    <audio-output-auto-connect>1</audio-output-auto-connect>
   </plugins>
  </track>
 </tracks>
</session>
EOT

# 7. Qtractor opens it.
log="$work/qtractor.log"
LD_PRELOAD="$preload" qtractor "$session" >"$log" 2>&1 &
qtractor_pid=$!
pids=("$qtractor_pid" "${pids[@]}")
for _ in $(seq 1 60); do
  kill -0 "$qtractor_pid" 2>/dev/null || fail "Qtractor exited while opening the session"
  xdotool search --onlyvisible --name "koralin-check" >/dev/null 2>&1 &&
    jack_lsp 2>/dev/null | grep -q '^Qtractor:Master/out_2$' && break
  sleep 0.5
done
import -window root "$work/screen-open.png" 2>/dev/null || true
xdotool search --onlyvisible --name "koralin-check" >/dev/null 2>&1 ||
  fail "no Qtractor window with the session came (screen: $work/screen-open.png)"
if xdotool search --onlyvisible --name "^(Error|Warning) — Qtractor" >/dev/null 2>&1; then
  fail "Qtractor shows an error opening the session (screen: $work/screen-open.png)"
fi
say "Qtractor (pid $qtractor_pid) opened $session on $display: \"$(xdotool search --onlyvisible --name "koralin-check" getwindowname | head -n 1)\""
sleep 2

# 8. Play: the transport starts with Qtractor's own key (space) while a JACK client records its master output.
main=$(xdotool search --onlyvisible --name "koralin-check" | head -n 1)
wav="$work/playback.wav"
jack_rec -f "$wav" -d 6 Qtractor:Master/out_1 Qtractor:Master/out_2 >"$work/jack_rec.log" 2>&1 &
rec_pid=$!
pids+=("$rec_pid")
sleep 0.5
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool key space
wait "$rec_pid" || fail "jack_rec could not record Qtractor's master output (see $work/jack_rec.log)"
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool key space
[[ -s "$wav" ]] || fail "jack_rec wrote no $wav"
peak=$(sox "$wav" -n stat 2>&1 | awk '/Maximum amplitude/ {a=$3} /Minimum amplitude/ {b=-$3} END {print (a>b?a:b)}')
db=$(awk -v p="$peak" 'BEGIN { if (p <= 0) print "-inf"; else printf "%.1f", 20 * log(p) / log(10) }')
awk -v p="$peak" 'BEGIN { exit !(p > 0.01) }' || fail "Qtractor played, but its master output was silent: peak $db dBFS in $wav"
say "played: 6 s of Qtractor's master output recorded from JACK in $wav, peak $peak ($db dBFS)"
sleep 1
import -window root "$work/screen-played.png" 2>/dev/null || true

# 9. Koralin's editor: a double-click on Koralin in the track's plug-in list opens Qtractor's own form for it, whose
# "Edit" button (at 374,18 in the form) opens the plug-in's editor in a window of Qtractor's.
read -r mx my < <(xwininfo -id "$main" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
xdotool mousemove $((mx + 177)) $((my + 179)) click --repeat 2 --delay 80 1
form=""
for _ in $(seq 1 20); do
  form=$(xwininfo -root -tree | grep -E '"Koralin - Bass — Qtractor".* 480x[0-9]+\+' | head -n 1 | awk '{print $1}') || true
  [[ -n "$form" ]] && break
  sleep 0.25
done
[[ -n "$form" ]] || fail "a double-click on Koralin in the track's plug-in list opened no form (screen: $(import -window root "$work/screen-form.png"; echo "$work/screen-form.png"))"
read -r fx fy < <(xwininfo -id "$form" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
say "Qtractor's form for Koralin opened at $fx,$fy; its Edit button opens the plug-in's editor"
xdotool mousemove $((fx + 374)) $((fy + 18)) click 1
panel=""
for _ in $(seq 1 40); do
  kill -0 "$qtractor_pid" 2>/dev/null || fail "Qtractor exited when the editor opened"
  panel=$(xwininfo -root -tree | grep -E '^ +0x[0-9a-f]+ \(has no name\): \(\) +560x110\+0\+0 +\+[0-9]+\+[0-9]+$' | tail -n 1 | awk '{print $NF}') || true
  [[ -n "$panel" ]] && break
  sleep 0.25
done
import -window root "$work/screen-editor.png" 2>/dev/null || true
[[ -n "$panel" ]] || fail "no 560x110 panel came for Edit (screen: $work/screen-editor.png)"
host=$(xwininfo -root -tree | grep -E '"Koralin - Bass — Qtractor".* 560x110\+' | head -n 1) || true
[[ -n "$host" ]] || fail "the panel is not inside a 560x110 window of Qtractor's (screen: $work/screen-editor.png)"
px=$(echo "$panel" | cut -d+ -f2) py=$(echo "$panel" | cut -d+ -f3)
say "editor open: the 560x110 panel embedded at $px,$py in Qtractor's window \"Koralin - Bass — Qtractor\""
sleep 2
shot() { import -window root -crop "560x110+$px+$py" +repage "$work/$1"; }
shot panel-before.png
colours=$(convert "$work/panel-before.png" -format %k info:)
[[ $colours -gt 200 ]] || fail "the panel looks unpainted: $colours colours (see $work/panel-before.png)"
say "panel painted: $colours distinct colours in $work/panel-before.png"

# 10. Drag the cutoff knob (centre 125,58 in the panel) up by 100 pixels, a quarter of its range, and save.
before=$(grep -oE '<param [^>]*name="cutoff"[^>]*>[^<]*' "$session" | sed 's/.*>//') || true
kx=$((px + 125)) ky=$((py + 58))
xdotool mousemove "$kx" "$ky"
sleep 0.3
xdotool mousedown 1
for i in $(seq 1 20); do xdotool mousemove "$kx" $((ky - 5 * i)); sleep 0.03; done
sleep 0.3
xdotool mouseup 1
sleep 1
kill -0 "$qtractor_pid" 2>/dev/null || fail "Qtractor died during the drag"
shot panel-after.png
changed=$({ compare -metric AE "$work/panel-before.png" "$work/panel-after.png" null: 2>&1 || true; } | awk '{ printf "%d", $1 }')
[[ $changed -gt 50 ]] || fail "the panel did not change on screen after the drag ($changed pixels)"
say "drag redrawn: $changed pixels of the panel changed ($work/panel-after.png)"
stamp=$(date -r "$session" +%s%N)
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool key ctrl+s
for _ in $(seq 1 40); do
  [[ "$(date -r "$session" +%s%N)" != "$stamp" ]] && break
  sleep 0.25
done
[[ "$(date -r "$session" +%s%N)" != "$stamp" ]] || fail "Ctrl+S did not rewrite $session"
sleep 1
after=$(grep -oE '<param [^>]*name="cutoff"[^>]*>[^<]*' "$session" | sed 's/.*>//') || true
tune=$(grep -oE '<param [^>]*name="tune"[^>]*>[^<]*' "$session" | sed 's/.*>//') || true
state=$(tr -d ' \n' <"$session" | grep -o '<configkey="state">[^<]*' | sed 's/.*>//') || true
[[ -n "$after" ]] || fail "the saved session has no cutoff parameter"
[[ -n "$state" ]] || fail "the saved session has no state of Koralin's"
awk -v a="$after" 'BEGIN { exit !(a > 74.99 && a < 75.01) }' ||
  fail "the saved cutoff is $after, not the 75 % a quarter of the range up from 50 % gives"
[[ "$tune" == 0 ]] || fail "the saved tuning is $tune, though the drag did not touch it"
say "saved with Ctrl+S: cutoff ${before:-unset (the default, 50)} -> $after %, tuning $tune, and Koralin's state (${#state} base64 characters) in $session"

# 11. Quit with the editor open: Qtractor closes it and the plug-in and ends normally.
# File, Exit from the main window's menu (tried up to three times: a first key may go to the closing editor).
for _ in 1 2 3; do
  xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
  xdotool key alt+f; sleep 0.5; xdotool key x
  for _ in $(seq 1 20); do kill -0 "$qtractor_pid" 2>/dev/null || break; sleep 0.25; done
  kill -0 "$qtractor_pid" 2>/dev/null || break
done
kill -0 "$qtractor_pid" 2>/dev/null && fail "Qtractor did not quit on File, Exit (screen: $(import -window root "$work/screen-quit.png"; echo "$work/screen-quit.png"))"
status=0
wait "$qtractor_pid" || status=$?
qtractor_pid=""
[[ $status -eq 0 ]] || fail "Qtractor ended with status $status on quitting (see $log)"
if grep -iE 'X Error|BadWindow|BadMatch|BadDrawable|segmentation' "$log"; then fail "X errors or a crash in $log"; fi
say "Qtractor quit normally with the editor open; no X error in its log"
say "PASSED: Qtractor played Koralin.clap at $db dBFS peak, opened its 560x110 editor, and saved the dragged cutoff ($after %)"
