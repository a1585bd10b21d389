#!/usr/bin/env bash
# The Windows stage of the test command: builds Koralin.dll for i686 and x86_64 with mingw-w64, runs their tests
# under Wine in a throw-away prefix, and compares their sound with the Linux module's.
# With --setup it only installs what the stage needs (32-bit Wine, FreeType's sources) and stops.
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

installed() { [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" == "install ok installed" ]]; }

setup_wine32() {
  installed wine32:i386 && return 0
  dpkg --print-foreign-architectures | grep -qx i386 || "${as_root[@]}" dpkg --add-architecture i386
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null ||
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
  "${as_root[@]}" apt-get update -qq
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
  wineboot -i >/dev/null 2>&1 </dev/null
}

# The Linux module and a Linux build of the probe, for the reference render.
linux_reference() {
  if [[ ! -f build/release/Koralin.so || ! -f build/release/host/libkoralin_host.a ]]; then
    cmake --preset release >/dev/null
    cmake --build --preset release -j 2 --target Koralin koralin_host
  fi
  probe_dir="$(mktemp -d /tmp/koralin-probe.XXXXXX)"
  c++ -std=c++20 -O2 -Wall -Wextra -I. tests/win/koralin_probe.cpp build/release/host/libkoralin_host.a -ldl \
    -o "$probe_dir/koralin_probe"
  "$probe_dir/koralin_probe" render build/release/Koralin.so "$probe_dir/linux.raw" >/dev/null
}

run_preset() {
  local preset=$1 runnable=$2
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j 2
  if [[ "$runnable" != yes ]]; then
    echo "windows.sh: no Wine for $preset here: only the module's import and export tables are checked" >&2
    ctest --preset "$preset" -R '^win_module_imports_and_exports$'
    return
  fi
  ctest --preset "$preset"
  wine "build/$preset/koralin_probe.exe" render "build/$preset/Koralin.dll" "$probe_dir/$preset.raw" >/dev/null
  echo -n "Linux against $preset: "
  "$probe_dir/koralin_probe" compare "$probe_dir/linux.raw" "$probe_dir/$preset.raw" "$agreement_limit_db"
}

setup_wine32
setup_freetype
[[ "${1:-}" == --setup ]] && exit 0
setup_prefix
linux_reference
run_preset win64 yes
run_preset win32 "$(installed wine32:i386 && echo yes || echo no)"
echo "Windows stage took $((SECONDS - started)) s."
