#!/usr/bin/env bash
# Two files dropped on uvdenoise.exe: Explorer starts it in a console of its own with their full names. Each
# is cleaned into NAME-clean.mkv beside itself, a -clean file already there is kept, and the window waits for
# a key before it closes. Runs in the test command's 64-bit Wine prefix and display.
#   uvdenoise_dropped_files_test.sh <uvdenoise.exe>
set -u
exe=$1
export LC_ALL=C.UTF-8 WINEDEBUG=-all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() {
  echo "FAIL: $*"
  exit 1
}

ffmpeg=(ffmpeg -nostdin -v error -y)
"${ffmpeg[@]}" -itsoffset 0.4 -f lavfi -i testsrc=size=176x144:rate=25:duration=0.4 \
  -f lavfi -i sine=sample_rate=48000:duration=0.8 -map 0:v -map 1:a -c:v mpeg2video -c:a mp2 'Запись 1.ts' &&
  "${ffmpeg[@]}" -f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i sine -t 0.2 -c:v rawvideo -pix_fmt yuyv422 \
    -c:a pcm_s16le two.avi || fail "ffmpeg could not make the inputs"
echo old >two-clean.mkv

folder=$(winepath -w "$work")
wine start /wait /unix "$exe" "$folder\\Запись 1.ts" "$folder\\two.avi" >/dev/null 2>&1 &
run=$!
for _ in $(seq 1200); do
  [ -f 'Запись 1-clean.mkv' ] && [ -f two-clean-2.mkv ] && break
  sleep 0.1
done
sleep 1
# The console window, not the start command (which Wine may let go first), tells whether it still waits.
window=$(xdotool search --name 'uvdenoise\.exe$' | head -n1)
[ -n "$window" ] || fail "the window closed without waiting for a key"
xdotool windowfocus --sync "$window" key Return
wait "$run"
code=$?
[ "$code" -eq 0 ] || fail "exit code $code"

[ "$(cat two-clean.mkv)" = old ] || fail "the existing two-clean.mkv was replaced"
for out in 'Запись 1-clean.mkv' two-clean-2.mkv; do
  streams=$(ffprobe -v error -show_entries stream=codec_type,codec_name -of csv=p=0 "$out" | tr '\n' ' ')
  case "$out" in
    two*) expected="ffv1,video pcm_s16le,audio " ;;
    *) expected="ffv1,video mp2,audio " ;;
  esac
  [ "$streams" = "$expected" ] || fail "$out holds '$streams', not '$expected'"
done
names=$(ls | tr '\n' '|')
[ "$names" = "two-clean-2.mkv|two-clean.mkv|two.avi|Запись 1-clean.mkv|Запись 1.ts|" ] || fail "the folder holds $names"
echo "dropped files cleaned beside themselves"
