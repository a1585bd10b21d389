# Sourced by tools/test.sh: gives the tests labelled "display" (OpenGL drawing, X11 windows and input) a display,
# starting a virtual X server when none is set. The other tests need none.
if [[ -z "${DISPLAY:-}" ]]; then
  koralin_display=""
  for n in $(seq 90 120); do
    if [[ ! -e "/tmp/.X${n}-lock" && ! -e "/tmp/.X11-unix/X${n}" ]]; then koralin_display=":${n}"; break; fi
  done
  if [[ -z "$koralin_display" ]]; then
    echo "display.sh: no free display number" >&2
  else
    # -noreset: the server would otherwise restart, refusing connections, whenever its last client leaves.
    Xvfb "$koralin_display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    koralin_xvfb_pid=$!
    for _ in $(seq 1 100); do
      xdpyinfo -display "$koralin_display" >/dev/null 2>&1 && break
      sleep 0.1
    done
    if xdpyinfo -display "$koralin_display" >/dev/null 2>&1; then
      export DISPLAY="$koralin_display"
      # Stop the server on exit, after whatever exit handler was there before.
      koralin_previous_trap=""
      if [[ -n "$(trap -p EXIT)" ]]; then
        eval "koralin_trap_words=($(trap -p EXIT))"  # trap -p quotes its output for the shell to read back
        koralin_previous_trap="${koralin_trap_words[2]}"
      fi
      trap "${koralin_previous_trap:+$koralin_previous_trap;} kill $koralin_xvfb_pid 2>/dev/null || true" EXIT
    else
      echo "display.sh: Xvfb did not answer on $koralin_display" >&2
      kill "$koralin_xvfb_pid" 2>/dev/null || true
    fi
  fi
fi
