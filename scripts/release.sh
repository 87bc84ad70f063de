#!/usr/bin/env bash
# The release. Builds the DLL, the command-line filter for Windows and its Linux package twice each, from
# copies of the sources in two different folders, checks that both builds gave the same bytes, and writes
# into out/release/:
#   RPX_UVDenoise-<version>-win32.zip     the DLL, the two guides and the licence, for viewers
#   RPX_UVDenoise-<version>-setup.exe     the setup program (NSIS), Russian and English
#   uvdenoise-<version>-win32.zip         the command-line filter's Windows build, its guide and the licence
#   uvdenoise_<version>_amd64.deb         the command-line filter for Debian 12 (scripts/make-deb.sh)
#   RPX_UVDenoise.dll.debug               the DLL's debug information (not in the zip)
#   SHA256SUMS                            of every other file here
#
#   bash scripts/release.sh                          the release, as above
#   bash scripts/release.sh --package <tree> <out>   only the Windows packages, from a built win32 tree
#                                                    (the install test uses this)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

# File times in the zip and the setup program: the last commit's, so a rebuild gives the same bytes.
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}"
export SOURCE_DATE_EPOCH="$epoch"

# make_zip <zip> <file> <name in zip> [<file> <name>...]: entries in the order given, fixed times and
# attributes, ASCII names only.
make_zip() {
  python3 - "$@" <<'PY'
import os, sys, time, zipfile
out, pairs = sys.argv[1], sys.argv[2:]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]  # zip times start in 1980
with zipfile.ZipFile(out, "w") as z:
    for path, name in zip(pairs[0::2], pairs[1::2]):
        name.encode("ascii")
        info = zipfile.ZipInfo(name, stamp)
        info.create_system = 0
        info.external_attr = 0x20  # archive bit, as Windows writes it
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as f:
            z.writestr(info, f.read(), compresslevel=9)
PY
}

# make_guide <source> <target> <code page>: a guide from release/ as Notepad reads it: the version
# filled in, CR LF line ends, the given code page.
make_guide() {
  python3 - "$1" "$2" "$3" "$version" <<'PY'
import sys
source, target, codepage, version = sys.argv[1:]
text = open(source, encoding="utf-8").read().replace("@VERSION@", version)
lines = text.rstrip("\n").split("\n")
open(target, "wb").write(("\r\n".join(lines) + "\r\n").encode(codepage))
PY
}

