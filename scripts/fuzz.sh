#!/usr/bin/env bash
# Fuzzing campaigns on demand: bash scripts/fuzz.sh SECONDS [TARGET...] runs every libFuzzer target (or
# the ones named, e.g. settings_ini) that long.
# The corpus grows under build/fuzz between runs; findings are minimised into each target's committed
# regressions/ folder. UVD_FUZZ_PARALLEL=2 runs two targets at a time (one per core).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
seconds="${1:?usage: fuzz.sh SECONDS [TARGET...]}"
shift
parallel="${UVD_FUZZ_PARALLEL:-1}"
# shellcheck source=fuzz-runner.sh
source "$root/scripts/fuzz-runner.sh"

mkdir -p "$build"
CC=clang CXX=clang++ cmake -S "$root" -B "$build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUVD_FUZZ=ON \
  >"$build/fuzz.configure.log" 2>&1 || { cat "$build/fuzz.configure.log"; exit 1; }
cmake --build "$build/fuzz" -j"${UVD_JOBS:-2}" >/dev/null

targets=()
if [ "$#" -gt 0 ]; then
  for name in "$@"; do
    target="$build/fuzz/fuzz/$name/fuzz_$name"
    [ -x "$target" ] || { echo "no fuzz target $name" >&2; exit 1; }
    targets+=("$target")
  done
else
  for target in "$build"/fuzz/fuzz/*/fuzz_*; do
    [ -x "$target" ] && targets+=("$target")
  done
fi

# Each target writes its line to a file of its own, so that parallel runs print in a fixed order.
results="$build/fuzz/results"
rm -rf "$results"
mkdir -p "$results"
pids=()
for target in "${targets[@]}"; do
  name=$(basename "$target")
  (uvd_fuzz_target "$target" "$seconds" "$root" "$build/fuzz" >"$results/$name" 2>&1; echo $? >"$results/$name.rc") &
  pids+=($!)
  if [ "${#pids[@]}" -ge "$parallel" ]; then
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  fi
done
wait

status=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  cat "$results/$name"
  [ "$(cat "$results/$name.rc")" = 0 ] || status=1
done
exit "$status"
