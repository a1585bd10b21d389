#!/usr/bin/env bash
# The release stage of the test command (its name sorts after windows.sh, whose DLL builds it reuses): makes the
# release with a second build for the reproducibility check, verifies the checksums and what each archive holds,
# then installs the Linux archive into an empty home with nothing but bash and coreutils on the PATH, plays notes
# through the installed plug-in, installs the same version again, refuses an older one over it and a file it did not
# put there, and uninstalls, leaving the home empty.
set -euo pipefail
cd "$(dirname "$0")/../.."
started=$SECONDS
work="$(mktemp -d /tmp/koralin-release.XXXXXX)"
trap 'rm -rf "$work"' EXIT

fail() {
  echo "package stage: FAILED: $*" >&2
  exit 1
}

echo "=== package ==="
check=(--check-reproducible)
if [[ -n "${KORALIN_SKIP_REPRODUCIBILITY:-}" ]]; then
  echo "package stage: the reproducibility check is left out: KORALIN_SKIP_REPRODUCIBILITY is set"
  check=()
fi
bash tools/package.sh --reuse "${check[@]}" --out "$work/dist"
dist="$work/dist"
tarball="$(cd "$dist" && echo koralin-*-linux-x86_64.tar.gz)"
zipfile="$(cd "$dist" && echo koralin-*-windows.zip)"
version="${tarball#koralin-}"
version="${version%-linux-x86_64.tar.gz}"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "the checksums in SHA256SUMS do not match the archives"
[[ "$(cut -d ' ' -f 3 "$dist/SHA256SUMS" | xargs)" == "$tarball $zipfile" ]] || fail "SHA256SUMS does not name both archives"
tar tvzf "$dist/$tarball"
unzip -l "$dist/$zipfile"

# --- What the archives hold ----------------------------------------------------------------------------------------
texts=(LICENSE README.md THIRD-PARTY-NOTICES.md docs/preview.png licenses/Bitstream-Vera.txt licenses/FreeType.txt
  licenses/LGPL-2.1.txt licenses/libsndfile.txt licenses/mingw-w64.txt)
mkdir -p "$work/unpacked"
tar -C "$work/unpacked" -xzf "$dist/$tarball"
unzip -q "$dist/$zipfile" -d "$work/unpacked"
lin="$work/unpacked/koralin-$version-linux-x86_64"
win="$work/unpacked/koralin-$version-windows"
listing() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs); }
expected() { printf '%s\n' "$@" "${texts[@]}" | LC_ALL=C sort | xargs; }
bundle=(Koralin.lv2/Koralin.so Koralin.lv2/Koralin.ttl Koralin.lv2/manifest.ttl Koralin.lv2/presets.ttl)
[[ "$(listing "$lin")" == "$(expected Koralin.so Koralin.clap koralin-render install.sh koralin koralin.desktop koralin.png "${bundle[@]}")" ]] ||
  fail "the Linux archive holds: $(listing "$lin")"
[[ "$(listing "$win")" == "$(expected 64-bit/Koralin.dll 32-bit/Koralin.dll 64-bit/Koralin.clap 32-bit/Koralin.clap)" ]] ||
  fail "the Windows archive holds: $(listing "$win")"
for text in "${texts[@]}"; do
  cmp -s "$lin/$text" "$win/$text" || fail "$text differs between the two archives"
done
for tool in Koralin.so Koralin.clap koralin-render koralin install.sh Koralin.lv2/Koralin.so; do
  [[ -x "$lin/$tool" ]] || fail "$tool is not executable in the Linux archive"
done
# The README is the user's part alone: its title, the download section first, none of the developer's sections.
readme="$lin/README.md"
[[ "$(head -n 1 "$readme")" == "# Koralin $version" ]] || fail "the README's title is '$(head -n 1 "$readme")'"
[[ "$(grep -m 1 '^## ' "$readme")" == "## Download and install" ]] || fail "the README does not open with its download section"
if grep -qE '^## (Building|Tests|Layout)|<!--|tools/test\.sh' "$readme"; then
  fail "the README carries the developer's part: $(grep -nE '^## (Building|Tests|Layout)|<!--|tools/test\.sh' "$readme" | head -n 1)"
fi
grep -qF "Portions of this software are copyright ©" "$lin/THIRD-PARTY-NOTICES.md" || fail "FreeType's credit line is missing"

