"""Writes the type stubs of the extension modules (from the installed
package), or with --check reports any that differ from the committed ones.

    python scripts/stubs.py [--check]
"""

import pathlib
import subprocess
import sys
import tempfile

PACKAGE = pathlib.Path(__file__).resolve().parent.parent / "src" / "vorn_data_access"
# Types of members whose bindings take and return plain objects.
PATTERNS = pathlib.Path(__file__).resolve().parent / "stub_types.txt"
MODULES = [
    "access",
    "qual",
    "quan",
    "common",
    "converter",
    "writer",
    "_internal._reader",
    "_internal._index",
    "_internal._description",
    "_internal._enum",
]
# Modules whose stubs keep their private names: quan's analyses derive from
# the private _TraceAnalysis, which a stub without it could not name.
WITH_PRIVATE = {"quan"}


def stub_path(folder, module):
    return folder.joinpath(*module.split(".")).with_suffix(".pyi")


def generate(folder):
    for module in MODULES:
        out = stub_path(folder, module)
        out.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(
            [
                sys.executable,
                "-m",
                "nanobind.stubgen",
                "-q",
                "-p",
                str(PATTERNS),
                *(["-P"] if module in WITH_PRIVATE else []),
                "-m",
                f"vorn_data_access.{module}",
                "-o",
                str(out),
            ],
            check=True,
        )


def main():
    if "--check" not in sys.argv:
        generate(PACKAGE)
        return 0
    with tempfile.TemporaryDirectory() as tmp:
        generate(pathlib.Path(tmp))
        stale = [
            m
            for m in MODULES
            if stub_path(pathlib.Path(tmp), m).read_text() != stub_path(PACKAGE, m).read_text()
        ]
    for m in stale:
        print(f"stale stub: {stub_path(PACKAGE, m)} (run scripts/stubs.py)")
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main())
