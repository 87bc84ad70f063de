#!/usr/bin/env bash
# deb_package_test.sh <source root> <uvdenoise of this tree> <work folder>
# Builds the package with scripts/make-deb.sh in a Release tree of its own (kept between runs, so a
# second run only relinks), unpacks it into a scratch root and runs the packaged program.
set -euo pipefail
root="$1" built="$2" work="$3"
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work/out" "$work/root" "$work/clip"
deb=$(bash "$root/scripts/make-deb.sh" "$root" "$work/tree" "$work/out" | tail -n1)
[ -f "$deb" ] || fail "make-deb.sh made no package"
dpkg-deb -x "$deb" "$work/root"

expected=$'usr/bin/uvdenoise\nusr/share/doc/uvdenoise/changelog.gz\nusr/share/doc/uvdenoise/copyright\nusr/share/man/man1/uvdenoise.1.gz'
files=$(cd "$work/root" && find . -type f -printf '%P\n' | LC_ALL=C sort)
[ "$files" = "$expected" ] || fail "the package holds"$'\n'"$files"
dpkg-deb -f "$deb" Depends | grep -q 'libc6' || fail "Depends was not computed: $(dpkg-deb -f "$deb" Depends)"
gzip -t "$work/root/usr/share/man/man1/uvdenoise.1.gz" || fail "the manual page is not gzipped"

# A small interlaced 4:2:2 clip with noisy chroma, so that the filter has work to do.
mkdir -p "$work/clip"
ffmpeg -v error -f lavfi -i testsrc2=size=176x96:rate=25 -frames:v 4 -vf noise=c1s=60:c2s=60:allf=t \
  -pix_fmt yuv422p -f yuv4mpegpipe "$work/clip/in.y4m" </dev/null || fail "ffmpeg could not make the clip"
for args in "--window 7 --fields" ""; do
  "$work/root/usr/bin/uvdenoise" --quiet $args <"$work/clip/in.y4m" >"$work/clip/packaged.y4m" ||
    fail "the packaged program exited with $? ($args)"
  "$built" --quiet $args <"$work/clip/in.y4m" >"$work/clip/built.y4m" || fail "the tree's program exited with $?"
  cmp -s "$work/clip/in.y4m" "$work/clip/built.y4m" && fail "the clip came through unchanged ($args)"
  cmp "$work/clip/built.y4m" "$work/clip/packaged.y4m" || fail "the packaged program's output differs ($args)"
done
echo "deb package test passed: $(basename "$deb")"
