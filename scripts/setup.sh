#!/bin/sh
# Installs what building and testing need on a fresh Debian machine, then the
# package itself with its test dependencies.
set -eu
cd "$(dirname "$0")/.."

./scripts/apt_install.sh g++ cmake libzstd-dev libexpat1-dev zlib1g-dev
python3 -m pip install --quiet ".[test]"
