#!/usr/bin/env bash
# Checks Koralin in Ardour 7, as the VST 2.4 module and as the LV2 bundle. For each format: a session with one MIDI
# track playing Koralin is made and rendered headless with ardour7-lua (a bassline from a small Lua note generator
# in front of it; the export must sound); then Ardour opens it on a virtual display with Koralin's own editor, a
# knob dragged with XTest turns on screen, and the value reaches what Ctrl+S saves (the VST chunk; the LV2 state
# and Ardour's own control value); last, "150 %" chosen in the corner menu's "Size" submenu is kept in
# Koralin.editor, and the script says whether Ardour resized the open editor.
# Usage: tools/ardour-check.sh [--dpi 96..192] [vst|lv2|all] [path/to/Koralin.so | path/to/Koralin.lv2]  (all by
# default; a path only with one format). With --dpi 192 the display's Xft.dpi is 192 (a 200 % desktop) and, for the
# LV2 run, Ardour's own interface scale (its "font-scale" preference, which it hands the plug-in's UI as
# ui:scaleFactor) is 200 % too: the panel must open at 1120 x 220, and the drag and the places looked at are scaled
# with it, so the same 400 units still cover the range. Not part of tools/test.sh. Installs Ardour and its helpers when missing (root or sudo).
# Keeps everything it makes (private home, sessions, renders, screenshots, logs) in $ARDOUR_CHECK_DIR,
# /tmp/koralin-ardour-check by default.
set -euo pipefail
dpi=96
if [[ "${1:-}" == --dpi ]]; then
  dpi=${2:-}
  [[ "$dpi" =~ ^[0-9]+$ && $dpi -ge 96 && $dpi -le 192 && $((dpi % 24)) -eq 0 ]] ||
    { echo "ardour-check: FAILED: --dpi takes 96, 120, 144, 168 or 192 (the panel's quarters)" >&2; exit 1; }
  shift 2
fi
pct=$((dpi * 100 / 96))  # the panel's scale in percent; u N: N units in window pixels
u() { echo $(($1 * pct / 100)); }
pw=$(u 560) ph=$(u 110)
formats=(vst lv2)
if [[ "${1:-}" == vst || "${1:-}" == lv2 || "${1:-}" == all ]]; then
  [[ "$1" == all ]] || formats=("$1")
  shift
