"""Block markers of the container format."""

import enum


class VornSymbols(enum.Enum):
    """Markers that open and close the blocks of a container file."""

    BEGIN_OF_JUMP_TABLE = 676612694
    """Opens the jump table."""

    END_OF_JUMP_TABLE = 693389910
    """Closes the jump table."""

    BEGIN_OF_FUNCTION_INDEX_BLOCK = 675890774
    """Opens a function index block."""

    END_OF_FUNCTION_INDEX_BLOCK = 692667990
    """Closes a function index block."""

    BEGIN_OF_SPECTRUM_INDEX_BLOCK = 675894102
    """Opens a spectrum index block."""

    END_OF_SPECTRUM_INDEX_BLOCK = 692671318
    """Closes a spectrum index block."""

    SPECTRUM_DATA = 1146114902
    """Opens a spectrum data block."""
