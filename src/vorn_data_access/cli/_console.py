"""Terminal output of the command line: progress bars (only on a terminal) and
tables, drawn with rich when it is installed and as plain text otherwise."""

from __future__ import annotations

import sys
from collections.abc import Iterator, Sequence
from contextlib import contextmanager
from typing import Protocol

try:  # rich is an optional extra ([cli])
    import rich.console
    import rich.progress
    import rich.table
except ImportError:  # pragma: no cover - depends on the installed extras
    rich = None  # type: ignore[assignment]


class Progress(Protocol):
    def advance(self, amount: float) -> None: ...


class _Silent:
    def advance(self, amount: float) -> None:
        pass


class _RichProgress:
    def __init__(self, bar: rich.progress.Progress, task: rich.progress.TaskID) -> None:
        self._bar, self._task = bar, task

    def advance(self, amount: float) -> None:
        self._bar.advance(self._task, amount)


@contextmanager
def progress(description: str, total: float) -> Iterator[Progress]:
    """A progress bar to ``total`` on a terminal; nothing when output is piped
    or rich is missing."""
    if rich is None or not sys.stdout.isatty():
        yield _Silent()
        return
    with rich.progress.Progress(
        rich.progress.TextColumn("{task.description}"),
        rich.progress.BarColumn(),
        rich.progress.TaskProgressColumn(),
        rich.progress.TimeRemainingColumn(),
        transient=False,
    ) as bar:
        yield _RichProgress(bar, bar.add_task(description, total=total))


def table(title: str, headers: Sequence[str], rows: Sequence[Sequence[object]]) -> None:
    """Prints a table with a title line."""
    cells = [[("" if v is None else str(v)) for v in row] for row in rows]
    if rich is not None and sys.stdout.isatty():
        t = rich.table.Table(title=title)
        for h in headers:
            t.add_column(h)
        for row in cells:
            t.add_row(*row)
        rich.console.Console().print(t)
        return
    widths = [max([len(h)] + [len(r[i]) for r in cells]) for i, h in enumerate(headers)]
    print(title)
    print("  ".join(h.ljust(w) for h, w in zip(headers, widths, strict=True)).rstrip())
    for row in cells:
        print("  ".join(c.ljust(w) for c, w in zip(row, widths, strict=True)).rstrip())
