#!/bin/sh
# Prints the folder where scripts keep build trees, wheels and virtual
# environments: outside the source tree, one per clone (VORN_WORK_DIR overrides).
set -eu
here="$(cd "$(dirname "$0")/.." && pwd)"
echo "${VORN_WORK_DIR:-${TMPDIR:-/tmp}/vorn-work-$(printf %s "$here" | cksum | cut -d' ' -f1)}"
