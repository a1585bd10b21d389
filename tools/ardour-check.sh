#!/usr/bin/env bash
# Checks Koralin's editor inside Ardour 7 on a virtual display: the panel opens and paints, a knob dragged with XTest
# turns, and the value reaches the session file that Ctrl+S writes. Usage: tools/ardour-check.sh [path/to/Koralin.so]
# Not part of tools/test.sh. Installs Ardour and its helpers when missing (root or sudo). Keeps everything it makes
# (private home, session, screenshots, logs) in $ARDOUR_CHECK_DIR, /tmp/koralin-ardour-check by default.
set -euo pipefail
so="${1:+$(realpath "$1")}"
cd "$(dirname "$0")/.."
work="${ARDOUR_CHECK_DIR:-/tmp/koralin-ardour-check}"
packages=(ardour xdotool openbox xvfb xauth x11-utils imagemagick)
say() { echo "ardour-check: $*"; }
fail() {
  echo "ardour-check: FAILED: $*" >&2
  [[ -n "${ardour_pid:-}" ]] && { echo "--- last lines of $work/ardour.log" >&2; tail -n 15 "$work/ardour.log" >&2; }
  exit 1
}

[[ ! -e "$work" || -f "$work/.ardour-check" ]] ||
  { echo "ardour-check: FAILED: $work exists and was not made by this check; set ARDOUR_CHECK_DIR" >&2; exit 1; }

# 1. Packages.
missing=()
for pkg in "${packages[@]}"; do
  [[ "$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)" == "install ok installed" ]] || missing+=("$pkg")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  say "installing ${missing[*]}"
  as_root=()
  [[ $(id -u) -eq 0 ]] || as_root=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  { "${as_root[@]}" apt-get update -qq && "${as_root[@]}" apt-get install -y -qq "${missing[@]}"; } ||
    fail "could not install ${missing[*]}"
fi

# 2. The plug-in.
if [[ -z "$so" ]]; then
  say "building Koralin.so in build/ardour-check"
  { cmake --preset release -B build/ardour-check >/dev/null &&
    cmake --build build/ardour-check -j2 --target Koralin >/dev/null; } ||
    fail "build failed"
  so=build/ardour-check/Koralin.so
fi
[[ -f "$so" ]] || fail "no plug-in at $so"

# 3. A private home: Ardour's first-run wizard skipped, the dummy audio backend shown and chosen, our plug-in folder.
rm -rf "$work"
mkdir -p "$work"
touch "$work/.ardour-check"
home="$work/home"
mkdir -p "$home/.lxvst" "$home/.config/ardour7" "$home/.local/share" "$work/session"
cp "$so" "$home/.lxvst/Koralin.so"
# Ardour trusts a scan cache only when it is strictly newer than the library it describes.
touch -d "1 minute ago" "$home/.lxvst/Koralin.so"
touch "$home/.config/ardour7/.a7"
cat >"$home/.config/ardour7/config" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="try-autostart-engine" value="1"/>
    <Option name="plugin-path-lxvst" value="$home/.lxvst"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device="" output-device=""
          sample-rate="48000" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0" lm-input=""
          lm-output="" active="1" use-buffered-io="0" midi-option="1 in, 1 out, Silence" lru="1"><MIDIDevices/></State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
EOF
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" XDG_DATA_HOME="$home/.local/share"

# 4. Ardour's scanner indexes the plug-in.
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f "$home/.lxvst/Koralin.so" >"$work/scan.log" 2>&1 ||
  fail "ardour-vst-scanner refused the plug-in (see $work/scan.log)"
