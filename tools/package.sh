#!/usr/bin/env bash
# Makes a release: builds the Linux plug-in, its LV2 bundle and renderer and both Windows DLLs, checks what each
# needs (libraries, glibc versions, imports, exports) and that none holds a build path or a time stamp, and writes
# to dist/ koralin-VERSION-linux-x86_64.tar.gz, koralin-VERSION-windows.zip and SHA256SUMS. Two runs on one commit
# write the same bytes; --check-reproducible proves it with a second build elsewhere. What goes in: docs/release.md.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
started=$SECONDS

usage() {
  cat <<'EOF'
Usage: bash tools/package.sh [--reuse] [--check-reproducible] [--out DIR]

  --reuse               build in the test command's trees (build/release, build/win64, build/win32) instead of
                        clean trees of its own under build/package/
  --check-reproducible  then build the Linux files and the 64-bit DLL again, without ccache, in build/package/again/,
                        pack them with the first build's 32-bit DLL, and fail unless the archives are the same bytes
  --out DIR             where the archives go (default dist/)
EOF
}

reuse=no
check=no
out="$root/dist"
while [[ $# -gt 0 ]]; do
  case $1 in
    --reuse) reuse=yes ;;
    --check-reproducible) check=yes ;;
    --out)
      [[ $# -ge 2 ]] || { echo "package.sh: --out needs a folder" >&2; exit 2; }
      out="$(mkdir -p "$2" && cd "$2" && pwd)"
      shift
      ;;
    --help | -h)
      usage
      exit 0
      ;;
    *)
      echo "package.sh: unknown option '$1'" >&2
      usage >&2
      exit 2
      ;;
  esac
  shift
done

fail() {
  echo "package.sh: FAILED: $*" >&2
  exit 1
}

# Linux libraries the module may need: glibc's C library, maths library and loader, X11, GL (the libglvnd
# dispatchers or a plain libGL) and FreeType. The renderer: glibc and libsndfile.
module_libs="libc.so.6 libm.so.6 ld-linux-x86-64.so.2 libX11.so.6 libGL.so.1 libGLX.so.0 libOpenGL.so.0 libfreetype.so.6"
render_libs="libc.so.6 libm.so.6 ld-linux-x86-64.so.2 libsndfile.so.1"
standalone_libs="$module_libs libjack.so.0 liblo.so.7 libasound.so.2"
newest_glibc="2.36"  # Debian 12's
freetype_home=/usr/local/src/koralin-freetype

# --- What the step needs -------------------------------------------------------------------------------------------
bash tools/install-deps.sh build package lv2
if ! compgen -G "$freetype_home/freetype-*/include/ft2build.h" >/dev/null; then
  echo "package.sh: FreeType's sources for the DLLs are missing: fetching them (tools/test.after.d/windows.sh --setup)"
  bash tools/test.after.d/windows.sh --setup >/dev/null
fi
freetype_source="$(compgen -G "$freetype_home/freetype-*/include/ft2build.h" | tail -n 1)"
freetype_source="${freetype_source%/include/ft2build.h}"

# The archives' times: the commit's (SOURCE_DATE_EPOCH, when set, takes its place).
if [[ -n "${SOURCE_DATE_EPOCH:-}" ]]; then
  epoch=$SOURCE_DATE_EPOCH
