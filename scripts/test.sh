#!/bin/sh
# Sets up (scripts/setup.sh) and runs the test suite, then the same suite on a
# sanitized build with the fuzz targets (scripts/sanitize.sh).
#   QUICK=1 scripts/test.sh    the plain suite only
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
# Run from the tests' folder so that the installed package, not src/, is imported.
python3 -m pytest -q tests
[ "${QUICK:-0}" = 1 ] || ./scripts/sanitize.sh
