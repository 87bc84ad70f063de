#!/usr/bin/env bash
# deb_package_test.sh <source root> <uvdenoise of this tree> <work folder>
# Builds the package with scripts/make-deb.sh in a Release tree of its own (kept between runs, so a
# second run only relinks), unpacks it into a scratch root and runs the packaged program.
set -euo pipefail
root="$1" built="$2" work="$3"
fail() { echo "FAIL: $*" >&2; exit 1; }

# Both builds of the package take their file times from the sources' last commit; the copy below has no git.
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"
rm -rf "$work/out" "$work/root" "$work/clip"
deb=$(bash "$root/scripts/make-deb.sh" "$root" "$work/tree" "$work/out" | tail -n1)
[ -f "$deb" ] || fail "make-deb.sh made no package"
dpkg-deb -x "$deb" "$work/root"

expected=$'usr/bin/uvdenoise\nusr/share/doc/uvdenoise/changelog.gz\nusr/share/doc/uvdenoise/copyright\nusr/share/man/man1/uvdenoise.1.gz'
files=$(cd "$work/root" && find . -type f -printf '%P\n' | LC_ALL=C sort)
[ "$files" = "$expected" ] || fail "the package holds"$'\n'"$files"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libavformat libavcodec libavutil libswscale; do
  grep -q "$library" <<<"$depends" || fail "Depends was not computed ($library missing): $depends"
done
gzip -t "$work/root/usr/share/man/man1/uvdenoise.1.gz" || fail "the manual page is not gzipped"
readelf -S "$work/root/usr/bin/uvdenoise" | grep -q '\.symtab' && fail "the packaged program is not stripped"
# Built again from a copy of the sources in a folder of another name and depth, into another tree, the
# package has the same bytes: no build path reaches it (gzip -n keeps no time or name either). The copy
# keeps the files' times, so the kept tree rebuilds only what changed.
copy="$work/elsewhere/deeper/src"
rm -rf "$copy" "$work/out2"
mkdir -p "$copy"
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do [ -f "$file" ] && printf '%s\0' "$file"; done; true) |
  tar -C "$root" --null -T - -cf - | tar -C "$copy" -xf -
deb2=$(bash "$copy/scripts/make-deb.sh" "$copy" "$work/elsewhere/tree" "$work/out2" | tail -n1)
cmp -s "$deb" "$deb2" || fail "the package built in another folder differs"
python3 "$root/tools/documented_sizes.py" check "$root/docs/release.md" \
  "the Debian package installed, KB=$(dpkg-deb -f "$deb" Installed-Size)" || fail "docs/release.md's sizes"

# The copyright file in Debian's machine-readable format: every file under the MIT licence, whose text is
# the one in LICENSE; the program names the licence too.
python3 - "$work/root/usr/share/doc/uvdenoise/copyright" "$root/LICENSE" <<'PY' || fail "the copyright file"
import re, sys
text = open(sys.argv[1]).read()
assert text.startswith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"), "no Format"
paragraphs = [dict(re.findall(r"^([A-Za-z-]+): ?(.*(?:\n .*)*)", p, re.M)) for p in text.split("\n\n")]
assert paragraphs[0].get("Upstream-Name") == "RPX_UVDenoise", paragraphs[0]
files = [p for p in paragraphs if p.get("Files") == "*"]
assert len(files) == 1 and files[0]["Copyright"] == "2026 RPX_UVDenoise developers", files
name = files[0]["License"]
body = [p["License"] for p in paragraphs if "Files" not in p and p.get("License", "").startswith(name + "\n")]
assert len(body) == 1, "no stand-alone licence paragraph for " + name
lines = [line[1:] for line in body[0].split("\n")[1:]]
stated = "\n".join("" if line == "." else line for line in lines)
licence = open(sys.argv[2]).read()
assert stated.strip() in licence and licence.index(stated.strip()) > 0, "the licence text differs from LICENSE"
assert len(stated.split()) > 150, "the licence text is cut short"
PY
"$work/root/usr/bin/uvdenoise" --version | grep -q 'MIT licence' || fail "uvdenoise --version names no licence"

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
# A recording with its sound, in one command, as the README shows it.
ffmpeg -v error -f lavfi -i testsrc2=size=176x96:rate=25 -f lavfi -i sine -t 0.2 -c:v mpeg2video -c:a mp2 \
  "$work/clip/in.ts" </dev/null || fail "ffmpeg could not make the capture"
"$work/root/usr/bin/uvdenoise" --quiet "$work/clip/in.ts" "$work/clip/clean.mkv" ||
  fail "the packaged program exited with $? on a capture"
streams=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$work/clip/clean.mkv" | tr '\n' ' ')
[ "$streams" = "ffv1 mp2 " ] || fail "the cleaned capture holds $streams"
echo "deb package test passed: $(basename "$deb")"