elif epoch="$(git log -1 --format=%ct 2>/dev/null)" && [[ -n "$epoch" ]]; then
  [[ -z "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]] ||
    echo "package.sh: the tree has changes not committed: the archives are not those of commit $(git rev-parse --short HEAD)"
else
  fail "no commit to take the archives' time from: run in a git checkout or set SOURCE_DATE_EPOCH"
fi

# --- Builds --------------------------------------------------------------------------------------------------------
# configure DIR PRESET TOOLCHAIN: an existing tree is only rebuilt. The test command's trees (build/PRESET) are made
# with their preset, so that its stages find them as they expect; others are Release trees of the plug-in and the
# renderer alone.
configure() {
  local dir=$1 preset=$2 toolchain=$3 log
  [[ -f "$dir/CMakeCache.txt" ]] && return 0
  log="$(mktemp)"
  local how=(--preset "$preset")
  if [[ "$dir" != "build/$preset" ]]; then
    how=(-S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORALIN_TESTS=OFF -DKORALIN_BENCH=OFF
      -DKORALIN_TOOLS=ON)
    [[ -z "$toolchain" ]] || how+=("-DCMAKE_TOOLCHAIN_FILE=$root/cmake/$toolchain")
  fi
  if ! cmake "${how[@]}" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    fail "configuring $dir"
  fi
  rm -f "$log"
}

# build DIR TARGET...: builds the targets, printing only the build's last line unless it fails.
build() {
  local dir=$1 log
  shift
  log="$(mktemp)"
  if ! cmake --build "$dir" -j 2 --target "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    fail "building $* in $dir"
  fi
  echo "  $dir: $(tail -n 1 "$log")"
  rm -f "$log"
}

# build_set LINUX WIN64 WIN32: the three trees ("" leaves one out), configured and built.
build_set() {
  local linux=$1 win64=$2 win32=$3
  configure "$linux" release ""
  build "$linux" Koralin KoralinClap koralin-render koralin koralin_icon Koralin_lv2
  if [[ -n "$win64" ]]; then
    configure "$win64" win64 toolchain-mingw-x86_64.cmake
    build "$win64" Koralin KoralinClap
  fi
  if [[ -n "$win32" ]]; then
    configure "$win32" win32 toolchain-mingw-i686.cmake
    build "$win32" Koralin KoralinClap
  fi
}

# --- Checks on what ships ------------------------------------------------------------------------------------------
# check_elf FILE ALLOWED EXPORTS [VERSIONS]: the libraries it needs are among ALLOWED, the versioned symbols it needs
# are glibc's, none newer than $newest_glibc (or match the pattern VERSIONS: another allowed library's own), and it
# exports exactly EXPORTS ("-": a program, whose exports are the C library's own copied data). Prints what it found.
check_elf() {
  local file=$1 allowed=$2 exports=$3 others=${4:-} name needed lib versions version newest defined=""
  name="$(basename "$file")"
  needed="$(objdump -p "$file" | awk '$1 == "NEEDED" {print $2}')"
  for lib in $needed; do
    [[ " $allowed " == *" $lib "* ]] || fail "$name needs $lib, which is not one of: $allowed"
  done
  versions="$(objdump -p "$file" | sed -n '/^Version References:/,/^$/p' | awk 'NF == 4 {print $4}' | sort -u)"
  for version in $versions; do
    [[ "$version" =~ ^GLIBC_[0-9]+(\.[0-9]+)*$ || (-n "$others" && "$version" =~ $others) ]] ||
      fail "$name needs the symbol version $version (only glibc's may appear: no C++ runtime of the system's)"
  done
  newest="$(echo "$versions" | grep '^GLIBC_' | sed 's/^GLIBC_//' | sort -V | tail -n 1)"
  [[ "$(printf '%s\n%s\n' "$newest" "$newest_glibc" | sort -V | tail -n 1)" == "$newest_glibc" ]] ||
    fail "$name needs GLIBC_$newest, newer than Debian 12's $newest_glibc"
  if [[ "$exports" != - ]]; then
    defined="$(objdump -T "$file" | grep -E '^[0-9a-f]{16} ' | grep -v '\*UND\*' | awk '{print $NF}' | sort | xargs)"
    [[ "$defined" == "$exports" ]] || fail "$name exports '$defined', not '$exports'"
  fi
  echo "  $name: needs $(echo "$needed" | xargs); newest symbol version GLIBC_$newest${defined:+; exports $defined}"
}

# check_dll FILE FORMAT [EXPORT]: the module's import and export tables as the Windows suite checks them (with EXPORT,
# a module exporting that one symbol, as Koralin.clap exports clap_entry), the word size its folder promises, and no
# time stamp in the file header, the export table or the resource tables.
check_dll() {
  local file=$1 format=$2 triple objdump header stamp dump tables
  tables=("-DMODULE=$file")
  [[ -z "${3:-}" ]] || tables+=("-DEXPORTS=$3")
  [[ $format == pei-x86-64 ]] && triple=x86_64-w64-mingw32 || triple=i686-w64-mingw32
  objdump="$(command -v "$triple-objdump")" || fail "$triple-objdump is missing (Debian package binutils-mingw-w64)"
  "$objdump" -f "$file" | grep -q "file format $format\$" || fail "$file is not a $format module"
  cmake "-DOBJDUMP=$objdump" "${tables[@]}" -P tests/win/check_module.cmake >/dev/null 2>&1 ||
    fail "$file: $(cmake "-DOBJDUMP=$objdump" "${tables[@]}" -P tests/win/check_module.cmake 2>&1 | grep -v '^--' | xargs)"
  header="$(od -An -tu4 -j 60 -N 4 "$file" | xargs)"
  stamp="$(od -An -tu4 -j $((header + 8)) -N 4 "$file" | xargs)"
  [[ "$stamp" == 0 ]] || fail "$file: the file header holds the time stamp $stamp"
  dump="$("$objdump" -p "$file")"
  echo "$dump" | grep -E '^Time/Date stamp' | grep -qvE 'stamp[[:space:]]+0$' && fail "$file: the export table has a time stamp"
  echo "$dump" | grep -oE 'Time: [0-9a-fA-F]+' | grep -qv 'Time: 00000000' && fail "$file: a resource table has a time stamp"
  echo "  ${file#"$stage"/*/}: $format, imports $(echo "$dump" | awk '/DLL Name:/ {print $3}' | sort | xargs); no time stamps"
}

# No path of this machine's builds in a shipped file.
check_paths() {
  local file=$1 path
  for path in "$root" "$freetype_home" "${extra_paths[@]}"; do
    if grep -qaF "$path" "$file"; then fail "$file holds the build path $path"; fi
  done
}

# --- The archives --------------------------------------------------------------------------------------------------
# The README's user part, between its two marker lines, under the title.
user_readme() {
  local text
  text="$(sed -n '/^<!-- The user.s part of this file runs from here/,/^<!-- end of the user.s part -->/p' README.md |
    sed '1,/-->$/d;$d')"
  [[ -n "$text" ]] || fail "README.md has no user's part between its marker lines"
  printf '# Koralin %s\n\n%s\n' "$version" "$(echo "$text" | sed '/./,$!d')"
}

package_version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null | sed 's/^[0-9]*://; s/[-+~].*//'; }

