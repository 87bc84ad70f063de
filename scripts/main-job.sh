#!/usr/bin/env bash
# The main job: the plug-in removing chroma sparkles from a real clip, played through the real DLL by the
# test host under Wine, with figures and before/after pictures in out/main-job/.
#
#   scripts/main-job.sh                      the built-in clip: photographs with seeded chroma sparkles,
#                                            played as a YUY2 and as an RGB24 stream, then as four
#                                            channels of their own settings, measured against the clean clip
#   scripts/main-job.sh --input CLIP.y4m     a clip of your own from ffmpeg (8-bit C420jpeg, C420paldv,
#                                            C420mpeg2, C420, C422, C444 or Cmono), played as YUY2
#   scripts/main-job.sh --input CLIP.raw --format yuyv422|bgr24 --size WxH
#
#   --windows "5 7 15"   the window sizes (MedianWndSize) to run, one run per size and stream format
#   --frames N           at most N frames of your own clip (default 100)
# Every run starts afresh: out/main-job/ is emptied first. A YUY2 clip also goes, as 4:2:2 Y4M, through
# uvdenoise (native, Release): --window 7, and its repair mode at the recommended --threshold; then, as an
# interlaced MPEG-TS capture with its sound starting before the picture, through uvdenoise in one command.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
windows="5 7 15"
input=""
raw_format=""
size=""
max_frames=100
# The repair mode's recommended threshold (README, "Cleaning recordings").
recording_threshold=18

while [ $# -gt 0 ]; do
  case "$1" in
    --input) input=$(realpath "$2"); shift 2 ;;
    --format) raw_format="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --windows) windows="$2"; shift 2 ;;
    --frames) max_frames="$2"; shift 2 ;;
    -h|--help) sed -n '2,/^set /{/^#/p}' "$0"; exit 0 ;;
    *) echo "main-job: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done
if [ -n "$input" ] && [ ! -f "$input" ]; then
  echo "main-job: no clip at $input" >&2
  exit 2
fi
for w in $windows; do
  if ! [[ "$w" =~ ^[0-9]+$ ]] || [ "$w" -lt 1 ] || [ "$w" -gt 30 ]; then
    echo "main-job: window sizes are 1 to 30, not '$w'" >&2
    exit 2
  fi
done

started=$SECONDS
bash "$root/scripts/setup.sh"
# Debian's python3 is the one that sees python3-skimage and python3-numpy.
py=/usr/bin/python3
[ -x "$py" ] || py=python3
# The tools run from the source tree, which stays free of bytecode caches.
export PYTHONDONTWRITEBYTECODE=1
mkdir -p "$root/build"

# The measuring tools check themselves first: figures from a faulty ruler would mislead.
if ! "$py" -m unittest discover -s "$root/tools/tests" -t "$root/tools" >"$root/build/main-job-tools-test.log" 2>&1; then
  cat "$root/build/main-job-tools-test.log" >&2
  exit 1
fi

echo "=== building the plug-in and the test host (build/win32)"
build="$root/build/win32"
log="$root/build/main-job-build.log"
if [ ! -f "$build/build.ninja" ] && ! cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
     -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-mingw.cmake" >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  exit 1
fi
if ! cmake --build "$build" -j2 --target kestrova_host RPX_UVDenoise >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  exit 1
fi

out="$root/out/main-job"
rm -rf "$out"
mkdir -p "$out/clip" "$out/runs" "$out/pictures" "$out/kestrova/Plugins"
# A host installation of its own: the executable, the plug-in beside it, its settings in Plugins\.
cp "$build/host/kestrova_host.exe" "$build/host/RPX_UVDenoise.dll" "$out/kestrova/"

echo "=== the clip"
if [ -z "$input" ]; then
  "$py" "$root/tools/make_clip.py" --out "$out/clip"
  formats="yuy2 rgb24"
