#!/usr/bin/env bash
# Builds ostrel and runs every test: the native build, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows build under wine
# when mingw-w64 and wine are installed, and a short fuzzing session when clang
# and its fuzzer runtime are (with CI=true their absence fails).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

run_suite() { # build folder, cmake options...
  local dir=$1; shift
  echo "== $dir"
  cmake -S . -B "$dir" "${generator[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure
}

run_suite build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON
run_suite build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_SANITIZE=ON -DBUILD_TESTING=ON

if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null; then
  run_suite build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON
else
  echo "SKIPPED: the Windows build and its tests under wine (g++-mingw-w64-x86-64-posix or wine is not installed)"
  [ "${CI:-}" = true ] && { echo "CI needs them: failing"; exit 1; }
fi
# The fuzz targets: replay their corpus and the golden inputs, then fuzz each
# briefly (OSTREL_FUZZ_SECONDS per target).
if command -v clang++ >/dev/null && ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "== build-fuzz"
  bash fuzz/run.sh "${OSTREL_FUZZ_SECONDS:-60}"
else
  echo "SKIPPED: the fuzz targets (clang or libclang-rt-14-dev is not installed)"
  [ "${CI:-}" = true ] && { echo "CI needs them: failing"; exit 1; }
fi
echo "All test suites passed."
