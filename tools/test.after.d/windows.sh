#!/usr/bin/env bash
# The Windows stage of the test command: builds Koralin.dll and Koralin.clap for i686 and x86_64 with mingw-w64, runs
# their tests under Wine in a throw-away prefix (the CLAP host's among them), and compares their sound with the Linux
# module's.
# With --setup it only installs what the stage needs (32-bit Wine and GL, FreeType's sources) and stops.
# On a machine whose kernel cannot run 32-bit programs the 64-bit suite runs through the 64-bit Wine loader alone and
# the 32-bit DLL is only checked for its imports and exports; KORALIN_NO_32BIT=1 takes that path on any machine.
set -euo pipefail
cd "$(dirname "$0")/../.."
started=$SECONDS
as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
freetype_home=/usr/local/src/koralin-freetype
# Largest difference from the Linux render that still passes; the C runtimes' tan, tanh and exp differ from
# glibc's in the last bit, and the resonant filter carries that along.
agreement_limit_db=-100

wine64_loader=/usr/lib/wine/wine64
runs_32bit=yes
no32_reason=""

# Whether this kernel runs 32-bit x86 programs. The probe is a 96-byte static i386 program that only exits with status
# 42, so it needs no 32-bit library: a kernel without 32-bit support refuses it with "Exec format error".
probe_32bit() {
  if [[ -n "${KORALIN_NO_32BIT:-}" ]]; then
    no32_reason="KORALIN_NO_32BIT is set"
    return 1
  fi
  local probe status=0
  probe="$(mktemp "${TMPDIR:-/tmp}/koralin-i386.XXXXXX")"
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00'\
'\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00'\
'\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [[ $status -eq 42 ]] && return 0
  no32_reason="this kernel cannot run 32-bit programs (a static i386 probe exited with $status)"
  return 1
}

