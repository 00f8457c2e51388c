"""Exceptions of the package.

``VornException`` is raised by the container file; the reader layer raises its
subclasses for damaged files (``VornFormatError``), files the system cannot
open (``VornIOError``) and reads after closing (``VornClosedError``).
``ZelConverterException`` is raised by the converter.
"""


class VornException(Exception):
    """An error of a container file or of reading one."""


class VornFormatError(VornException, ValueError):
    """The file's bytes break the container format; the message says what and at which offset."""


class VornIOError(VornException, OSError):
    """The file cannot be opened, mapped or written."""


class VornClosedError(VornException, ValueError):
    """A read was attempted after the container file was closed."""


class ZelConverterException(Exception):
    """An error of a conversion run by ``ZelConverter``."""
