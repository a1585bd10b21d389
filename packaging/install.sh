#!/usr/bin/env bash
# Koralin's installer for Linux: copies each plug-in format from this folder into the user's own plug-in folders,
# writes down what it put where, and with --uninstall removes exactly that. It needs bash and coreutils only.
set -euo pipefail

# The release archive's version (tools/package.sh writes it in).
version="@KORALIN_VERSION@"
here="$(cd "$(dirname "$0")" && pwd)"
me="install.sh"

# What goes where, one format a line: its name, the file or folder (a bundle) in this folder, and the folder it
# goes into (a name that target_folder knows). To add a format, add its line here, and its folder below if it is a
# new one; an archive without the format's file leaves that line out and says so.
formats=(
  "VST 2.4 plug-in|Koralin.so|vst"
  "LV2 plug-in|Koralin.lv2|lv2"
  "CLAP plug-in|Koralin.clap|clap"
  "standalone for JACK|koralin|bin"
  "standalone's launcher|koralin.desktop|applications"
  "standalone's icon|koralin.png|icons"
)

# The user's folders, by the names the table uses.
target_folder() {
  local data="${XDG_DATA_HOME:-$HOME/.local/share}"
  case $1 in
    vst) echo "$HOME/.vst" ;;
    lv2) echo "$HOME/.lv2" ;;
    clap) echo "$HOME/.clap" ;;
    bin) echo "$HOME/.local/bin" ;;
    applications) echo "$data/applications" ;;
    icons) echo "$data/icons/hicolor/128x128/apps" ;;
    *) fail "the format table names an unknown folder '$1'" ;;
  esac
}

# The record of an installation: "version V", then "dir PATH" for each folder it made and "file SHA256 PATH" for
# each file it copied, separated by tabs, in the order they were made.
manifest() { echo "${XDG_DATA_HOME:-$HOME/.local/share}/Quillmarsh/Koralin.installed"; }

usage() {
  cat <<EOF
Usage: bash $me [--force] | --uninstall | --help

Installs Koralin $version for the current user (no root needed):
$(for row in "${formats[@]}"; do
    IFS='|' read -r name item folder <<<"$row"
    echo "  $name  $item -> $(target_folder "$folder")/"
  done)
and writes down what it installed in $(manifest).

  --force      replace a newer installed version, or files that this installer did not put there
  --uninstall  remove exactly what the last installation put there (files changed since are left, and named)
  --help       this text
EOF
}

fail() {
  echo "$me: $*" >&2
  exit 1
}

# Whether version $1 is newer than version $2 (numbered parts, compared as numbers).
newer() { [[ "$1" != "$2" && "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n 1)" == "$1" ]]; }

checksum() { sha256sum "$1" | cut -d ' ' -f 1; }