# The notice, filled with the versions this release was built with, and the licence texts of others.
texts() {
  local dest=$1 ft_year ft_version pair pkg from name
  ft_year="$(sed -n 's/.*Copyright (C) [0-9]*-\([0-9]\{4\}\) by.*/\1/p' "$freetype_source/include/freetype/freetype.h" | head -n 1)"
  ft_version="$(awk '/#define FREETYPE_(MAJOR|MINOR|PATCH) / {printf "%s%s", sep, $3; sep="."}' \
    "$freetype_source/include/freetype/freetype.h")"
  [[ -n "$ft_year" && -n "$ft_version" ]] || fail "could not read FreeType's version and year from $freetype_source"
  user_readme >"$dest/README.md"
  mkdir -p "$dest/docs" "$dest/licenses"
  cp docs/preview.png "$dest/docs/preview.png"
  cp LICENSE "$dest/LICENSE"
  sed -e "s/@VERA_VERSION@/$(package_version ttf-bitstream-vera)/" -e "s/@FREETYPE_VERSION@/$ft_version/" \
    -e "s/@FREETYPE_YEAR@/$ft_year/" -e "s/@MINGW_VERSION@/$(package_version mingw-w64-common)/" \
    packaging/THIRD-PARTY-NOTICES.md >"$dest/THIRD-PARTY-NOTICES.md"
  grep -q '@[A-Z_]*@' "$dest/THIRD-PARTY-NOTICES.md" && fail "a version in the third-party notices is unknown"
  for pair in ttf-bitstream-vera:/usr/share/doc/ttf-bitstream-vera/copyright:Bitstream-Vera \
    libfreetype6:/usr/share/doc/libfreetype6/copyright:FreeType \
    libsndfile1:/usr/share/doc/libsndfile1/copyright:libsndfile \
    base-files:/usr/share/common-licenses/LGPL-2.1:LGPL-2.1 \
    mingw-w64-common:/usr/share/doc/mingw-w64-common/copyright:mingw-w64; do
    IFS=: read -r pkg from name <<<"$pair"
    [[ -f "$from" ]] || fail "$from is missing (Debian package $pkg)"
    cp "$from" "$dest/licenses/$name.txt"
  done
}

