#!/usr/bin/env bash
# The before/after pictures of uvdenoise for the README: the main job's photo-based clip with its seeded
# chroma sparkles, as a 4:2:2 Y4M through uvdenoise --window 7 and through its repair mode (--window 7
# --threshold 18), frame 5 input left and output right. Writes docs/uvdenoise/before-after.png and
# docs/uvdenoise/repair-before-after.png.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
native="$root/build/bench-native"
work=$(mktemp -d /tmp/uvdenoise-picture.XXXXXX)
trap 'rm -rf "$work"' EXIT

cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" -j2 --target uvdenoise >/dev/null

# Debian's python3 is the one that sees python3-skimage and python3-numpy.
py=/usr/bin/python3
[ -x "$py" ] || py=python3
"$py" "$root/tools/make_clip.py" --out "$work" --frames 8
raw="-f rawvideo -pix_fmt yuyv422 -s 720x576"
ffmpeg -nostdin -v error $raw -i "$work/noisy.yuy2" -pix_fmt yuv422p -f yuv4mpegpipe "$work/noisy.y4m"
mkdir -p "$root/docs/uvdenoise"
for run in "before-after:--window 7" "repair-before-after:--window 7 --threshold 18"; do
  name=${run%%:*}
  # shellcheck disable=SC2086
  "$native/cli/uvdenoise" --quiet ${run#*:} "$work/noisy.y4m" |
    ffmpeg -nostdin -v error -y -f yuv4mpegpipe -i - $raw "$work/$name.yuy2"
  "$py" "$root/tools/pictures.py" --format yuy2 --size 720x576 --input "$work/noisy.yuy2" \
    --output "$work/$name.yuy2" --frames 5 --out-dir "$work/pictures" --prefix "$name"
  cp "$work/pictures/$name-"*-crop.png "$root/docs/uvdenoise/$name.png"
  ls -l "$root/docs/uvdenoise/$name.png"
done
