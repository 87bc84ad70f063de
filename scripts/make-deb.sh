#!/usr/bin/env bash
# The Debian package of the command-line filter, built with Debian's own tools:
#   bash scripts/make-deb.sh <source root> <build tree> <out>
# configures <build tree> from <source root> (Release, Debian's hardening flags, no -march: the AVX2
# kernels are chosen at run time), builds only uvdenoise, and writes <out>/uvdenoise_<version>_amd64.deb
# holding the stripped program, its gzipped manual page, the copyright file and the changelog. File times
# and the changelog's date come from SOURCE_DATE_EPOCH (default: the last commit's time), so two builds
# from the same sources give the same bytes.
set -euo pipefail

[ $# -eq 3 ] || { echo "usage: make-deb.sh <source root> <build tree> <out>" >&2; exit 2; }
src=$(cd "$1" && pwd)
mkdir -p "$2" "$3"
tree=$(cd "$2" && pwd)
out=$(cd "$3" && pwd)
debian="$src/release/debian"

epoch="${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct 2>/dev/null || echo 315532800)}"
export SOURCE_DATE_EPOCH="$epoch"

# Debian's flags (stack protector, fortified calls, read-only relocations), with the source and build
# folders mapped to fixed names: the build id hashes the debug information, paths included, and survives
# stripping.
# dpkg-buildflags maps the folder it runs in, which is neither of those: its map is left out.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
CFLAGS=$(sed 's/-ffile-prefix-map=[^ ]*//' <<<"$CFLAGS")
CXXFLAGS=$(sed 's/-ffile-prefix-map=[^ ]*//' <<<"$CXXFLAGS")
map="-ffile-prefix-map=$src=src -ffile-prefix-map=$tree=build"
# Given on the command line, not through the environment, which CMake reads only into a new tree.
env -u CMAKE_CXX_COMPILER_LAUNCHER -u CMAKE_C_COMPILER_LAUNCHER \
  cmake -S "$src" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DUVD_BENCH=OFF \
  -DCMAKE_C_FLAGS="$CFLAGS $CPPFLAGS $map" -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS $map" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >"$tree.configure.log" 2>&1 ||
  { cat "$tree.configure.log"; exit 1; }
cmake --build "$tree" --target uvdenoise -j"${UVD_JOBS:-2}" >"$tree.build.log" 2>&1 ||
  { cat "$tree.build.log"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/debian/uvdenoise"  # where dpkg-shlibdeps expects the package's files
cmake --install "$tree" --prefix "$root/usr" >/dev/null
# As Debian's own packages strip their programs: symbols and the compiler's comment gone, the build id kept.
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/usr/bin/uvdenoise"
gzip -9n "$root/usr/share/man/man1/uvdenoise.1"
doc="$root/usr/share/doc/uvdenoise"
mkdir -p "$doc"
cp "$debian/copyright" "$doc/copyright"

# dpkg-shlibdeps and dpkg-gencontrol read debian/control and debian/changelog.
cp "$debian/control" "$work/debian/control"
sed -e "s/@VERSION@/$version/g" -e "s/@DATE@/$(date -u -R -d "@$epoch")/" "$debian/changelog.in" >"$work/debian/changelog"
gzip -9n <"$work/debian/changelog" >"$doc/changelog.gz"
(cd "$work" &&
  mkdir -p debian/uvdenoise/DEBIAN &&
  dpkg-shlibdeps -Tdebian/substvars debian/uvdenoise/usr/bin/uvdenoise &&
  dpkg-gencontrol -puvdenoise -Pdebian/uvdenoise -Tdebian/substvars -fdebian/files)

find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
chmod 0755 "$root/usr/bin/uvdenoise"
(cd "$root" && find usr -type f | LC_ALL=C sort | xargs md5sum >DEBIAN/md5sums)
find "$root" -exec touch -h -d "@$epoch" {} +
deb="$out/uvdenoise_${version}_$(dpkg --print-architecture).deb"
dpkg-deb --build --root-owner-group -Zxz "$root" "$deb" >/dev/null
echo "$deb"
