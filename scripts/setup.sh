#!/bin/sh
# Installs what building and testing need on a fresh Debian machine, then the
# package itself with its test dependencies.
set -eu
cd "$(dirname "$0")/.."

PACKAGES="g++ cmake libzstd-dev libexpat1-dev zlib1g-dev"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! dpkg -s $PACKAGES >/dev/null 2>&1; then
  $SUDO apt-get install -y --no-install-recommends $PACKAGES ||
    { $SUDO apt-get update && $SUDO apt-get install -y --no-install-recommends $PACKAGES; }
fi
python3 -m pip install --quiet ".[test]"
