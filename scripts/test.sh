#!/usr/bin/env bash
# The test command: installs what is missing, builds every tree and runs every test.
#   native    g++ with AddressSanitizer and UndefinedBehaviorSanitizer: the portable core's unit tests
#   tsan      g++ with ThreadSanitizer: the thread stress of the settings and the frame path
#   win32     mingw-w64 i686: the DLL, the test host and the Windows tests, run under Wine and Xvfb
#   win64     mingw-w64 x86-64: uvdenoise.exe with FFmpeg's libraries inside, under 64-bit Wine; the
#             native tree's media table runs again with it (label win64)
#   fuzz      clang with libFuzzer: each target for UVD_FUZZ_SECONDS (default 40; a target's test-seconds
#             file may ask for less), after its regressions
# UVD_TREES limits the trees (e.g. UVD_TREES="native win32").
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
trees="${UVD_TREES:-native tsan win32 win64 fuzz}"
fuzz_seconds="${UVD_FUZZ_SECONDS:-40}"
jobs="${UVD_JOBS:-$(nproc)}"

bash "$root/scripts/setup.sh"

summary=()
passed=0
failed=0

record() {  # record <tree> <ctest log>
  local line p t
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$2" | tail -n1 || true)
  if [ -z "$line" ]; then
    summary+=("$1: no test summary")
    failed=$((failed + 1))
    return
  fi
  t=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  f=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + t - f))
  failed=$((failed + f))
  summary+=("$1: $line")
}

native_options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DUVD_SANITIZE=ON -DUVD_BENCH=OFF)

configure() {  # configure <dir> <cmake args...>
  local dir="$1"
  shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
}

mkdir -p "$build"
status=0

for tree in $trees; do
  echo "=== $tree tree"
  case "$tree" in
    native)
      configure "$build/native" "${native_options[@]}"
      cmake --build "$build/native" -j"$jobs"
      ctest --test-dir "$build/native" -j"$jobs" -LE win64 --output-on-failure 2>&1 | tee "$build/native.ctest.log" || status=1
      record native "$build/native.ctest.log"
      ;;
    tsan)
      configure "$build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUVD_TSAN=ON -DUVD_BENCH=OFF
      # Only the tests labelled "threads" run here, so only they are built.
      cmake --build "$build/tsan" -j"$jobs" --target settings_thread_stress_test
      ctest --test-dir "$build/tsan" -j"$jobs" -L threads --output-on-failure 2>&1 | tee "$build/tsan.ctest.log" || status=1
      record tsan "$build/tsan.ctest.log"
      ;;
    win32)
      configure "$build/win32" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-mingw.cmake"
      cmake --build "$build/win32" -j"$jobs"
      # shellcheck source=wine-env.sh
      source "$root/scripts/wine-env.sh"
      uvd_wine_up "$build/win32/wineprefix"
      ctest --test-dir "$build/win32" -j"$jobs" --output-on-failure 2>&1 | tee "$build/win32.ctest.log" || status=1
      uvd_wine_down
      record win32 "$build/win32.ctest.log"
      ;;
    win64)
      configure "$build/win64" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/x86_64-mingw.cmake" \
        -DUVD_FFMPEG_WIN64_DIR="$(bash "$root/scripts/build-ffmpeg-win64.sh" --dir)"
      cmake --build "$build/win64" -j"$jobs"
      configure "$build/native" "${native_options[@]}" -DUVD_WIN64_UVDENOISE="$build/win64/cli/uvdenoise.exe"
      cmake --build "$build/native" -j"$jobs" --target uvdenoise uvdenoise_media_test
      # shellcheck source=wine-env.sh
      source "$root/scripts/wine-env.sh"
      export UVD_WINEARCH=win64
      uvd_wine_up "$build/win64/wineprefix"
      ctest --test-dir "$build/win64" -j"$jobs" --output-on-failure 2>&1 | tee "$build/win64.ctest.log" || status=1
      ctest --test-dir "$build/native" -j"$jobs" -L win64 --output-on-failure 2>&1 |
        tee "$build/win64-media.ctest.log" || status=1
      uvd_wine_down
      unset UVD_WINEARCH
      record win64 "$build/win64.ctest.log"
      record "win64 (media table)" "$build/win64-media.ctest.log"
      ;;
    fuzz)
      CC=clang CXX=clang++ configure "$build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUVD_FUZZ=ON
      cmake --build "$build/fuzz" -j"$jobs"
      fuzz_ok=0
      fuzz_bad=0
      # shellcheck source=fuzz-runner.sh
      source "$root/scripts/fuzz-runner.sh"
      for target in "$build"/fuzz/fuzz/*/fuzz_*; do
        [ -x "$target" ] || continue
        if uvd_fuzz_target "$target" "$(uvd_fuzz_test_seconds "$target" "$fuzz_seconds" "$root")" "$root" "$build/fuzz"; then
          fuzz_ok=$((fuzz_ok + 1))
        else
          fuzz_bad=$((fuzz_bad + 1))
          status=1
        fi
      done
      passed=$((passed + fuzz_ok))
      failed=$((failed + fuzz_bad))
      summary+=("fuzz: $fuzz_ok targets clean, $fuzz_bad failed")
      ;;
    *)
      echo "unknown tree $tree" >&2
      exit 2
      ;;
  esac
done

echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$status" -eq 0 ]
