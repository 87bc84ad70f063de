# shellcheck shell=bash
# One libFuzzer target for a while, as scripts/fuzz.sh and the test command's fuzz tree run it.
#   uvd_fuzz_target <binary> <seconds> <source root> <work folder>
# First replays the target's committed regressions/, then fuzzes from the corpus kept in the work
# folder (seeded from the committed corpus/), with the libFuzzer flags in the target's flags file and
# the words of its dictionary file, if any.
# A crash, leak, time-out or memory blow-up is minimised into regressions/ so that every later run
# replays it. Prints one line: inputs, inputs per second of the clock and of processor time, coverage,
# findings. Fails on any finding.
#   uvd_fuzz_test_seconds <binary> <seconds> <source root>
# The length the test command gives a target: the shorter of <seconds> and its folder's test-seconds file
# (slow targets meant for long campaigns).

uvd_fuzz_target() {
  local binary="$1" seconds="$2" root="$3" work="$4"
  local name source regressions corpus artifacts log flags=() findings=0 replay_failed=0
  name=$(basename "$binary")
  source="$root/fuzz/${name#fuzz_}"
  regressions="$source/regressions"
  corpus="$work/corpus-$name"
  artifacts="$work/artifacts-$name"
  log="$work/$name.log"
  mkdir -p "$corpus"
  rm -rf "$artifacts"
  mkdir -p "$artifacts"
  [ -f "$source/flags" ] && read -r -a flags <"$source/flags"
  [ -f "$source/dictionary" ] && flags+=("-dict=$source/dictionary")

  : >"$log"
  if compgen -G "$regressions/*" >/dev/null; then
    "$binary" "${flags[@]}" "$regressions"/* >>"$log" 2>&1 || replay_failed=1
  fi

  # The processor time it had as well as the clock's: on a shared machine the two rates differ.
  local TIMEFORMAT='%U %S' cpu
  cpu=$({ time "$binary" "${flags[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "$source/corpus" >>"$log" 2>&1 || true; } 2>&1)

  local artifact kind
  for artifact in "$artifacts"/*; do
    [ -f "$artifact" ] || continue
    kind=$(basename "$artifact")
    kind=${kind%%-*}
    case "$kind" in crash | leak | timeout | oom) ;; *) continue ;; esac
    findings=$((findings + 1))
    mkdir -p "$regressions"
    # Time-outs and memory blow-ups do not minimise as crashes do: they are kept as found.
    if [ "$kind" = crash ] || [ "$kind" = leak ]; then
      "$binary" "${flags[@]}" -minimize_crash=1 -max_total_time=60 \
        -exact_artifact_path="$regressions/$(basename "$artifact")" "$artifact" >>"$log" 2>&1 || true
    fi
    [ -f "$regressions/$(basename "$artifact")" ] || cp "$artifact" "$regressions/"
  done

  local runs rate cpu_rate coverage
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n1)
  cpu_rate=$(awk -v runs="${runs:-0}" '{ t = $1 + $2; if (t > 0) printf "%.0f", runs / t; else print "?" }' <<<"$cpu")
  coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n1)
  printf '%-26s %12s inputs  %8s/s  %8s/CPU-s  %-22s %d findings%s\n' "$name" "${runs:-?}" "${rate:-?}" \
    "$cpu_rate" "${coverage:-cov: ?}" "$findings" "$([ "$replay_failed" -eq 1 ] && echo ', a regression input fails')"
  if [ "$findings" -gt 0 ] || [ "$replay_failed" -eq 1 ] || [ -z "$runs" ]; then
    tail -n 40 "$log"
    [ "$findings" -gt 0 ] && echo "minimised into $regressions/"
    return 1
  fi
}

uvd_fuzz_test_seconds() {
  local binary="$1" seconds="$2" root="$3" limit name
  name=$(basename "$binary")
  limit="$root/fuzz/${name#fuzz_}/test-seconds"
  if [ -f "$limit" ] && [ "$(cat "$limit")" -lt "$seconds" ]; then
    cat "$limit"
  else
    echo "$seconds"
  fi
}
