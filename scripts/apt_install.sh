#!/bin/sh
# Installs the named Debian packages unless they are all present already
# (as root, or through sudo); updates the package lists only when needed.
#   scripts/apt_install.sh PACKAGE...
set -eu
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! dpkg -s "$@" >/dev/null 2>&1; then
  $SUDO apt-get install -y --no-install-recommends "$@" ||
    { $SUDO apt-get update && $SUDO apt-get install -y --no-install-recommends "$@"; }
fi