installed() { [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" == "install ok installed" ]]; }
# A mirror in the middle of a sync fails an index now and then; what follows says if the lists there are fall short.
update_lists() {
  "${as_root[@]}" apt-get update -qq || { sleep 20; "${as_root[@]}" apt-get update -qq; } ||
    echo "windows.sh: apt-get update failed twice; going on with the package lists this machine has"
}

# With the 32-bit Wine come Mesa's 32-bit GL libraries, without which the 32-bit editor cannot draw with WGL.
setup_wine32() {
  installed wine32:i386 && installed libgl1-mesa-dri:i386 && return 0
  dpkg --print-foreign-architectures | grep -qx i386 || "${as_root[@]}" dpkg --add-architecture i386
  update_lists
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends wine32:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386 \
    >/dev/null ||
    echo "windows.sh: wine32:i386 could not be installed; the 32-bit tests are left out" >&2
}

# FreeType is compiled into the DLL from Debian's source package, fetched once per machine.
setup_freetype() {
  compgen -G "$freetype_home/freetype-*/include/ft2build.h" >/dev/null && return 0
  if ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        "${as_root[@]}" tee /etc/apt/sources.list.d/koralin-deb-src.sources >/dev/null
    else
      grep -hE '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
        "${as_root[@]}" tee /etc/apt/sources.list.d/koralin-deb-src.list >/dev/null
    fi
  fi
  update_lists
  "${as_root[@]}" mkdir -p "$freetype_home"
  (cd "$freetype_home" && "${as_root[@]}" apt-get source -qq freetype >/dev/null)
}

cleanup() {
  if [[ -n "${WINEPREFIX:-}" && -d "$WINEPREFIX" ]]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  [[ -n "${probe_dir:-}" ]] && rm -rf "$probe_dir"
  return 0
}

# A fresh prefix, its helper processes started before ctest so that none of them holds a test's output open.
setup_prefix() {
  export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  WINEPREFIX="$(mktemp -d /tmp/koralin-wine.XXXXXX)"
  # Windows (the wheel test) need an X server; the test command's display stage may have started one already.
  if [[ -z "${DISPLAY:-}" ]]; then
    # shellcheck source=../test.d/display.sh
    source tools/test.d/display.sh
  fi
  trap "cleanup; ${koralin_xvfb_pid:+kill $koralin_xvfb_pid 2>/dev/null || true}" EXIT
  wineserver -p
  # The 64-bit loader starts the prefix on every machine; the wine and wineboot commands pick the 32-bit loader
  # whenever 32-bit Wine is installed, which cannot start where the kernel has no 32-bit support.
  local status=0
  WINELOADER="$wine64_loader" "$wine64_loader" wineboot.exe -i >/dev/null 2>&1 </dev/null || status=$?
  if [[ $status -ne 0 ]]; then
    echo "windows.sh: the Wine prefix could not be made ($wine64_loader wineboot.exe -i exited with $status)" >&2
    return "$status"
  fi
}

# The Linux module and the Linux build of the probe, for the reference render, and the Linux panel as the preview
# captures it, which the Windows editor's pixels are compared with.
linux_reference() {
  cmake --preset release >/dev/null
  cmake --build --preset release -j 2 --target Koralin koralin_probe koralin_preview
  probe_dir="$(mktemp -d /tmp/koralin-probe.XXXXXX)"
  build/release/koralin_probe render build/release/Koralin.so "$probe_dir/linux.raw" >/dev/null
  build/release/tools/preview/koralin_preview "$probe_dir/linux-panel.png" build/release/Koralin.so >/dev/null
  build/release/tools/preview/koralin_preview --dpi 192 "$probe_dir/linux-panel-2x.png" build/release/Koralin.so >/dev/null
  export KORALIN_LINUX_PANEL="$probe_dir/linux-panel.png" KORALIN_LINUX_PANEL_2X="$probe_dir/linux-panel-2x.png"
}

# run_preset PRESET LOADER: builds the preset and runs its suite through LOADER, or with LOADER "none" only checks the
# DLL's import and export tables (no Wine needed: the check reads the file's headers).
run_preset() {
  local preset=$1 loader=$2
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j 2
  if [[ "$loader" == none ]]; then
    cmake "-DOBJDUMP=$(command -v "$(mingw_triple "$preset")-objdump")" "-DMODULE=build/$preset/Koralin.dll" \
      -P tests/win/check_module.cmake
    cmake "-DOBJDUMP=$(command -v "$(mingw_triple "$preset")-objdump")" "-DMODULE=build/$preset/Koralin.clap" \
      -DEXPORTS=clap_entry -P tests/win/check_module.cmake
    echo "$preset: import and export tables of Koralin.dll and Koralin.clap as expected"
    return
  fi
  WINELOADER="$loader" ctest --preset "$preset" ||
    { echo "windows.sh: the $preset suite failed under $loader" >&2; return 1; }
  WINELOADER="$loader" "$loader" "build/$preset/koralin_probe.exe" render "build/$preset/Koralin.dll" \
    "$probe_dir/$preset.raw" >/dev/null
  echo -n "Linux against $preset: "
  build/release/koralin_probe compare "$probe_dir/linux.raw" "$probe_dir/$preset.raw" "$agreement_limit_db"
}

mingw_triple() { [[ "$1" == win32 ]] && echo i686-w64-mingw32 || echo x86_64-w64-mingw32; }

probe_32bit || runs_32bit=no
if [[ $runs_32bit == yes ]]; then
  echo "windows.sh: this machine runs 32-bit programs: the 32-bit and 64-bit suites both run under Wine"
  setup_wine32
else
  echo "windows.sh: 32-bit tests left out: $no32_reason; the 32-bit DLL is built and its tables checked"
fi
setup_freetype
[[ "${1:-}" == --setup ]] && exit 0
setup_prefix
linux_reference
run_preset win64 "$wine64_loader"
if [[ $runs_32bit == yes ]] && installed wine32:i386; then
  run_preset win32 /usr/lib/wine/wine
else
  run_preset win32 none
fi
echo "Windows stage took $((SECONDS - started)) s."