# package <win32 tree> <out>: the zip, the setup program, the sums and the debug file from a built tree.
package() {
  local tree="$1" out="$2" stage
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")
  [ -n "$version" ] || { echo "release: no project version in $tree" >&2; return 1; }
  mkdir -p "$out"
  stage=$(mktemp -d)
  cp "$tree/plugin/RPX_UVDenoise.dll" "$stage/"
  make_guide "$root/release/README-RU.txt" "$stage/README-RU.txt" cp1251
  # UTF-8 with a byte order mark, which Notepad recognises: the English guide quotes the Russian labels.
  make_guide "$root/release/README-EN.txt" "$stage/README-EN.txt" utf-8-sig
  make_guide "$root/release/README-uvdenoise.txt" "$stage/README-uvdenoise.txt" ascii
  make_guide "$root/LICENSE" "$stage/LICENSE.txt" ascii
  python3 "$root/release/make_icon.py" "$stage/RPX_UVDenoise.ico"
  touch -d "@$epoch" "$stage"/*

  make_zip "$out/RPX_UVDenoise-$version-win32.zip" \
    "$stage/RPX_UVDenoise.dll" RPX_UVDenoise.dll \
    "$stage/README-RU.txt" README-RU.txt \
    "$stage/README-EN.txt" README-EN.txt \
    "$stage/LICENSE.txt" LICENSE.txt
  if [ -f "$tree/cli/uvdenoise.exe" ]; then
    cp "$tree/cli/uvdenoise.exe" "$stage/"
    touch -d "@$epoch" "$stage/uvdenoise.exe"
    make_zip "$out/uvdenoise-$version-win32.zip" \
      "$stage/uvdenoise.exe" uvdenoise.exe \
      "$stage/README-uvdenoise.txt" README.txt \
      "$stage/LICENSE.txt" LICENSE.txt
  fi
  makensis -V1 -INPUTCHARSET UTF8 -DVERSION="$version" -DDLL="$stage/RPX_UVDenoise.dll" \
    -DGUIDE_RU="$stage/README-RU.txt" -DGUIDE_EN="$stage/README-EN.txt" \
    -DLICENSE="$stage/LICENSE.txt" -DICON="$stage/RPX_UVDenoise.ico" \
    -DOUTFILE="$out/RPX_UVDenoise-$version-setup.exe" "$root/release/setup.nsi"
  cp "$tree/plugin/RPX_UVDenoise.dll.debug" "$out/"
  # Every file, the debug information too: whoever downloads it can check it.
  (cd "$out" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
    xargs -d '\n' sha256sum >SHA256SUMS)
  rm -rf "$stage"
}

if [ "${1:-}" = "--package" ]; then
  [ $# -eq 3 ] || { echo "usage: release.sh --package <win32 tree> <out>" >&2; exit 2; }
  package "$2" "$3"
  exit 0
fi

bash "$root/scripts/setup.sh"

# Two clean builds: sources copied into folders of different names and depths, so that any path that
# reached the DLL or its debug file would show as a difference. No compiler cache: clean means clean.
work="$root/build/release"
rm -rf "$work"
builds=("$work/a" "$work/second/b")
for dir in "${builds[@]}"; do
  mkdir -p "$dir/src"
  (cd "$root" && git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do [ -f "$file" ] && cp --parents "$file" "$dir/src/"; done; true)
  echo "=== build in $dir"
  env -u CMAKE_CXX_COMPILER_LAUNCHER -u CMAKE_C_COMPILER_LAUNCHER \
    cmake -S "$dir/src" -B "$dir/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DUVD_BENCH=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$dir/src/cmake/i686-mingw.cmake" >"$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log"; exit 1; }
  cmake --build "$dir/build" -j2 --target RPX_UVDenoise uvdenoise >"$dir/build.log" 2>&1 ||
    { cat "$dir/build.log"; exit 1; }
  bash "$dir/src/scripts/make-deb.sh" "$dir/src" "$dir/linux" "$dir/out" >/dev/null
  package "$dir/build" "$dir/out"
done

status=0
for file in build/plugin/RPX_UVDenoise.dll build/plugin/RPX_UVDenoise.dll.debug build/cli/uvdenoise.exe linux/cli/uvdenoise; do
  if cmp -s "${builds[0]}/$file" "${builds[1]}/$file"; then
    echo "identical: $(basename "$file") ($(stat -c %s "${builds[0]}/$file") bytes)"
  else
    echo "DIFFERENT: $(basename "$file")"
    status=1
  fi
done
for file in "${builds[0]}"/out/*; do
  name=$(basename "$file")
  if cmp -s "$file" "${builds[1]}/out/$name"; then echo "identical: $name"; else echo "DIFFERENT: $name"; status=1; fi
done
[ "$status" -eq 0 ] || { echo "release: the two builds differ" >&2; exit 1; }
echo "=== lintian"
lintian --fail-on error,warning "${builds[0]}"/out/*.deb 2>/dev/null || { echo "release: lintian found errors or warnings" >&2; exit 1; }
echo "lintian: no errors, no warnings"

rm -rf "$root/out/release"
mkdir -p "$root/out"
cp -r "${builds[0]}/out" "$root/out/release"
# The page that states the sizes is rewritten from what was built; the tests that build the same files check it.
rel="$root/out/release"
python3 "$root/tools/documented_sizes.py" write "$root/docs/release.md" \
  "RPX_UVDenoise.dll, stripped=$(stat -c %s "${builds[0]}/build/plugin/RPX_UVDenoise.dll")" \
  "the plug-in's zip=$(stat -c %s "$rel/RPX_UVDenoise-$version-win32.zip")" \
  "the setup program=$(stat -c %s "$rel/RPX_UVDenoise-$version-setup.exe")" \
  "uvdenoise.exe=$(stat -c %s "${builds[0]}/build/cli/uvdenoise.exe")" \
  "uvdenoise's zip=$(stat -c %s "$rel/uvdenoise-$version-win32.zip")" \
  "the Debian package=$(stat -c %s "$rel/uvdenoise_${version}_amd64.deb")" \
  "the Debian package installed, KB=$(dpkg-deb -f "$rel/uvdenoise_${version}_amd64.deb" Installed-Size)"
echo "=== out/release (sizes written into docs/release.md)"
ls -l "$rel"
python3 -c 'import sys, zipfile; [print(f"{i.file_size:>9}  {i.filename}") for i in zipfile.ZipFile(sys.argv[1]).infolist()]' \
  "$root/out/release/RPX_UVDenoise-$version-win32.zip"
cat "$root/out/release/SHA256SUMS"
