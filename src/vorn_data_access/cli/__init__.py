"""The ``vorn`` command line: a quick look at container files, chromatograms as
CSV or Parquet, plots, and batch conversion.

    vorn info FILE [--json]
    vorn tic|bpc|xic|uv|trace FILE ... [--csv [PATH] | --parquet PATH]
    vorn plot FILE --tic --xic 445.12 --ppm 10 --uv 250:260 -o run.png
    vorn convert SOURCE... -o DIR [-j N]

Errors go to standard error with exit status 1; ``--help`` works for every
command.
"""

from __future__ import annotations

import argparse
import sys
from collections.abc import Sequence

from . import chromatograms, convert, info, plot


def parser() -> argparse.ArgumentParser:
    """The argument parser of ``vorn`` with all its commands."""
    top = argparse.ArgumentParser(
        prog="vorn",
        description="Look into Vorn container files and convert mzML/mzXML into them.",
    )
    commands = top.add_subparsers(dest="command", required=True, metavar="COMMAND")
    for module in (info, chromatograms, plot, convert):
        module.add_commands(commands)
    return top


def main(argv: Sequence[str] | None = None) -> int:
    """Runs one ``vorn`` command; returns the exit status."""
    args = parser().parse_args(argv)
    try:
        return int(args.run(args) or 0)
    except KeyboardInterrupt:
        print("vorn: interrupted", file=sys.stderr)
        return 130
    except BrokenPipeError:
        # Output cut short by the reader (`vorn tic ... --csv | head`).
        sys.stderr.close()
        return 0
    except Exception as error:  # every failure ends as one line on stderr
        print(f"vorn: error: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
