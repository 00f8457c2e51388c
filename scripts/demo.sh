#!/bin/sh
# The main job on the bundled sample: convert a real Agilent LC-MS run with a
# diode-array detector (mzML) with zelc, then show what the container holds,
# once from Python (examples/show.py) and once with `vorn info`.
set -eu
cd "$(dirname "$0")/.."
ZELC="$(python3 -c 'import sysconfig; print(sysconfig.get_path("scripts"))')/zelc"
OUT="${TMPDIR:-/tmp}/vorn-demo.vdp"
"$ZELC" "tests/data/mzml/TOFsulfasMS4GHzDualMode+DADSpectra+UVSignal272-NoProfile.mzML" \
  -dest "$OUT" -f -kp
python3 examples/show.py "$OUT"
echo
"$(dirname "$ZELC")/vorn" info "$OUT"
