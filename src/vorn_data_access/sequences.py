"""Read-only sequences over objects that a file builds on request.

``Measurement.qual_analyses`` and its siblings (and the traces of a quan or
analog analysis) are ``IndexedSequence`` objects: ``len()``, indexes from
either end, slices and iteration, each item built by the owner's getter when
it is asked for.
"""

from __future__ import annotations

import operator
from collections.abc import Callable, Iterator, Sequence
from typing import SupportsIndex, TypeVar, overload

T = TypeVar("T")


class IndexedSequence(Sequence[T]):
    """A sequence whose length is ``count()`` and whose item ``i`` is
    ``get(i)``; indexes outside the sequence raise ``IndexError``."""

    __slots__ = ("_count", "_get", "_noun")

    def __init__(self, count: Callable[[], int], get: Callable[[int], T], noun: str) -> None:
        self._count = count
        self._get = get
        self._noun = noun

    def __len__(self) -> int:
        return int(self._count())

    @overload
    def __getitem__(self, index: SupportsIndex) -> T: ...

    @overload
    def __getitem__(self, index: slice) -> list[T]: ...

    def __getitem__(self, index: SupportsIndex | slice) -> T | list[T]:
        n = len(self)
        if isinstance(index, slice):
            return [self._get(i) for i in range(*index.indices(n))]
        i = operator.index(index)
        if i < 0:
            i += n
        if not 0 <= i < n:
            raise IndexError(f"{self._noun} index out of range")
        return self._get(i)

    def __iter__(self) -> Iterator[T]:
        return map(self._get, range(len(self)))

    def __bool__(self) -> bool:
        return len(self) > 0

    def __repr__(self) -> str:
        return f"<{len(self)} items: {self._noun}>"
