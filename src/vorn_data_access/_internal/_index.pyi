"""
Index records of the container format and the factories that read them.
"""



class JumpTable:
    """
    The file's top index: format and converter versions and the measurements.
    """

    def __init__(self) -> None: ...

class MeasurementIndex:
    """Where a measurement's function index block is, and its description."""

    def __init__(self) -> None: ...

class FunctionIndex:
    """Where a function's spectrum index block is, and its description."""

    def __init__(self) -> None: ...

class SpectrumIndex:
    """
    Where a spectrum's data (and profile data) is, and its description. A record built with no arguments has every field None and profile position 0.
    """
