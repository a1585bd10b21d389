#!/usr/bin/env bash
# Installs the Debian packages that are missing (needs root or sudo): those of the lists named on the command line
# (tools/deps/NAME.txt), or of every list when none is named; or, after --packages, the packages named, with what
# they recommend (the hosts the check scripts run).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
lists=()
wanted=()
recommends=(--no-install-recommends)
if [[ "${1:-}" == --packages ]]; then
  shift
  recommends=()
  wanted=("$@")
elif [[ $# -eq 0 ]]; then
  lists=("$here"/deps/*.txt)
else
  for name in "$@"; do
    [[ -f "$here/deps/$name.txt" ]] || { echo "install-deps.sh: no package list tools/deps/$name.txt" >&2; exit 2; }
    lists+=("$here/deps/$name.txt")
  done
fi
[[ ${#lists[@]} -eq 0 ]] || mapfile -t wanted < <(cat "${lists[@]}" | sed 's/#.*//' | tr -s ' \t' '\n' | grep -v '^$' | sort -u)
missing=()
for pkg in "${wanted[@]}"; do
  # One status line per installed architecture (a package may be there for i386 too, for Wine).
  dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -qx "install ok installed" || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0
echo "Installing missing packages: ${missing[*]}"
as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync fails an index now and then: try again, then go on with the lists there are and
# let the install say whether they were enough.
if ! "${as_root[@]}" apt-get update -qq; then
  sleep 20
  "${as_root[@]}" apt-get update -qq ||
    echo "install-deps.sh: apt-get update failed twice; installing from the package lists this machine has"
fi
"${as_root[@]}" apt-get install -y -qq "${recommends[@]}" "${missing[@]}" ||
  { echo "install-deps.sh: could not install: ${missing[*]}" >&2; exit 1; }