# pack LINUX WIN64 WIN32 OUT: stages the stripped binaries and the texts, checks them, writes both archives to OUT.
pack() {
  local linux=$1 win64=$2 win32=$3 dest=$4 stage lin win
  stage="$(mktemp -d)"
  lin="$stage/koralin-$version-linux-x86_64"
  win="$stage/koralin-$version-windows"
  mkdir -p "$lin" "$win/64-bit" "$win/32-bit"
  strip --strip-all -o "$lin/Koralin.so" "$linux/Koralin.so"
  strip --strip-all -o "$lin/Koralin.clap" "$linux/Koralin.clap"
  strip --strip-all -o "$lin/koralin-render" "$linux/koralin-render"
  strip --strip-all -o "$lin/koralin" "$linux/koralin"
  cp "$linux/koralin.desktop" "$linux/koralin.png" "$lin/"
  mkdir -p "$lin/Koralin.lv2"
  cp "$linux/lv2/Koralin.lv2/"*.ttl "$lin/Koralin.lv2/"
  strip --strip-all -o "$lin/Koralin.lv2/Koralin.so" "$linux/lv2/Koralin.lv2/Koralin.so"
  sed "s/@KORALIN_VERSION@/$version/" packaging/install.sh >"$lin/install.sh"
  # strip writes the time of day into a PE header unless given one: zero, as the linker left it.
  SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip --strip-all -o "$win/64-bit/Koralin.dll" "$win64/Koralin.dll"
  SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip --strip-all -o "$win/32-bit/Koralin.dll" "$win32/Koralin.dll"
  SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip --strip-all -o "$win/64-bit/Koralin.clap" "$win64/Koralin.clap"
  SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip --strip-all -o "$win/32-bit/Koralin.clap" "$win32/Koralin.clap"
  texts "$lin"
  texts "$win"

  check_elf "$lin/Koralin.so" "$module_libs" "VSTPluginMain main"
  check_elf "$lin/Koralin.lv2/Koralin.so" "$module_libs" "lv2_descriptor lv2ui_descriptor"
  check_elf "$lin/Koralin.clap" "$module_libs" "clap_entry"
  check_elf "$lin/koralin-render" "$render_libs" - '^libsndfile\.so\.1(\.[0-9]+)*$'
  check_elf "$lin/koralin" "$standalone_libs" - '^ALSA_0\.9(\.0rc4)?$'
  check_dll "$win/64-bit/Koralin.dll" pei-x86-64
  check_dll "$win/32-bit/Koralin.dll" pei-i386
  check_dll "$win/64-bit/Koralin.clap" pei-x86-64 clap_entry
  check_dll "$win/32-bit/Koralin.clap" pei-i386 clap_entry
  for file in "$lin/Koralin.so" "$lin/Koralin.clap" "$lin/koralin-render" "$lin/koralin" "$lin/Koralin.lv2/"* \
    "$win/64-bit/Koralin.dll" "$win/32-bit/Koralin.dll" "$win/64-bit/Koralin.clap" "$win/32-bit/Koralin.clap"; do
    check_paths "$file"
  done

  # Same owner, modes and times whoever packs: sorted names, the commit's time, no extra fields.
  find "$stage" -type d -exec chmod 0755 {} +
  find "$stage" -type f -exec chmod 0644 {} +
  chmod 0755 "$lin/Koralin.so" "$lin/Koralin.clap" "$lin/koralin-render" "$lin/koralin" "$lin/install.sh" \
    "$lin/Koralin.lv2/Koralin.so"
  find "$stage" -exec touch -h -d "@$epoch" {} +
  mkdir -p "$dest"
  rm -f "$dest/$tarball" "$dest/$zipfile"
  LC_ALL=C tar -C "$stage" --sort=name --format=gnu --owner=0 --group=0 --numeric-owner --mtime="@$epoch" \
    -cf - "koralin-$version-linux-x86_64" | gzip -9n >"$dest/$tarball"
  (cd "$stage" && find "koralin-$version-windows" -type f | LC_ALL=C sort | TZ=UTC zip -X -D -9 -q "$dest/$zipfile" -@)
  rm -rf "$stage"
}

