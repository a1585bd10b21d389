#!/usr/bin/env bash
# Installs the Debian packages that are missing (needs root or sudo): those of the lists named on the command line
# (tools/deps/NAME.txt), or of every list when none is named.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
lists=()
if [[ $# -eq 0 ]]; then
  lists=("$here"/deps/*.txt)
else
  for name in "$@"; do
    [[ -f "$here/deps/$name.txt" ]] || { echo "install-deps.sh: no package list tools/deps/$name.txt" >&2; exit 2; }
    lists+=("$here/deps/$name.txt")
  done
fi
mapfile -t wanted < <(cat "${lists[@]}" | sed 's/#.*//' | tr -s ' \t' '\n' | grep -v '^$' | sort -u)
missing=()
for pkg in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0
echo "Installing missing packages: ${missing[*]}"
as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq || { echo "install-deps.sh: apt-get update failed" >&2; exit 1; }
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
  { echo "install-deps.sh: could not install: ${missing[*]}" >&2; exit 1; }