fi
given="${1:+$(realpath "$1")}"
cd "$(dirname "$0")/.."
work="${ARDOUR_CHECK_DIR:-/tmp/koralin-ardour-check}"
packages=(ardour xdotool openbox xvfb xauth x11-utils imagemagick sox)
say() { echo "ardour-check: $*"; }
fail() {
  echo "ardour-check: FAILED${format:+ ($format)}: $*" >&2
  [[ -n "${ardour_pid:-}" ]] && { echo "--- last lines of $log" >&2; tail -n 15 "$log" >&2; }
  exit 1
}
[[ -z "$given" || ${#formats[@]} -eq 1 ]] || fail "a path goes with one format: tools/ardour-check.sh vst|lv2 PATH"

[[ ! -e "$work" || -f "$work/.ardour-check" ]] ||
  { echo "ardour-check: FAILED: $work exists and was not made by this check; set ARDOUR_CHECK_DIR" >&2; exit 1; }

# 1. Packages.
bash tools/install-deps.sh --packages "${packages[@]}" || fail "could not install what it needs: ${packages[*]}"

# 2. The plug-ins.
so="" bundle=""
for format in "${formats[@]}"; do
  if [[ $format == vst ]]; then so="${given:-build/ardour-check/Koralin.so}"; fi
  if [[ $format == lv2 ]]; then bundle="${given:-build/ardour-check/lv2/Koralin.lv2}"; fi
done
format=""
if [[ -z "$given" ]]; then
  targets=()
  [[ -n "$so" ]] && targets+=(Koralin)
  [[ -n "$bundle" ]] && targets+=(Koralin_lv2)
  say "building ${targets[*]} in build/ardour-check"
  { cmake --preset release -B build/ardour-check >/dev/null &&
    cmake --build build/ardour-check -j2 --target "${targets[@]}" >/dev/null; } ||
    fail "build failed"
fi
[[ -z "$so" || -f "$so" ]] || fail "no plug-in at $so"
[[ -z "$bundle" || -f "$bundle/manifest.ttl" ]] || fail "no bundle at $bundle"

# 3. A private home: Ardour's first-run wizard skipped, the dummy audio backend shown and chosen, our plug-in
# folders, and the note generator among the user's Lua scripts.
rm -rf "$work"
mkdir -p "$work"
touch "$work/.ardour-check"
home="$work/home"
mkdir -p "$home/.lxvst" "$home/.lv2" "$home/.config/ardour7/scripts" "$home/.local/share"
if [[ -n "$so" ]]; then
  cp "$so" "$home/.lxvst/Koralin.so"
  # Ardour trusts a scan cache only when it is strictly newer than the library it describes.
  touch -d "1 minute ago" "$home/.lxvst/Koralin.so"
fi
[[ -n "$bundle" ]] && cp -r "$bundle" "$home/.lv2/Koralin.lv2"
touch "$home/.config/ardour7/.a7"
cat >"$home/.config/ardour7/config" <<EOT
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
EOT
# Sixteenth notes at 120 bpm on the timeline, every fourth one accented, while the transport rolls: the headless
# render's bassline.
cat >"$home/.config/ardour7/scripts/koralin_check_notes.lua" <<'EOT'
ardour { ["type"] = "dsp", name = "Koralin check notes", category = "Utility", license = "MIT",
  author = "Quillmarsh", description = "A bassline for the Koralin check: sixteenths at 120 bpm." }
function dsp_ioconfig () return { { midi_in = 1, midi_out = 1, audio_in = 0, audio_out = 0 } } end
local last, rate = -1, 48000
local notes = { 36, 36, 48, 36, 39, 36, 43, 41, 36, 48, 36, 34, 36, 46, 36, 39 }
function dsp_init (r) rate = r end
function dsp_run (_, _, n_samples)
  if not Session:transport_rolling () then return end
  local i, len, start = 1, math.floor(rate / 8), Session:transport_sample ()
  for t = 0, n_samples - 1 do
    local at = start + t
    if at % len == 0 then
      local s = (at // len) % #notes + 1
      if last > 0 then midiout[i] = { time = t + 1, data = { 0x80, last, 0 } }; i = i + 1 end
      midiout[i] = { time = t + 1, data = { 0x90, notes[s], (s % 4 == 1) and 120 or 90 } }; i = i + 1
      last = notes[s]
    end
  end
end
EOT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" XDG_DATA_HOME="$home/.local/share"
export LV2_PATH="$home/.lv2:/usr/lib/lv2"

# 4. Ardour's VST scanner indexes the module.
if [[ -n "$so" ]]; then
  format=vst
  LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f "$home/.lxvst/Koralin.so" >"$work/scan.log" 2>&1 ||
    fail "ardour-vst-scanner refused the plug-in (see $work/scan.log)"
  grep -q 'name="Koralin".*has_editor="1"' "$home"/.cache/ardour7/vst/*.v2i || fail "scan cache has no Koralin with an editor"
  say "scanned: $(grep -o 'name="Koralin"[^>]*is_instrument="1"' "$home"/.cache/ardour7/vst/*.v2i)"
fi

# 5. A virtual display with a window manager, for the editors.
display=""
for n in $(seq 90 120); do
  if [[ ! -e "/tmp/.X${n}-lock" && ! -e "/tmp/.X11-unix/X${n}" ]]; then display=":$n"; break; fi
done
[[ -n "$display" ]] || fail "no free display number"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
Xvfb "$display" -screen 0 "$(u 1280)x$(u 1024)x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY="$display"
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start on $display"
if [[ $dpi -ne 96 ]]; then
  xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "$(printf 'Xft.dpi:\t%d\n' "$dpi")" ||
    fail "could not set Xft.dpi in the display's resource database"
  say "Xft.dpi $dpi on $display: the panel should open at ${pw} x ${ph}"
fi
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

# The current value (0..1) of parameter $2 in the state chunk whose base64 text is $1.
chunk_value() {
  local bytes at tag current=0 index=$2 value=""
  read -r -a bytes <<<"$(echo "$1" | base64 -d | od -An -v -tu1 | tr -s ' \n' ' ')"
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
# The base64 text of Koralin's state as session file $1 keeps it: the VST chunk inside the file, the LV2 state
# property in the state folder Ardour names there for processor $2.
saved_state() {
  if [[ $format == vst ]]; then
    tr -d '\n' <"$1" | grep -o '<chunk[^>]*>[^<]*</chunk>' | head -n 1 | sed 's/<[^>]*>//g'
  else
    local dir
    dir=$(tr -d '\n' <"$1" | grep -o "<Processor id=\"$2\" name=\"Koralin\".*" | grep -o '<lv2 [^>]*state-dir="[^"]*"' |
      head -n 1 | sed 's/.*state-dir="//; s/"$//')
    [[ -n "$dir" ]] || return 1
    tr -d '\n\t ' <"$(dirname "$1")/plugins/$2/$dir/state.ttl" | grep -o 'koralin/lv2#state>"""[^"]*"""' | sed 's/.*>"""//; s/"""$//'
  fi
}
# Ardour's own value of the cutoff control in session file $1 (normalized for VST, percent for LV2).
# The number of top-level windows on the display, and a wait of up to 10 s for more than $1 of them.
windows() { xwininfo -root -children | grep -c '^ *0x'; }
more_windows() { for _ in $(seq 1 50); do [[ $(windows) -gt $1 ]] && return 0; sleep 0.2; done; return 1; }
settings="$XDG_CONFIG_HOME/Quillmarsh/Koralin.editor"
host_cutoff() { grep -o '<Controllable name="cutoff"[^>]*' "$1" | grep -o ' value="[^"]*"' | head -n 1 | sed 's/.*="//; s/"//'; }

check_format() {
  format=$1
  local dir="$work/$format" uri type unique
  if [[ $format == vst ]]; then uri=1802326136 type=LXVST unique=lxvst; else uri=https://quillmarsh.example/koralin/lv2 type=LV2 unique=lv2; fi
  mkdir -p "$dir/session" "$dir/export"
  log="$dir/ardour.log"
  ardour_pid="" resized=""

  # 6. The session, made and rendered without the GUI.
  local session="$dir/session/ktest/ktest.ardour"
  cat >"$dir/make_session.lua" <<EOT
AudioEngine:set_backend("None (Dummy)", "", "")
assert(create_session("$dir/session/ktest", "ktest", 48000), "no session")
local info = ARDOUR.LuaAPI.new_plugin_info("$uri", ARDOUR.PluginType.$type)
assert(not info:isnil(), "Koralin is not among the $type plug-ins")
local midi, audio = ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1), ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2)
local tracks = Session:new_midi_track(midi, audio, false, info, nil, nil, 1, "Bass", ARDOUR.PresentationInfo.max_order,
  ARDOUR.TrackMode.Normal, true, false)
local notes = ARDOUR.LuaAPI.new_luaproc(Session, "Koralin check notes")
assert(not notes:isnil(), "no note generator")
tracks:front():add_processor_by_index(notes, 0, nil, true)
Session:save_state("", false, false, false, false, false)
local export = Session:simple_export()
export:set_name("koralin-$format")
export:set_folder("$dir/export")
export:set_range(0, 4 * 48000)
assert(export:set_preset("75969a1c-3133-4694-864b-a1fa50e43348"), "no WAV export preset")
assert(export:run_export(), "the export failed")
close_session()
EOT
  timeout 300 ardour7-lua "$dir/make_session.lua" >"$dir/lua.log" 2>&1 || fail "ardour7-lua could not make and render the session (see $dir/lua.log)"
  local route proc
  route=$(grep -o '<Route [^>]*name="Bass"' "$session" | grep -o ' id="[0-9]*"' | grep -o '[0-9]*') || true
  proc=$(grep -o "<Processor id=\"[0-9]*\" name=\"Koralin\"[^>]*type=\"$unique\"" "$session" | grep -o 'id="[0-9]*"' | grep -o '[0-9]*') || true
  [[ -n "$route" && -n "$proc" ]] || fail "the session has no Bass track with Koralin ($unique)"
  say "session $session: track Bass (id $route) carries Koralin as $unique (processor id $proc)"
  local wav="$dir/export/koralin-$format.wav" peak rms
  [[ -f "$wav" ]] || fail "the export wrote no $wav"
  peak=$(sox "$wav" -n stat 2>&1 | awk '/Maximum amplitude/ {a=$3} /Minimum amplitude/ {b=-$3} END {print (a>b?a:b)}')
  rms=$(sox "$wav" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
  awk -v p="$peak" 'BEGIN { exit !(p > 0.05) }' || fail "the headless render $wav is silent (peak $peak)"
  say "headless render: $wav, 4 s, peak $peak, RMS $rms"
  # Ardour reopens the plug-in's own editor (custom-ui) when the session says its window was open.
  sed -i "s|</Session>|  <Extra><UI><Window name=\"P-$route-$proc\" visible=\"1\" x-off=\"40\" y-off=\"120\" x-size=\"$pw\" y-size=\"$((ph + 40))\" custom-ui=\"1\"/></UI></Extra>\n</Session>|" "$session"

  local cutoff=2 tuning=1 state before tuning_before host_before  # parameter indices; 0 is the waveform
  state=$(saved_state "$session" "$proc") || fail "cannot find Koralin's state in $session"
  before=$(chunk_value "$state" $cutoff) || fail "cannot read Koralin's state in $session"
  tuning_before=$(chunk_value "$state" $tuning)
  host_before=$(host_cutoff "$session") || true
  say "state before: cutoff $before, tuning $tuning_before; Ardour's control: cutoff ${host_before:-none}"

  # 7. Ardour with the session, and our panel (560 x 110 at 96 dpi) in the plug-in's window. Each format starts with
  # no size chosen in the corner menu; the LV2 run at another scale sets Ardour's interface scale to match, which
  # Ardour hands the UI as ui:scaleFactor (its font-scale over 102400), while the VST editor reads the display's.
  rm -f "$settings"
  local ui_config="$XDG_CONFIG_HOME/ardour7/ui_config" handed=""
  rm -f "$ui_config"
  if [[ $format == lv2 && $dpi -ne 96 ]]; then
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<Ardour>\n  <UI>\n    <Option name="font-scale" value="%d"/>\n  </UI>\n</Ardour>\n' \
      $((pct * 1024)) >"$ui_config"
    say "Ardour's interface scale set to ${pct} % (font-scale $((pct * 1024)) in $ui_config)"
  fi
  ardour -n -a "$session" >"$log" 2>&1 &
  ardour_pid=$!
  pids=("$ardour_pid" "${pids[@]}")
  say "Ardour (pid $ardour_pid) starting on $display"
  local panel="" tick
  for tick in $(seq 1 90); do
    kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour exited while loading the session"
    if xdotool search --onlyvisible --name "Koralin \(by" >/dev/null 2>&1; then
      panel=$(xwininfo -root -tree | grep -E " ${pw}x${ph}\+[0-9]+\+[0-9]+ +\+[0-9]+\+[0-9]+$" | tail -n 1 | awk '{print $NF}') || true
      [[ -n "$panel" ]] && break
    fi
    # A notice on the way (such as the audio device having changed) is accepted with Return.
    if [[ $tick -eq 30 || $tick -eq 50 ]]; then xdotool key Return; fi
    sleep 1
  done
  import -window root "$dir/screen-open.png" 2>/dev/null || true
  [[ -n "$panel" ]] || fail "no Koralin editor window with a ${pw}x${ph} panel appeared (screen: $dir/screen-open.png)"
  local px py
  px=$(echo "$panel" | cut -d+ -f2) py=$(echo "$panel" | cut -d+ -f3)
  say "editor open: host window \"$(xdotool search --onlyvisible --name 'Koralin \(by' getwindowname | head -n 1)\", ${pw}x${ph} panel at $px,$py"
  sleep 2
  shot() { import -window root -crop "${pw}x${ph}+$px+$py" +repage "$dir/$1"; }
  shot panel-before.png
  local colours
  colours=$(convert "$dir/panel-before.png" -format %k info:)
  [[ $colours -gt 200 ]] || fail "the panel looks unpainted: $colours colours (see $dir/panel-before.png)"
  say "panel painted: $colours distinct colours in $dir/panel-before.png"

  # 8. Drag the cutoff knob (centre 125,58 in the panel's units) up by 100 units: a quarter of the range.
  local kx=$((px + $(u 125))) ky=$((py + $(u 58))) i
  xdotool mousemove "$kx" "$ky"
  sleep 0.3
  xdotool mousedown 1
  for i in $(seq 1 20); do xdotool mousemove "$kx" $((ky - $(u $((5 * i))))); sleep 0.03; done
  sleep 0.3
  xdotool mouseup 1
  sleep 1
  kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour died during the drag"
  shot panel-after.png
  crop() { convert "$dir/$1" -crop "$2" +repage "$dir/$3"; }
  local knob="$(u 78)x$(u 80)" top
  top=$(u 10)
  crop panel-before.png "$knob+$(u 86)+$top" cutoff-before.png
  crop panel-after.png "$knob+$(u 86)+$top" cutoff-after.png
  crop panel-before.png "$knob+0+$top" tuning-before.png
  crop panel-after.png "$knob+0+$top" tuning-after.png
  differing() { { compare -metric AE "$dir/$1" "$dir/$2" null: 2>&1 || true; } | awk '{ printf "%d", $1 }'; }
  local changed unchanged
  changed=$(differing cutoff-before.png cutoff-after.png)
  unchanged=$(differing tuning-before.png tuning-after.png)
  [[ $changed -gt 50 ]] || fail "the cutoff knob did not change on screen ($changed pixels)"
  [[ $unchanged -eq 0 ]] || fail "the tuning knob changed though it was not touched ($unchanged pixels)"
  say "drag redrawn: $changed pixels of the cutoff knob changed, the tuning knob unchanged ($dir/panel-after.png)"

  # 9. Save with Ctrl+S in Ardour's main window and read the values back from what it saved.
  local stamp after tuning_after host_after
  stamp=$(date -r "$session" +%s%N)
  xdotool search --onlyvisible --name "ktest - Ardour" windowactivate --sync >/dev/null 2>&1 || true
  xdotool key ctrl+s
  for _ in $(seq 1 40); do
    [[ "$(date -r "$session" +%s%N)" != "$stamp" ]] && break
    sleep 0.5
  done
  [[ "$(date -r "$session" +%s%N)" != "$stamp" ]] || fail "Ctrl+S did not rewrite $session"
  sleep 1
  state=$(saved_state "$session" "$proc") || fail "cannot find Koralin's state after saving"
  after=$(chunk_value "$state" $cutoff) || fail "cannot read Koralin's state after saving"
  tuning_after=$(chunk_value "$state" $tuning)
  host_after=$(host_cutoff "$session") || true
  say "state after: cutoff $after, tuning $tuning_after; Ardour's own control: cutoff ${host_after:-none}"
  awk -v a="$after" -v b="$before" 'BEGIN { exit !(a - b > 0.2499 && a - b < 0.2501) }' ||
    fail "the saved cutoff moved from $before to $after, not by the quarter the drag asked for"
  [[ "$tuning_after" == "$tuning_before" ]] || fail "the saved tuning changed from $tuning_before to $tuning_after"
  if [[ $format == lv2 ]]; then
    # The port value Ardour keeps is the editor's write, in percent: the state's value exactly.
    awk -v h="$host_after" -v a="$after" 'BEGIN { exit !(h - 100 * a < 0.001 && 100 * a - h < 0.001) }' ||
      fail "Ardour saved the cutoff control as $host_after, not the ${after} the editor wrote"
  fi
  kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour exited"

  # 10. "150 %" from the corner menu's "Size" submenu (the corner at 540,100 units; Up reaches "Size", Right opens it,
  #     Down moves from "100 %" to "150 %"). The choice is kept beside the defaults; Ardour either resizes the open
  #     editor or keeps its window, which then gets the size when the editor next opens.
  # The menu and its submenu are windows of their own: each key waits until the window it needs has come.
  local count sizes
  xdotool mousemove $((px + $(u 540))) $((py + $(u 100)))
  sleep 0.3
  count=$(windows)
  xdotool click 1
  more_windows "$count" || fail "no menu window came for a click in the corner"
  sleep 0.5
  import -window root "$dir/screen-menu.png" 2>/dev/null || true
  count=$(windows)
  xdotool key Up
  sleep 0.3
  xdotool key Right
  more_windows "$count" || fail "no submenu came for Up, Right in the corner menu (screen: $dir/screen-menu.png)"
  sleep 0.5
  xdotool key Down
  sleep 0.5
  import -window root "$dir/screen-submenu.png" 2>/dev/null || true
  xdotool key Return
  sleep 2
  kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour died when the size was chosen"
  grep -qx "size 150" "$settings" 2>/dev/null ||
    fail "the chosen size is not kept in $settings (the menu: $dir/screen-menu.png, $dir/screen-submenu.png)"
  sizes=$(xwininfo -root -tree)
  if grep -qE " 840x165\+[0-9]+\+[0-9]+ +\+$px\+$py\$" <<<"$sizes"; then
    resized="resized the open editor to 840 x 165"
  elif grep -qE " ${pw}x${ph}\+[0-9]+\+[0-9]+ +\+$px\+$py\$" <<<"$sizes"; then
    resized="kept the open editor at ${pw} x ${ph}; it opens at 840 x 165 next time"
  else
    fail "after choosing 150 % the panel at $px,$py is neither 840x165 nor ${pw}x${ph} (screen: $(import -window root "$dir/screen-size.png"; echo "$dir/screen-size.png"))"
  fi
  say "Size 150 %: Ardour $resized (kept in $settings)"
  import -window root "$dir/screen-size.png" 2>/dev/null || true

  # 11. Quit with the editor still open: Ardour closes it and the plug-in, and ends normally.
  xdotool search --onlyvisible --name "ktest - Ardour" windowactivate --sync >/dev/null 2>&1 || true
  xdotool key ctrl+q
  for _ in $(seq 1 40); do kill -0 "$ardour_pid" 2>/dev/null || break; sleep 0.5; done
  kill -0 "$ardour_pid" 2>/dev/null && fail "Ardour did not quit on Ctrl+Q (screen: $(import -window root "$dir/screen-quit.png"; echo "$dir/screen-quit.png"))"
  local status=0
  wait "$ardour_pid" || status=$?
  [[ $status -eq 0 ]] || fail "Ardour ended with status $status on quitting"
  if grep -iE 'X Error|BadWindow|BadMatch|BadDrawable|BadAccess|segmentation' "$log"; then
    fail "X errors or a crash in Ardour's log"
  fi
  ardour_pid=""
  say "Ardour quit normally with the editor open; no X error in its log"
  if [[ $format == lv2 ]]; then
    # What Ardour hands an LV2 UI as ui:scaleFactor is its interface scale, font-scale / 102400, as it kept it. The
    # editor takes a host's factor before the desktop's, so the panel's size above is the factor's too.
    local kept
    kept=$(grep -ho '<Option name="font-scale" value="[0-9]*"' "$ui_config" /etc/ardour7/default_ui_config 2>/dev/null |
      head -n 1 | sed 's/.*value="//; s/"$//') || true
    [[ -n "$kept" ]] || fail "cannot find Ardour's font-scale in $ui_config or its defaults"
    handed="Ardour handed the UI ui:scaleFactor $(awk -v f="$kept" 'BEGIN { printf "%g", f / 102400 }'): its interface scale, font-scale $kept as it kept it in ui_config"
    say "$handed"
  fi
  say "PASSED ($format) at $dpi dpi: rendered headless, the ${pw} x ${ph} editor opened and painted${handed:+ ($handed)}, the drag turned cutoff $before -> $after, saved in $session; at 150 % Ardour $resized"
}

for f in "${formats[@]}"; do check_format "$f"; done
format=""
say "PASSED: ${formats[*]}"