# Names the members of two archives of one kind that differ.
explain_difference() {
  local a=$1 b=$2 x y
  x="$(mktemp -d)"
  y="$(mktemp -d)"
  if [[ $a == *.zip ]]; then
    unzip -q "$a" -d "$x"
    unzip -q "$b" -d "$y"
  else
    tar -C "$x" -xzf "$a"
    tar -C "$y" -xzf "$b"
  fi
  diff -rq "$x" "$y" | sed "s|$x/||; s|$y/||" >&2 || true
  rm -rf "$x" "$y"
}

# --- The run -------------------------------------------------------------------------------------------------------
if [[ $reuse == yes ]]; then
  first=(build/release build/win64 build/win32)
else
  first=(build/package/linux build/package/win64 build/package/win32)
  rm -rf build/package
fi
extra_paths=("$root/${first[0]}" "$root/${first[1]}" "$root/${first[2]}")
echo "=== release: building (${first[*]}) ==="
build_set "${first[@]}"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "${first[0]}/CMakeCache.txt")"
[[ "$version" =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "no project version in ${first[0]}/CMakeCache.txt"
tarball="koralin-$version-linux-x86_64.tar.gz"
zipfile="koralin-$version-windows.zip"
echo "=== release $version: checking and packing ==="
pack "${first[@]}" "$out"
(cd "$out" && sha256sum "$tarball" "$zipfile" >SHA256SUMS)
echo "=== release $version in $out ($((SECONDS - started)) s) ==="
(cd "$out" && stat -c '  %s bytes  %n' "$tarball" "$zipfile" SHA256SUMS)

if [[ $check == yes ]]; then
  # Another depth below the tree than the first build: ccache, which hands the compiler paths relative to the build
  # folder, cannot give this build the first one's objects, and with it switched off nothing comes from the cache.
  again_started=$SECONDS
  again=(build/package/again/linux build/package/again/win64)
  rm -rf build/package/again
  extra_paths+=("$root/${again[0]}" "$root/${again[1]}")
  echo "=== reproducibility: building again without ccache (${again[*]}; the 32-bit DLL is the first build's) ==="
  CCACHE_DISABLE=1 build_set "${again[@]}" ""
  second="$(mktemp -d)"
  pack "${again[@]}" "${first[2]}" "$second"
  for archive in "$tarball" "$zipfile"; do
    if ! cmp -s "$out/$archive" "$second/$archive"; then
      explain_difference "$out/$archive" "$second/$archive"
      rm -rf "$second"
      fail "$archive differs between the two builds (the files above differ)"
    fi
  done
  rm -rf "$second" build/package/again
  echo "=== reproducible: a second build in other folders wrote the same bytes ($((SECONDS - again_started)) s) ==="
fi