else
  import_args=(--input "$input" --out "$out/clip" --frames "$max_frames")
  [ -n "$raw_format" ] && import_args+=(--format "$raw_format" --size "$size")
  "$py" "$root/tools/import_clip.py" "${import_args[@]}"
  formats=$("$py" -c 'import json,sys; print(json.load(open(sys.argv[1]))["format"])' "$out/clip/clip.json")
fi
read -r width height frames < <("$py" -c \
  'import json,sys; c=json.load(open(sys.argv[1])); print(c["width"], c["height"], c["frames"])' "$out/clip/clip.json")

stream_in() {  # stream_in <format>: the file the host plays
  if [ -z "$input" ]; then echo "clip/noisy.$1"; else echo "clip/input.$1"; fi
}

echo "=== runs through the DLL in the test host under Wine"
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
trap uvd_wine_down EXIT
# Run every step of the start-up: its wineserver -p30 fails while the server that created a new prefix
# is still up, which is harmless; a real failure shows in the host's log below.
uvd_wine_up "$root/build/main-job-wineprefix" || true
settings="$out/kestrova/Plugins/RPX_UVDenoise.ini"
cd "$out"

play() {  # play <format> <run name> [host options...]: one run, its log and the settings file it left
  local f="$1" run="runs/$2"
  shift 2
  wine kestrova/kestrova_host.exe --format "$f" --size "${width}x${height}" \
    --in "$(stream_in "$f")" --out "$run.$f" "$@" >"$run.log" 2>&1 </dev/null || {
    echo "main-job: the test host failed:" >&2; cat "$run.log" >&2; exit 1; }
  cp "$settings" "$run.ini"
}

section_values() {  # section_values <name>: the two values of a section of the settings file, one line
  tr -d '\r' <"$settings" | sed -n "/^\[$1\]\$/,/^\[/p" | grep -E '^(MedianWndSize|ProcEnable)=' | tr '\n' ' '
}

kept_or_not() {  # kept_or_not <expected> <actual>
  if [ "$1" = "$2" ]; then echo kept; else echo "NOT KEPT: ${2:-section missing}"; fi
}

for w in $windows; do
  for f in $formats; do
    # Filtering turned on as a user does it: all channels share the COMMON record.
    printf '[SETTINGS]\r\nCommon=1\r\n[COMMON]\r\nMedianWndSize=%s\r\nProcEnable=1\r\n' "$w" >"$settings"
    play "$f" "$f-w$w"
    # The plug-in rewrites its settings file at shutdown; the user's choice must survive it.
    kept=$(kept_or_not "MedianWndSize=$w ProcEnable=1 " "$(section_values COMMON)")
    echo "$f, window $w: $(tr -d '\r' <"runs/$f-w$w.log" | tail -n 1); settings file after shutdown: $kept"
  done
done

# Individual settings per channel: each shot of the built-in clip is a channel of its own.
channel_windows="7 15 0 5"
if [ -z "$input" ]; then
  {
    printf '[SETTINGS]\r\nCommon=0\r\n[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n'
    id=1
    for w in $channel_windows; do
      printf '[%s]\r\nMedianWndSize=%s\r\nProcEnable=%s\r\n' "$id" "$((w > 0 ? w : 7))" "$((w > 0))"
      id=$((id + 1))
    done
  } >"$settings"
  shot=$("$py" -c 'import json,sys; s=json.load(open(sys.argv[1]))["shots"][0]; print(s["last"]-s["first"]+1)' clip/clip.json)
  play yuy2 yuy2-channels --channels "1:Astronaut,2:Coffee,3:Chelsea,4:Motorcycle" --switch-every "$shot"
  kept=kept
  id=1
  for w in $channel_windows; do
    result=$(kept_or_not "MedianWndSize=$((w > 0 ? w : 7)) ProcEnable=$((w > 0)) " "$(section_values "$id")")
    [ "$result" = kept ] || kept="channel $id $result"
    id=$((id + 1))
  done
  echo "yuy2, four channels (windows $channel_windows, 0 = off): $(tr -d '\r' <runs/yuy2-channels.log | tail -n 1);" \
    "settings file after shutdown: $kept"
