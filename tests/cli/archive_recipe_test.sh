#!/usr/bin/env bash
# archive_recipe_test.sh <source root> <uvdenoise> <work folder>
# docs/recordings.md's batch recipes, read from the page and run as printed over three captures with sound,
# the second of them damaged: GNU parallel's line twice (the rerun after an OUT was lost makes only that
# one), then the Slurm script as each array task runs it and the submission line with sbatch stood in for.
set -euo pipefail
root="$1" program="$2" work="$3"
fail() { echo "FAIL: $*" >&2; exit 1; }

# recipe <n>: the n-th fenced block of the page's "An archive at a time" section.
recipe() {
  awk -v want="$1" '
    /^## / { inside = ($0 == "## An archive at a time"); next }
    !inside { next }
    /^```/ { if (fenced) { fenced = 0; count++ } else fenced = 1; next }
    fenced && count + 1 == want { print }' "$root/docs/recordings.md"
}
parallel_line=$(recipe 1) sbatch_script=$(recipe 2) submission=$(recipe 3)
[ -n "$parallel_line" ] && [ -n "$sbatch_script" ] && [ -n "$submission" ] || fail "the page lacks a recipe"

rm -rf "$work"
mkdir -p "$work/bin" "$work/one/tapes"
ln -s "$(realpath "$program")" "$work/bin/uvdenoise"
export PATH="$work/bin:$PATH"
cd "$work/one"
for name in first second third; do
  ffmpeg -v error -f lavfi -i "testsrc2=size=176x96:rate=25,noise=c1s=60:c2s=60:allf=t" -f lavfi -i sine -t 0.8 \
    -c:v mpeg2video -c:a mp2 "tapes/$name.ts" </dev/null || fail "ffmpeg could not make $name.ts"
done
# The middle of the second capture's video overwritten: its pictures there cannot be decoded.
python3 - tapes/second.ts <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
for packet in range(len(data) // 188 // 3, len(data) // 188 // 2):
    at = packet * 188
    if data[at + 1] & 0x1F == 0x01 and data[at + 2] == 0x00:  # PID 0x100, the video's
        data[at + 8:at + 188] = bytes(range(180))
open(sys.argv[1], "wb").write(data)
PY

# same_packets <a.mkv> <b.mkv>: every stream's packets and timestamps equal (Matroska's ids are random).
same_packets() {
  [ "$(ffmpeg -v error -i "$1" -map 0 -c copy -f framemd5 - </dev/null)" = \
    "$(ffmpeg -v error -i "$2" -map 0 -c copy -f framemd5 - </dev/null)" ]
}
# exit_codes: each file's last exit code in the job log, in the files' order.
exit_codes() {
  awk -F'\t' '$7 ~ /^[0-9]+$/ && match($9, /tapes\/[^ ]+/) { code[substr($9, RSTART, RLENGTH)] = $7 }
    END { print code["tapes/first.ts"], code["tapes/second.ts"], code["tapes/third.ts"] }' clean/jobs.log
}
status=0
bash -c "$parallel_line" >/dev/null 2>"$work/messages" || status=$?
[ "$status" -eq 1 ] || fail "parallel exited with $status, not 1 (one run failed): $(cat "$work/messages")"
[ "$(exit_codes)" = "0 1 0" ] || fail "the job log's exit codes: $(exit_codes)"
grep -q $'^tapes/second\.ts\tuvdenoise: ' "$work/messages" || fail "no message names the damaged capture: $(cat "$work/messages")"
for name in first second third; do
  streams=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "clean/$name.mkv" | tr '\n' ' ')
  [ "$streams" = "ffv1 mp2 " ] || fail "clean/$name.mkv holds: $streams"
done
# One thread each gives the pictures of a run with every core.
for name in first third; do
  uvdenoise --quiet --window 7 --threshold 18 "tapes/$name.ts" "$work/$name.mkv" || fail "a single run exited with $?"
  same_packets "$work/$name.mkv" "clean/$name.mkv" || fail "the batch's $name.mkv differs from a single run's"
done

# A rerun after the third file's OUT was lost: it is made again; the others are refused and stay.
rm clean/third.mkv
cp clean/first.mkv "$work/first-before.mkv"
status=0
bash -c "$parallel_line" >/dev/null 2>"$work/messages" || status=$?
[ "$status" -eq 2 ] || fail "the rerun exited with $status, not 2 (two files refused): $(cat "$work/messages")"
[ "$(exit_codes)" = "2 2 0" ] || fail "the rerun's exit codes: $(exit_codes)"
same_packets "$work/third.mkv" clean/third.mkv || fail "the rerun's third.mkv differs"
cmp "$work/first-before.mkv" clean/first.mkv || fail "the rerun touched a finished file"

# The Slurm script, as each of the array's tasks runs it in the folder it was submitted from.
mkdir -p "$work/cluster/clean"
ln -s "$work/one/tapes" "$work/cluster/tapes"
cd "$work/cluster"
printf '%s\n' "$sbatch_script" >clean.sbatch
codes=""
for task in 0 1 2; do
  code=0
  SLURM_ARRAY_TASK_ID=$task SLURM_CPUS_PER_TASK=1 bash clean.sbatch 2>/dev/null || code=$?
  codes+="$code "
done
[ "$codes" = "0 1 0 " ] || fail "the array's tasks exited with $codes"
for name in first third; do
  same_packets "$work/one/clean/$name.mkv" "clean/$name.mkv" || fail "the array's $name.mkv differs from the batch's"
done
printf '#!/bin/sh\necho "$@"\n' >"$work/bin/sbatch"
chmod +x "$work/bin/sbatch"
submitted=$(bash -c "$submission")
[ "$submitted" = "--array=0-2%20 clean.sbatch" ] || fail "the submission asks for $submitted"
echo "archive recipe test passed"
