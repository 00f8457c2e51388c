#!/bin/sh
# Sets up (scripts/setup.sh) and runs the test suite.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
# Run from the tests' folder so that the installed package, not src/, is imported.
python3 -m pytest -q tests