fi
uvd_wine_down
trap - EXIT

echo "=== figures"
for w in $windows; do
  for f in $formats; do
    run="runs/$f-w$w"
    reference=()
    [ -z "$input" ] && reference=(--clean "clip/clean.$f" --impulses clip/impulses.npz)
    "$py" "$root/tools/measure.py" --format "$f" --size "${width}x${height}" --window "$w" \
      --input "$(stream_in "$f")" --output "$run.$f" --host-log "$run.log" "${reference[@]}" \
      --figures figures.jsonl
  done
done
if [ -z "$input" ]; then
  "$py" "$root/tools/measure.py" --format yuy2 --size "${width}x${height}" --window "${channel_windows// /,}" \
    --switch-every "$shot" --input clip/noisy.yuy2 --output runs/yuy2-channels.yuy2 --host-log runs/yuy2-channels.log \
    --clean clip/clean.yuy2 --impulses clip/impulses.npz --label "YUY2 4 ch" --figures figures.jsonl
fi

# The recordings: uvdenoise, timed from file to file with its default threads.
if [[ " $formats " == *" yuy2 "* ]]; then
  echo "=== recordings: the clip as 4:2:2 Y4M through uvdenoise (build/bench-native)"
  native="$root/build/bench-native"
  if ! { cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release && \
         cmake --build "$native" -j2 --target uvdenoise; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    exit 1
  fi
  raw=(-f rawvideo -pix_fmt yuyv422 -s "${width}x${height}")
  ffmpeg -nostdin -v error -y "${raw[@]}" -i "$(stream_in yuy2)" -pix_fmt yuv422p -f yuv4mpegpipe clip/recording.y4m
  reference=()
  [ -z "$input" ] && reference=(--clean clip/clean.yuy2 --impulses clip/impulses.npz)
  for run in "w7:0" "t$recording_threshold:$recording_threshold"; do
    name="uvdenoise-${run%:*}" threshold="${run#*:}"
    args=(--quiet --window 7)
    [ "$threshold" -gt 0 ] && args+=(--threshold "$threshold")
    # The fastest of three runs: the others lose time to whatever else the machine does.
    ms=""
    for _ in 1 2 3; do
      start=$EPOCHREALTIME
      "$native/cli/uvdenoise" -y "${args[@]}" clip/recording.y4m "runs/$name.y4m"
      ms=$(awk -v s="$start" -v e="$EPOCHREALTIME" -v n="$frames" -v best="$ms" \
        'BEGIN { t = (e - s) * 1000 / n; if (best != "" && best < t) t = best; printf "%.3f", t }')
    done
    ffmpeg -nostdin -v error -y -i "runs/$name.y4m" "${raw[@]}" "runs/$name.yuy2"
    label="cli w7"
    [ "$threshold" -gt 0 ] && label="cli w7 T$threshold"
    echo "uvdenoise ${args[*]}: $ms ms per frame"
    "$py" "$root/tools/measure.py" --format yuy2 --size "${width}x${height}" --window 7 --threshold "$threshold" \
      --input "$(stream_in yuy2)" --output "runs/$name.yuy2" --ms-per-frame "$ms" "${reference[@]}" \
      --label "$label" --figures figures.jsonl
  done

  # A capture as a TV card gives it: MPEG-TS, interlaced MPEG-2 at a high quality, its sound starting 0.4 s
  # before the picture. One command cleans it into lossless Matroska, sound and timing kept.
  echo "=== recordings: the clip as an MPEG-TS capture with sound, cleaned in one command"
  ffmpeg -nostdin -v error -y -itsoffset 0.4 -i clip/recording.y4m \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$(awk -v n="$frames" 'BEGIN { print n / 25 + 0.4 }')" \
    -map 0:v -map 1:a -vf setfield=tff -c:v mpeg2video -q:v 2 -pix_fmt yuv422p -flags +ilme+ildct -top 1 \
    -c:a mp2 -f mpegts clip/capture.ts
  name="uvdenoise-capture"
  start=$EPOCHREALTIME
  "$native/cli/uvdenoise" -y --quiet --window 7 --threshold "$recording_threshold" clip/capture.ts "runs/$name.mkv"
  ms=$(awk -v s="$start" -v e="$EPOCHREALTIME" -v n="$frames" 'BEGIN { printf "%.3f", (e - s) * 1000 / n }')
  # Where the picture starts after the sound, in the capture and in the cleaned file.
  apart() {
    local video sound
    video=$(ffprobe -v error -select_streams v:0 -show_entries stream=start_time -of csv=p=0 "$1" | sed -n 1p | tr -d ,)
    sound=$(ffprobe -v error -select_streams a:0 -show_entries stream=start_time -of csv=p=0 "$1" | sed -n 1p | tr -d ,)
    awk -v v="$video" -v a="$sound" 'BEGIN { printf "%.3f s", v - a }'
  }
  sound_kept=no
  cmp -s <(ffprobe -v error -select_streams a:0 -show_entries packet=data_hash -show_data_hash CRC32 -of csv=p=0 \
    clip/capture.ts | grep -o 'CRC32:[0-9a-f]*') \
    <(ffprobe -v error -select_streams a:0 -show_entries packet=data_hash -show_data_hash CRC32 -of csv=p=0 \
    "runs/$name.mkv" | grep -o 'CRC32:[0-9a-f]*') && sound_kept=yes
  echo "uvdenoise --window 7 --threshold $recording_threshold capture.ts clean.mkv: $ms ms per frame," \
    "$(du -h clip/capture.ts | cut -f1) in, $(du -h "runs/$name.mkv" | cut -f1) out;" \
    "picture after sound: $(apart clip/capture.ts) in the capture, $(apart "runs/$name.mkv") cleaned;" \
    "sound packets the same: $sound_kept" | tee runs/capture.txt
  ffmpeg -nostdin -v error -y -i clip/capture.ts -map 0:v -fps_mode passthrough "${raw[@]}" runs/capture-decoded.yuy2
  ffmpeg -nostdin -v error -y -i "runs/$name.mkv" -map 0:v -fps_mode passthrough "${raw[@]}" "runs/$name.yuy2"
  "$py" "$root/tools/measure.py" --format yuy2 --size "${width}x${height}" --window 7 \
    --threshold "$recording_threshold" --input runs/capture-decoded.yuy2 --output "runs/$name.yuy2" \
    --ms-per-frame "$ms" "${reference[@]}" --label "cli TS w7 T$recording_threshold" --figures figures.jsonl
fi
"$py" "$root/tools/measure.py" --summary figures.jsonl | tee summary.txt

echo "=== pictures (input left, output right)"
if [ -z "$input" ]; then
  shown=$("$py" -c 'import json,sys; print(",".join(str((s["first"]+s["last"])//2) for s in json.load(open(sys.argv[1]))["shots"]))' clip/clip.json)
else
  shown="$((frames / 4)),$((frames / 2)),$((frames * 3 / 4))"
fi
uvdenoise_runs=""
[[ " $formats " == *" yuy2 "* ]] && uvdenoise_runs="uvdenoise-w7 uvdenoise-t$recording_threshold uvdenoise-capture"
for name in $uvdenoise_runs; do
  shown_input="$(stream_in yuy2)"
  [ "$name" = uvdenoise-capture ] && shown_input=runs/capture-decoded.yuy2
  "$py" "$root/tools/pictures.py" --format yuy2 --size "${width}x${height}" --input "$shown_input" \
    --output "runs/$name.yuy2" --frames "$shown" --out-dir pictures --prefix "$name"
done
for w in $windows; do
  for f in $formats; do
    "$py" "$root/tools/pictures.py" --format "$f" --size "${width}x${height}" --input "$(stream_in "$f")" \
      --output "runs/$f-w$w.$f" --frames "$shown" --out-dir pictures --prefix "$f-w$w"
  done
done

echo "=== done in $((SECONDS - started)) s: out/main-job/ (summary.txt, pictures/, runs/)"