# Whether a recorded path is one this installer could have written: absolute, no "..", no tab or line break.
safe_path() { [[ "$1" == /* && "$1" != *$'\t'* && "$1" != *$'\n'* && "/$1/" != */../* ]]; }

installed_version=""
installed_files=()
installed_sums=()
installed_dirs=()
read_manifest() {
  local file
  file="$(manifest)"
  [[ -f "$file" ]] || return 1
  local kind a b
  while IFS=$'\t' read -r kind a b; do
    case $kind in
      version) installed_version=$a ;;
      dir) safe_path "$a" && installed_dirs+=("$a") ;;
      file) safe_path "$b" && installed_files+=("$b") && installed_sums+=("$a") ;;
    esac
  done <"$file"
  [[ -n "$installed_version" ]] || fail "$file is not an installation record (no version line); remove it by hand"
}

was_installed() {
  local path
  for path in "${installed_files[@]}"; do [[ "$path" == "$1" ]] && return 0; done
  return 1
}

# Removes the recorded files that are still as they were installed.
remove_files() {
  local quiet=$1 i path
  for i in "${!installed_files[@]}"; do
    path=${installed_files[$i]}
    if [[ ! -e "$path" ]]; then
      [[ $quiet == yes ]] || echo "  already gone: $path"
    elif [[ -f "$path" && "$(checksum "$path")" == "${installed_sums[$i]}" ]]; then
      rm -f "$path"
      [[ $quiet == yes ]] || echo "  removed $path"
    else
      [[ $quiet == yes ]] || echo "  left $path: it changed since it was installed"
    fi
  done
}

# Removes the recorded folders that are empty now, innermost first; those still holding something stay recorded.
kept_dirs=()
remove_dirs() {
  local quiet=$1 i path
  kept_dirs=()
  for ((i = ${#installed_dirs[@]} - 1; i >= 0; i--)); do
    path=${installed_dirs[$i]}
    [[ -d "$path" ]] || continue
    if rmdir "$path" 2>/dev/null; then
      [[ $quiet == yes ]] || echo "  removed folder $path"
    else
      kept_dirs=("$path" "${kept_dirs[@]}")
      [[ $quiet == yes ]] || echo "  left folder $path: it holds other files"
    fi
  done
}

uninstall() {
  if ! read_manifest; then
    echo "Koralin is not installed for this user (no $(manifest)): nothing to remove."
    return 0
  fi
  echo "Removing Koralin $installed_version:"
  remove_files no
  rm -f "$(manifest)"
  remove_dirs no
  echo "Done."
}

made_dirs=()
copied_files=()
copied_sums=()

# mkdir -p that notes every folder it makes, outermost first.
make_folder() {
  local dir=$1 missing=()
  while [[ ! -d "$dir" ]]; do
    missing=("$dir" "${missing[@]}")
    dir="$(dirname "$dir")"
  done
  for dir in "${missing[@]}"; do
    mkdir "$dir" || fail "could not make the folder $dir"
    made_dirs+=("$dir")
  done
}

# Copies one file beside its place, then renames it there: a host that has the old file open keeps its copy.
place_file() {
  local from=$1 to=$2 part
  part="$(dirname "$to")/.$(basename "$to").part-$$"
  cp "$from" "$part" || {
    rm -f "$part"
    fail "could not copy $from to $(dirname "$to")"
  }
  chmod "$(stat -c %a "$from")" "$part"
  mv -f "$part" "$to" || fail "could not put $to in place"
  copied_files+=("$to")
  copied_sums+=("$(checksum "$to")")
}

# A file, or a folder (a bundle) with everything inside it.
place_item() {
  local from=$1 to=$2 entry
  if [[ -d "$from" ]]; then
    [[ -d "$to" ]] || make_folder "$to"
    for entry in "$from"/* "$from"/.[!.]*; do
      if [[ -e "$entry" ]]; then place_item "$entry" "$to/$(basename "$entry")"; fi
    done
  else
    place_file "$from" "$to"
  fi
}

# The files an item would write, for the check before anything is touched.
item_files() {
  local from=$1 to=$2 entry
  if [[ -d "$from" ]]; then
    for entry in "$from"/* "$from"/.[!.]*; do
      if [[ -e "$entry" ]]; then item_files "$entry" "$to/$(basename "$entry")"; fi
    done
  else
    echo "$to"
  fi
}

write_manifest() {
  local file part i
  file="$(manifest)"
  make_folder "$(dirname "$file")"
  part="$file.part-$$"
  {
    printf 'version\t%s\n' "$version"
    for i in "${made_dirs[@]}"; do printf 'dir\t%s\n' "$i"; done
    for i in "${!copied_files[@]}"; do printf 'file\t%s\t%s\n' "${copied_sums[$i]}" "${copied_files[$i]}"; done
  } >"$part" || fail "could not write $file"
  mv -f "$part" "$file"
}

install() {
  local force=$1 row name item folder dest target
  if read_manifest; then
    if newer "$installed_version" "$version" && [[ $force != yes ]]; then
      fail "Koralin $installed_version is installed, newer than this $version: nothing was changed." \
        "Run 'bash $me --force' to install $version over it."
    fi
  fi
  # Every check first: nothing is touched unless all of it can go in.
  local planned=() foreign=()
  for row in "${formats[@]}"; do
    IFS='|' read -r name item folder <<<"$row"
    [[ -e "$here/$item" ]] || continue
    dest="$(target_folder "$folder")"
    while IFS= read -r target; do
      planned+=("$target")
      if [[ -e "$target" ]] && ! was_installed "$target"; then foreign+=("$target"); fi
    done < <(item_files "$here/$item" "$dest/$item")
  done
  [[ ${#planned[@]} -gt 0 ]] || fail "none of the formats' files is in $here"
  if [[ ${#foreign[@]} -gt 0 && $force != yes ]]; then
    fail "this installer did not put $(printf '%s ' "${foreign[@]}")there: nothing was changed." \
      "Run 'bash $me --force' to replace what is there."
  fi

  if [[ -n "$installed_version" ]]; then
    if [[ "$installed_version" == "$version" ]]; then
      echo "Koralin $version is installed already: installing it again."
    else
      echo "Replacing Koralin $installed_version with $version."
    fi
    remove_files yes
    remove_dirs yes
    made_dirs=("${kept_dirs[@]}")  # still ours: the record goes on listing them
  fi
  echo "Installing Koralin $version:"
  for row in "${formats[@]}"; do
    IFS='|' read -r name item folder <<<"$row"
    if [[ ! -e "$here/$item" ]]; then
      echo "  left out the $name: $item is not in this folder"
      continue
    fi
    dest="$(target_folder "$folder")"
    make_folder "$dest"
    place_item "$here/$item" "$dest/$item"
    echo "  $name: $dest/$item"
  done
  write_manifest
  echo "What was installed is listed in $(manifest); 'bash $me --uninstall' removes it."
  echo "Hosts find the VST 2.4 plug-in in ~/.vst (add that folder to a host's plug-in folders if it does not look there)"
  echo "and the LV2 plug-in in ~/.lv2."
  if [[ -e "$here/koralin" ]]; then
    echo "The standalone: koralin in ~/.local/bin (on the PATH from the next login once that folder is there)," \
      "or Koralin in the desktop's menu."
  fi
}

main() {
  local action=install force=no
  for arg in "$@"; do
    case $arg in
      --uninstall) action=uninstall ;;
      --force) force=yes ;;
      --help | -h)
        usage
        return 0
        ;;
      *) fail "unknown option '$arg' (see --help)" ;;
    esac
  done
  [[ -n "${HOME:-}" && -d "$HOME" ]] || fail "HOME is not set to a folder"
  [[ "$HOME" != *$'\t'* && "$HOME" != *$'\n'* ]] || fail "HOME holds a tab or a line break, which the record cannot hold"
  # A version of digits and dots only: the copy in an unpacked release has one; this file's source form has not.
  [[ "$version" =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "this copy has no release version: use the install.sh of an unpacked release"
  if [[ $action == uninstall ]]; then uninstall; else install "$force"; fi
}

main "$@"
