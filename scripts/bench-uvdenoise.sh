#!/usr/bin/env bash
# Frames per second of uvdenoise in a pipe against the pipe alone, for 4:2:2 clips made by ffmpeg:
#   cat clip.y4m | uvdenoise --quiet > /dev/null     against     cat clip.y4m | cat > /dev/null
# uvdenoise asks for pipes that hold a frame (up to 1 MB) instead of the kernel's 64 KB, so that the writer
# before it runs ahead while it filters; the pipe alone gets the same 1 MB (perl sets it, then runs cat), or
# the comparison would measure the pipe's size instead of the filter.
# Then the repair mode (--window 7 --threshold T) on clips with sparkles as tools/make_clip.py makes them
# (0.3 % of chroma samples hit, clean luma), against --window 7 and the pipe alone on the same clips.
# Then a whole recording: a 60 s 720x576 interlaced MPEG-2 capture with sound to FFV1 Matroska, in one
# command against the three-process pipe with the same encoder settings, wall time as a ratio (--files: only
# this part; --seconds S: another length). --wine64 EXE adds the 64-bit Windows program (the win64 tree's
# uvdenoise.exe) under 64-bit Wine on the same capture, in the prefix build/win64/wineprefix.
# Each figure is the median of --runs runs (default 5; the recording once); the clips live in memory
# (/dev/shm when there).
#   scripts/bench-uvdenoise.sh [--runs N] [--windows "3 7 15"] [--threshold T] [--threads N] [--files]
#                              [--wine64 EXE]
# Then the plane kernels' own times, and 8-bit against 10-bit samples per sample. The machine's load is printed
# too: other work on the machine lowers every figure.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
native="$root/build/bench-native"
runs=5
windows="3 7 15"
threshold=18
threads=""
files_only=""
seconds=60
wine64_exe=""
while [ $# -gt 0 ]; do
  case "$1" in
    --files) files_only=1; shift ;;
    --seconds) seconds="$2"; shift 2 ;;
    --wine64) wine64_exe="$(realpath "$2")"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --windows) windows="$2"; shift 2 ;;
    --threshold) threshold="$2"; shift 2 ;;
    --threads) threads="--threads $2"; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done

cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" -j2 --target uvdenoise chroma_median_plane_timing plane_depth_timing >/dev/null
uvdenoise="$native/cli/uvdenoise"
# 1031 is Linux's F_SETPIPE_SZ.
wide_cat="perl -e 'fcntl(STDIN, 1031, 1 << 20) or die \$!; exec \"cat\"'"

scratch_root=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch_root=/dev/shm
clips=$(mktemp -d "$scratch_root/uvdenoise-bench.XXXXXX")
trap 'rm -rf "$clips"' EXIT

# Seconds of one pipeline, read back from bash's own clock.
seconds_of() {
  local start end
  start=$EPOCHREALTIME
  bash -c "$1"
  end=$EPOCHREALTIME
  echo "$start $end" | awk '{ printf "%.6f\n", $2 - $1 }'
}