# --- Install, play, install again, refuse, uninstall ---------------------------------------------------------------
# Nothing but bash and coreutils on the PATH, as on a desktop with nothing else: the installer must need no more.
tools="$work/bin"
mkdir -p "$tools"
if dpkg -L coreutils >/dev/null 2>&1; then
  while IFS= read -r program; do
    [[ -f "$program" && -x "$program" ]] && ln -sf "$program" "$tools/$(basename "$program")"
  done < <(dpkg -L coreutils | grep -E '^(/usr)?/bin/')
  ln -sf "$(command -v bash)" "$tools/bash"
else
  echo "package stage: dpkg does not list coreutils here: the installer runs with the whole PATH"
  tools="$PATH"
fi
home="$work/home"
mkdir -p "$home"
manifest="$home/.local/share/Quillmarsh/Koralin.installed"
installer() { env -i HOME="$home" PATH="$tools" bash "$@"; }

run_installer() {  # run_installer LOG ARGS...: the installer from the unpacked archive; its status
  local log=$1 status=0
  shift
  installer "$@" >"$log" 2>&1 || status=$?
  return $status
}

echo "=== installing into an empty home ==="
run_installer "$work/install.log" "$lin/install.sh" || { cat "$work/install.log"; fail "install.sh failed"; }
cat "$work/install.log"
cmp -s "$lin/Koralin.so" "$home/.vst/Koralin.so" || fail "$home/.vst/Koralin.so is not the archive's Koralin.so"
grep -qF "$home/.vst/Koralin.so" "$work/install.log" || fail "install.sh did not say where it put Koralin.so"
cmp -s "$lin/Koralin.clap" "$home/.clap/Koralin.clap" || fail "$home/.clap/Koralin.clap is not the archive's Koralin.clap"
diff -r "$lin/Koralin.lv2" "$home/.lv2/Koralin.lv2" >/dev/null || fail "$home/.lv2/Koralin.lv2 is not the archive's bundle"
grep -qF "$home/.lv2/Koralin.lv2" "$work/install.log" || fail "install.sh did not say where it put Koralin.lv2"
# lilv finds the installed bundle where hosts look, with its editor and its eight presets.
if command -v lv2info >/dev/null; then
  info="$(LV2_PATH="$home/.lv2" lv2info https://quillmarsh.example/koralin/lv2 2>&1)" ||
    fail "lilv does not find Koralin.lv2 in $home/.lv2: $info"
  [[ "$info" == *"#X11UI"* && $(echo "$info" | sed -n '/Presets:/,/Port 0:/p' | grep -vE 'Presets:|Port 0:' | grep -c '[A-Za-z]') -eq 8 ]] ||
    fail "lv2info shows no editor or not eight presets for the installed bundle: $info"
  echo "  lilv finds the installed Koralin.lv2 in $home/.lv2 with its X11 editor and eight presets"
else
  echo "  the installed bundle is not loaded through lilv: lv2info (Debian's lilv-utils) is missing"
fi
[[ -f "$manifest" ]] || fail "install.sh wrote no record at $manifest"
for placed in .local/bin/koralin .local/share/applications/koralin.desktop \
  .local/share/icons/hicolor/128x128/apps/koralin.png; do
  cmp -s "$lin/$(basename "$placed")" "$home/$placed" || fail "$home/$placed is not the archive's $(basename "$placed")"
done
"$home/.local/bin/koralin" --help | grep -q -- '--no-connect' || fail "the installed koralin does not answer --help"
# The installed CLAP plug-in as a real host's scanner reads it (where the Qtractor stage installed Qtractor).
scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
if [[ -x "$scanner" ]]; then
  scanned="$(echo "CLAP:$home/.clap/Koralin.clap" | QT_QPA_PLATFORM=offscreen timeout 60 "$scanner" 2>/dev/null |
    grep '^CLAP|' | cut -d '|' -f 1-5 || true)"
  [[ "$scanned" == "CLAP|Koralin|0:2|1:0|7:0" ]] || fail "Qtractor's scanner lists the installed Koralin.clap as '$scanned'"
  echo "  Qtractor's scanner lists the installed Koralin.clap: $scanned"
else
  echo "  the installed Koralin.clap is not scanned: Qtractor's scanner is not installed"
fi

