#!/usr/bin/env bash
# A real CLAP host's scan: Qtractor's headless plug-in scanner (Debian's qtractor) reads Koralin.clap and must list
# it with no audio inputs, two outputs, MIDI in and seven parameters. Installing Qtractor takes about a minute on a
# fresh machine; without it (a package that cannot be installed) the stage says so and is left out.
set -euo pipefail
cd "$(dirname "$0")/../.."
scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
module="$PWD/build/release/Koralin.clap"

if [[ ! -x "$scanner" ]]; then
  as_root=()
  [[ $(id -u) -eq 0 ]] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq || true
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends qtractor >/dev/null ||
    true
fi
if [[ ! -x "$scanner" ]]; then
  echo "qtractor.sh: Qtractor's scan left out: the qtractor package could not be installed"
  exit 0
fi
cmake --preset release >/dev/null
cmake --build --preset release -j 2 --target KoralinClap
# The scanner reads "TYPE:path" lines and answers TYPE|name|audio in:out|MIDI in:out|controls in:out|flags|path|...
line="$(echo "CLAP:$module" | QT_QPA_PLATFORM=offscreen timeout 60 "$scanner" 2>/dev/null | grep '^CLAP|' || true)"
echo "Qtractor lists: ${line:-nothing}"
IFS='|' read -r type name audio midi controls flags _ <<<"$line"
expected="CLAP|Koralin|0:2|1:0|7:0"
if [[ "$type|$name|$audio|$midi|$controls" != "$expected" || ",$flags," != *,GUI,* ]]; then
  echo "qtractor.sh: Qtractor does not list Koralin.clap as $expected with its editor (GUI)" >&2
  exit 1
fi
echo "qtractor.sh: Qtractor lists Koralin.clap with 0 audio inputs, 2 outputs, MIDI in, 7 parameters and its editor"