grep -q 'name="Koralin".*has_editor="1"' "$home"/.cache/ardour7/vst/*.v2i || fail "scan cache has no Koralin with an editor"
say "scanned: $(grep -o 'name="Koralin"[^>]*is_instrument="1"' "$home"/.cache/ardour7/vst/*.v2i)"

# 5. A session with one MIDI track playing Koralin, made without the GUI.
session="$work/session/ktest/ktest.ardour"
cat >"$work/make_session.lua" <<EOF
AudioEngine:set_backend("None (Dummy)", "", "")
assert(create_session("$work/session/ktest", "ktest", 48000), "no session")
local info = ARDOUR.LuaAPI.new_plugin_info("1802326136", ARDOUR.PluginType.LXVST)
assert(not info:isnil(), "Koralin is not among the LXVST plug-ins")
local midi, audio = ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1), ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2)
Session:new_midi_track(midi, audio, false, info, nil, nil, 1, "Bass", ARDOUR.PresentationInfo.max_order,
  ARDOUR.TrackMode.Normal, true, false)
Session:save_state("", false, false, false, false, false)
close_session()
EOF
timeout 120 ardour7-lua "$work/make_session.lua" >"$work/lua.log" 2>&1 || fail "ardour7-lua could not make the session"
route=$(grep -o '<Route [^>]*name="Bass"' "$session" | grep -o ' id="[0-9]*"' | grep -o '[0-9]*') || true
proc=$(grep -o '<Processor id="[0-9]*" name="Koralin"[^>]*type="lxvst"' "$session" | grep -o 'id="[0-9]*"' | grep -o '[0-9]*') || true
[[ -n "$route" && -n "$proc" ]] || fail "the session has no Bass track with Koralin"
say "session $session: track Bass (id $route) carries Koralin (processor id $proc)"
# Ardour reopens the plug-in's own editor (custom-ui) when the session says its window was open.
sed -i "s|</Session>|  <Extra><UI><Window name=\"P-$route-$proc\" visible=\"1\" x-off=\"40\" y-off=\"120\" x-size=\"560\" y-size=\"150\" custom-ui=\"1\"/></UI></Extra>\n</Session>|" "$session"

# Prints the current value (0..1) of parameter $2 from the Koralin chunk in session file $1.
chunk_value() {
  local b64 bytes at tag current=0 index=$2 value=""
  b64=$(tr -d '\n' <"$1" | grep -o '<chunk[^>]*>[^<]*</chunk>' | head -n 1 | sed 's/<[^>]*>//g')
  read -r -a bytes <<<"$(echo "$b64" | base64 -d | od -An -v -tu1 | tr -s ' \n' ' ')"
  [[ ${#bytes[@]} -ge 8 && "${bytes[0]} ${bytes[1]} ${bytes[2]} ${bytes[3]}" == "117 61 140 40" ]] || return 1
  local sizes=(3 3 25 1 31)
  for ((at = 8; at < ${#bytes[@]};)); do
    tag=${bytes[at]}
    ((tag < 5)) || return 1
    [[ $tag -eq 3 ]] && current=1
    if [[ $tag -eq 0 && $current -eq 1 && ${bytes[at + 1]} -eq $index ]]; then
      value=$(awk -v s=$((bytes[at + 2] + 256 * bytes[at + 3])) 'BEGIN { printf "%.5f", s / 64000 }')
    fi
    at=$((at + 1 + sizes[tag]))
  done
  [[ -n "$value" ]] && echo "$value"
}
cutoff=2 tuning=1  # parameter indices; 0 is the waveform
before=$(chunk_value "$session" $cutoff) || fail "cannot read Koralin's chunk in $session"
tuning_before=$(chunk_value "$session" $tuning)
say "chunk before: cutoff $before, tuning $tuning_before"

# 6. A virtual display with a window manager, and Ardour on it.
display=""
for n in $(seq 90 120); do
  if [[ ! -e "/tmp/.X${n}-lock" && ! -e "/tmp/.X11-unix/X${n}" ]]; then display=":$n"; break; fi
done
[[ -n "$display" ]] || fail "no free display number"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY="$display"
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start on $display"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1
ardour -n -a "$session" >"$work/ardour.log" 2>&1 &
ardour_pid=$!
pids=("$ardour_pid" "${pids[@]}")
say "Ardour (pid $ardour_pid) starting on $display"

# 7. The plug-in's window and, inside it, our 560 x 110 panel.
panel=""
for tick in $(seq 1 90); do
  kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour exited while loading the session"
  if xdotool search --onlyvisible --name "Koralin \(by" >/dev/null 2>&1; then
    panel=$(xwininfo -root -tree | grep -E ' 560x110\+[0-9]+\+[0-9]+ +\+[0-9]+\+[0-9]+$' | tail -n 1 | awk '{print $NF}') || true
    [[ -n "$panel" ]] && break
  fi
  # A notice on the way (such as the audio device having changed) is accepted with Return.
  if [[ $tick -eq 30 || $tick -eq 50 ]]; then xdotool key Return; fi
  sleep 1
done
import -window root "$work/screen-open.png" 2>/dev/null || true
[[ -n "$panel" ]] || fail "no Koralin editor window with a 560x110 panel appeared (screen: $work/screen-open.png)"
px=$(echo "$panel" | cut -d+ -f2) py=$(echo "$panel" | cut -d+ -f3)
say "editor open: host window \"$(xdotool search --onlyvisible --name 'Koralin \(by' getwindowname | head -n 1)\", panel at $px,$py"
sleep 2
shot() { import -window root -crop "560x110+$px+$py" +repage "$work/$1"; }
shot panel-before.png
colours=$(convert "$work/panel-before.png" -format %k info:)
[[ $colours -gt 200 ]] || fail "the panel looks unpainted: $colours colours (see $work/panel-before.png)"
say "panel painted: $colours distinct colours in $work/panel-before.png"

# 8. Drag the cutoff knob (centre 125,58 on the panel) up by 100 pixels: a quarter of the range.
kx=$((px + 125)) ky=$((py + 58))
xdotool mousemove "$kx" "$ky"
sleep 0.3
xdotool mousedown 1
for i in $(seq 1 20); do xdotool mousemove "$kx" $((ky - 5 * i)); sleep 0.03; done
sleep 0.3
xdotool mouseup 1
sleep 1
kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour died during the drag"
shot panel-after.png
crop() { convert "$work/$1" -crop "$2" +repage "$work/$3"; }
crop panel-before.png 78x80+86+10 cutoff-before.png
crop panel-after.png 78x80+86+10 cutoff-after.png
crop panel-before.png 78x80+0+10 tuning-before.png
crop panel-after.png 78x80+0+10 tuning-after.png
differing() { { compare -metric AE "$work/$1" "$work/$2" null: 2>&1 || true; } | awk '{ printf "%d", $1 }'; }
changed=$(differing cutoff-before.png cutoff-after.png)
unchanged=$(differing tuning-before.png tuning-after.png)
[[ $changed -gt 50 ]] || fail "the cutoff knob did not change on screen ($changed pixels)"
[[ $unchanged -eq 0 ]] || fail "the tuning knob changed though it was not touched ($unchanged pixels)"
say "drag redrawn: $changed pixels of the cutoff knob changed, the tuning knob unchanged ($work/panel-after.png)"

# 9. Save with Ctrl+S in Ardour's main window and read the value back from the session file.
stamp=$(date -r "$session" +%s%N)
xdotool search --onlyvisible --name "ktest - Ardour" windowactivate --sync >/dev/null 2>&1 || true
xdotool key ctrl+s
for _ in $(seq 1 40); do
  [[ "$(date -r "$session" +%s%N)" != "$stamp" ]] && break
  sleep 0.5
done
[[ "$(date -r "$session" +%s%N)" != "$stamp" ]] || fail "Ctrl+S did not rewrite $session"
sleep 1
after=$(chunk_value "$session" $cutoff) || fail "cannot read Koralin's chunk after saving"
tuning_after=$(chunk_value "$session" $tuning)
host=$(grep -o '<Controllable name="cutoff"[^>]*' "$session" | grep -o 'value="[^"]*"')
say "chunk after: cutoff $after, tuning $tuning_after; Ardour's own control: cutoff $host"
awk -v a="$after" -v b="$before" 'BEGIN { exit !(a - b > 0.2499 && a - b < 0.2501) }' ||
  fail "the saved cutoff moved from $before to $after, not by the quarter the drag asked for"
[[ "$tuning_after" == "$tuning_before" ]] || fail "the saved tuning changed from $tuning_before to $tuning_after"
kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour exited"

# 10. Quit with the editor still open: Ardour closes it and the plug-in, and ends normally.
xdotool search --onlyvisible --name "ktest - Ardour" windowactivate --sync >/dev/null 2>&1 || true
xdotool key ctrl+q
for _ in $(seq 1 40); do kill -0 "$ardour_pid" 2>/dev/null || break; sleep 0.5; done
kill -0 "$ardour_pid" 2>/dev/null && fail "Ardour did not quit on Ctrl+Q (screen: $(import -window root "$work/screen-quit.png"; echo "$work/screen-quit.png"))"
status=0
wait "$ardour_pid" || status=$?
[[ $status -eq 0 ]] || fail "Ardour ended with status $status on quitting"
if grep -iE 'X Error|BadWindow|BadMatch|BadDrawable|BadAccess|segmentation' "$work/ardour.log"; then
  fail "X errors or a crash in Ardour's log"
fi
say "Ardour quit normally with the editor open; no X error in its log"
say "PASSED: the editor opened and painted in Ardour, the drag turned cutoff $before -> $after, saved in $session"