# The installed plug-in, loaded by the archive's renderer, plays a note; through the test host it plays the probe's
# bassline sample for sample as the module the suites tested.
printf 'MThd\0\0\0\6\0\0\0\1\0\140MTrk\0\0\0\14\0\220\55\144\140\200\55\0\0\377\57\0' >"$work/note.mid"
summary="$("$lin/koralin-render" --plugin "$home/.vst/Koralin.so" "$work/note.mid" "$work/note.wav" 2>&1)" ||
  fail "koralin-render could not play the installed plug-in: $summary"
echo "  $summary"
[[ "$summary" != *"not numbers"* ]] || fail "the installed plug-in played samples that are not numbers"
peak="$(echo "$summary" | sed -n 's/.*peak \(-*[0-9.]*\) dBFS.*/\1/p')"
if [[ -z "$peak" ]] || ! awk -v p="$peak" 'BEGIN {exit !(p > -40 && p < 6)}'; then
  fail "the installed plug-in's note peaks at '${peak:-nothing}' dBFS, not between -40 and +6"
fi
cmake --build --preset release --target koralin_probe >/dev/null
build/release/koralin_probe render build/release/Koralin.so "$work/tested.raw" >/dev/null
build/release/koralin_probe render "$home/.vst/Koralin.so" "$work/installed.raw" >/dev/null
echo -n "  the tested module against the installed one: "
build/release/koralin_probe compare "$work/tested.raw" "$work/installed.raw" -1000 ||
  fail "the installed plug-in does not play as the tested build"

echo "=== installing the same version again ==="
cp "$manifest" "$work/record"
run_installer "$work/again.log" "$lin/install.sh" || { cat "$work/again.log"; fail "a second install of $version failed"; }
[[ "$(sort "$manifest")" == "$(sort "$work/record")" ]] ||
  fail "a second install of the same version changed the record: $(cat "$manifest")"
cmp -s "$lin/Koralin.so" "$home/.vst/Koralin.so" || fail "a second install left another Koralin.so"
diff -r "$lin/Koralin.lv2" "$home/.lv2/Koralin.lv2" >/dev/null || fail "a second install left another Koralin.lv2"
echo "  $(head -n 1 "$work/again.log")"
cp "$manifest" "$work/record.again"

echo "=== an older version over it ==="
older="$work/older"
cp -a "$lin" "$older"
sed -i 's/^version=".*"$/version="0.0.1"/' "$older/install.sh"
grep -q '^version="0.0.1"$' "$older/install.sh" || fail "could not make an older installer from install.sh"
if run_installer "$work/older.log" "$older/install.sh"; then
  cat "$work/older.log"
  fail "the installer of 0.0.1 went over $version"
fi
grep -q "newer" "$work/older.log" || fail "the refusal does not say why: $(cat "$work/older.log")"
cmp -s "$manifest" "$work/record.again" || fail "the refused install changed the record"
echo "  $(tail -n 1 "$work/older.log")"
run_installer "$work/forced.log" "$older/install.sh" --force || { cat "$work/forced.log"; fail "--force did not install 0.0.1"; }
grep -q $'^version\t0.0.1$' "$manifest" || fail "the forced install did not record 0.0.1"
run_installer "$work/newer.log" "$lin/install.sh" || { cat "$work/newer.log"; fail "$version did not replace 0.0.1"; }
grep -q $'^version\t'"$version"'$' "$manifest" || fail "$version over 0.0.1 did not record $version"

echo "=== uninstalling ==="
run_installer "$work/uninstall.log" "$lin/install.sh" --uninstall || { cat "$work/uninstall.log"; fail "--uninstall failed"; }
cat "$work/uninstall.log"
left="$(find "$home" -mindepth 1 | head -n 20)"
[[ -z "$left" ]] || fail "the uninstall left: $left"

# A Koralin.so that the installer did not put there stays as it is.
mkdir -p "$home/.vst"
echo "a plug-in copied by hand" >"$home/.vst/Koralin.so"
if run_installer "$work/foreign.log" "$lin/install.sh"; then fail "the installer replaced a Koralin.so it had not installed"; fi
[[ "$(cat "$home/.vst/Koralin.so")" == "a plug-in copied by hand" ]] || fail "the refused install changed that Koralin.so"
echo "  $(tail -n 1 "$work/foreign.log")"

echo "Package stage took $((SECONDS - started)) s."
