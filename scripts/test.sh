#!/bin/sh
# Runs the test suite the way users get the package: builds the wheel (warnings
# as errors), repairs it with auditwheel, installs it into a clean virtual
# environment with the test extras and runs the suite there; then the same
# suite on a sanitized build with the fuzz targets (scripts/sanitize.sh). The
# C++ unit tests of the core (tests/cpp) run after the Python suite.
#   QUICK=1 scripts/test.sh    the wheel and the plain suite only
set -eu
cd "$(dirname "$0")/.."
./scripts/apt_install.sh g++ cmake libzstd-dev libexpat1-dev zlib1g-dev python3-venv doctest-dev
work="$(./scripts/work_dir.sh)"
mkdir -p "$work"
wheel="$(./scripts/build_wheel.sh "$work/wheelhouse" -C cmake.define.VORN_WERROR=ON)"
echo "== wheel: $(basename "$wheel") ($(du -k "$wheel" | cut -f1) KiB)"
python3 -m venv --clear "$work/wheel-env"
"$work/wheel-env/bin/pip" install --quiet "$wheel[test]"
# From the tests' folder, so that the installed wheel, not src/, is imported.
(cd tests && "$work/wheel-env/bin/python" -m pytest -q)
echo "== C++ unit tests of the core's kernels"
cmake -S tests/cpp -B "$work/cpp-tests" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$work/cpp-tests" -j2 >/dev/null
ctest --test-dir "$work/cpp-tests" --output-on-failure
[ "${QUICK:-0}" = 1 ] || ./scripts/sanitize.sh