median_seconds() {
  local i
  for i in $(seq "$runs"); do seconds_of "$1"; done | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores, default threads: $(nproc)"
grep -m1 '^model name' /proc/cpuinfo || true
echo

# A whole recording: the one command against the pipe, the same filter and FFV1 settings on both sides.
recording() {
  local capture="$clips/capture.ts" offset one pipe
  ffmpeg -nostdin -v error -y -itsoffset 0.4 -f lavfi -i "testsrc2=size=720x576:rate=25:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" -map 0:v -map 1:a \
    -vf noise=c1s=30:c2s=30:allf=t -c:v mpeg2video -b:v 8M -pix_fmt yuv420p -flags +ilme+ildct -top 1 \
    -c:a mp2 -f mpegts "$capture"
  offset=$(ffprobe -v error -select_streams v:0 -show_entries stream=start_time -of csv=p=0 "$capture" | sed -n 1p |
    tr -d , | awk -v s="$(ffprobe -v error -show_entries format=start_time -of csv=p=0 "$capture")" '{ printf "%.6f", $1 - s }')
  one=$(seconds_of "'$uvdenoise' --quiet -y --window 7 --threshold $threshold $threads '$capture' '$clips/one.mkv'")
  pipe=$(seconds_of "ffmpeg -nostdin -v error -i '$capture' -f yuv4mpegpipe - |
    '$uvdenoise' --quiet --fields --window 7 --threshold $threshold $threads |
    ffmpeg -v error -y -itsoffset $offset -i - -i '$capture' -map 0:v -map '1:a?' -c:a copy -c:v ffv1 -level 3 -g 1 \
      -slices 16 -slicecrc 1 -context 1 '$clips/pipe.mkv'")
  local ways="one pipe" windows=""
  if [ -n "$wine64_exe" ]; then
    # shellcheck source=wine-env.sh
    source "$root/scripts/wine-env.sh"
    UVD_WINEARCH=win64 uvd_wine_up "$root/build/win64/wineprefix"
    windows=$(seconds_of "cd '$clips' && WINEARCH=win64 wine '$wine64_exe' --quiet -y --window 7 --threshold $threshold \
      $threads capture.ts windows.mkv")
    uvd_wine_down
    ways="one windows pipe"
  fi
  echo "A ${seconds} s 720x576 interlaced MPEG-2 capture with MP2 sound to FFV1 Matroska ($(du -h "$capture" | cut -f1) in):"
  echo
  echo "| way | seconds | output | picture after sound |"
  echo "|---|---|---|---|"
  for way in $ways; do
    local file="$clips/$way.mkv" t starts name
    case "$way" in
      one) t=$one name="uvdenoise IN OUT" ;;
      windows) t=$windows name="uvdenoise.exe IN OUT (64-bit Wine)" ;;
      pipe) t=$pipe name="ffmpeg \\| uvdenoise \\| ffmpeg" ;;
    esac
    starts=$(ffprobe -v error -show_entries stream=start_time -of csv=p=0 "$file" | paste -sd' ')
    echo "| $name | $t | $(du -h "$file" | cut -f1) | $(awk '{ printf "%.3f s", $1 - $2 }' <<<"$starts") |"
  done
  echo
  awk -v o="$one" -v p="$pipe" 'BEGIN { printf "one command / pipe, wall time: %.2f\n", o / p }'
  [ -z "$windows" ] ||
    awk -v w="$windows" -v o="$one" 'BEGIN { printf "Windows program under Wine / Linux program, wall time: %.2f\n", w / o }'
  echo "source: picture $offset s after sound"
  rm -f "$capture" "$clips/one.mkv" "$clips/pipe.mkv" "$clips/windows.mkv"
}
if [ -n "$files_only" ]; then
  recording
  exit 0
fi

echo "Plane kernels, microseconds per hot plane (median of 9 interleaved rounds):"
"$native/bench/filter_plane/chroma_median_plane_timing"
echo
"$native/bench/filter_plane/plane_depth_timing"
echo
echo "| clip | frames | window | pipe alone fps | uvdenoise fps | share of the pipe's rate |"
echo "|---|---|---|---|---|---|"
for size in 720x576:200 1920x1080:60; do
  dims=${size%:*}
  frames=${size#*:}
  clip="$clips/$dims.y4m"
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=$dims:rate=25" -frames "$frames" -pix_fmt yuv422p \
    -vf noise=alls=20:allf=t -f yuv4mpegpipe "$clip"
  floor=$(median_seconds "cat '$clip' | $wide_cat > /dev/null")
  for window in $windows; do
    t=$(median_seconds "cat '$clip' | '$uvdenoise' --quiet --window $window $threads > /dev/null")
    awk -v d="$dims" -v n="$frames" -v w="$window" -v f="$floor" -v t="$t" \
      'BEGIN { printf "| %s | %d | %d | %.0f | %.0f | %.2f |\n", d, n, w, n / f, n / t, f / t }'
  done
done

# Debian's python3 is the one that sees python3-skimage and python3-numpy.
py=/usr/bin/python3
[ -x "$py" ] || py=python3
echo
echo "Repair mode on clips with sparkles (tools/make_clip.py, 0.3 % of chroma samples hit):"
echo
echo "| clip | frames | settings | pipe alone fps | uvdenoise fps | share of the pipe's rate |"
echo "|---|---|---|---|---|---|"
for size in 720x576:200 1920x1080:60; do
  dims=${size%:*}
  frames=${size#*:}
  PYTHONDONTWRITEBYTECODE=1 "$py" "$root/tools/make_clip.py" --out "$clips/sparkles" --size "$dims" --frames "$frames" >/dev/null
  clip="$clips/sparkles-$dims.y4m"
  ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt yuyv422 -s "$dims" -i "$clips/sparkles/noisy.yuy2" -pix_fmt yuv422p \
    -f yuv4mpegpipe "$clip"
  rm -rf "$clips/sparkles"
  floor=$(median_seconds "cat '$clip' | $wide_cat > /dev/null")
  for settings in "--window 7" "--window 7 --threshold $threshold"; do
    t=$(median_seconds "cat '$clip' | '$uvdenoise' --quiet $settings $threads > /dev/null")
    awk -v d="$dims" -v n="$frames" -v w="$settings" -v f="$floor" -v t="$t" \
      'BEGIN { printf "| %s | %d | %s | %.0f | %.0f | %.2f |\n", d, n, w, n / f, n / t, f / t }'
  done
  rm -f "$clip"
done
echo
recording
