#!/bin/sh
# Memory and undefined-behaviour checks, run after the plain test suite:
#  1. the package built with AddressSanitizer and UndefinedBehaviorSanitizer
#     (gcc) into its own virtual environment, and the whole test suite run on
#     it; the C++ unit tests of the core built and run the same way;
#  2. the fuzz targets built with clang's libFuzzer, every kept crasher in
#     fuzz/regressions replayed, and every target fuzzed for FUZZ_SECONDS
#     (default 60; 0 skips fuzzing).
# Any sanitizer report fails the run.
set -eu
cd "$(dirname "$0")/.."

./scripts/apt_install.sh clang libclang-rt-dev doctest-dev

echo "== test suite on a sanitized build"
work="$(./scripts/work_dir.sh)"
python3 -m venv "$work/sanitize-env"
"$work/sanitize-env/bin/python" -m pip install --quiet ".[test]" \
  -C build-dir="$work/sanitize-build" -C cmake.build-type=RelWithDebInfo \
  -C cmake.define.VORN_SANITIZE=ON -C cmake.define.VORN_WERROR=ON
# The interpreter itself is not instrumented, so the runtime must load first,
# with the C++ library whose exception functions it intercepts.
# Leak checking is off: CPython keeps its own allocations to the end.
LD_PRELOAD="$(gcc -print-file-name=libasan.so) $(readlink -f "$(gcc -print-file-name=libstdc++.so)")" \
  ASAN_OPTIONS="detect_leaks=0:abort_on_error=1" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  "$work/sanitize-env/bin/python" -m pytest -q -p no:cacheprovider tests

echo "== C++ unit tests of the core on a sanitized build"
cmake -S tests/cpp -B "$work/cpp-tests-sanitized" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORN_SANITIZE=ON >/dev/null
cmake --build "$work/cpp-tests-sanitized" -j2 >/dev/null
ASAN_OPTIONS="abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir "$work/cpp-tests-sanitized" --output-on-failure

echo "== fuzz targets"
cmake -S fuzz -B fuzz/out/build -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build fuzz/out/build -j2 >/dev/null
for dir in fuzz/regressions/*/; do
  target="$(basename "$dir")"
  echo "replaying $(ls "$dir" | wc -l) kept inputs of $target"
  "./fuzz/out/build/fuzz_$target" "$dir"* >/dev/null 2>&1 ||
    { echo "fuzz_$target fails on a kept input:"; "./fuzz/out/build/fuzz_$target" "$dir"*; exit 1; }
done
FUZZ_SECONDS="${FUZZ_SECONDS:-60}"
if [ "$FUZZ_SECONDS" -gt 0 ]; then
  python3 fuzz/make_corpus.py
  SEED="${FUZZ_SEED:-1}" ./fuzz/run_fuzzers.sh "$FUZZ_SECONDS" 2
fi
