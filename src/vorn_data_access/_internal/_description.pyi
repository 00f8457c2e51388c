"""Description records of the container format and their enumerations."""

import enum


class DetectorTypes(enum.Enum):
    """Detector of a function."""

    MS = 0
    """Mass spectrometer."""

    DAD = 1
    """Diode-array detector."""

    ANALOG = 2
    """Analog detector."""

class TripleQScanTypes(enum.Enum):
    """Scan modes of a triple quadrupole."""

    PRODUCT = 0
    """Product-ion scan."""

    PRECURSOR = 1
    """Precursor-ion scan."""

    NEUTRAL_LOSS = 2
    """Neutral-loss scan."""

    NEUTRAL_GAIN = 3
    """Neutral-gain scan."""

class VendorSpecificAdditionalConditionTypes(enum.Enum):
    """
    Instrument software whose own acquisition parameter a condition carries.
    """

    WATERS_MASS_LYNX = 0
    """Waters MassLynx."""

    THERMO_FISHER_RAW_FILE_READER = 1
    """Thermo Fisher RawFileReader."""

    SHIMADZU_IO_MODULE = 2
    """Shimadzu IoModule."""

    SCIEX_ANALYST = 3
    """SCIEX Analyst."""

    AGILENT_MASS_HUNTER = 4
    """Agilent MassHunter."""

class MeasurementDescription:
    """Metadata of one measurement."""

    def __init__(self) -> None: ...

class FunctionDescription:
    """Kind and description of one function."""

    def __init__(self) -> None: ...

class QualDescription:
    """Description of a qualitative (MS or diode-array) function."""

    def __init__(self) -> None: ...

class QuanDescription:
    """Description of a quantitative or analog function."""

    def __init__(self) -> None: ...

class InternalAcquisitionCondition:
    """A stored distinct acquisition condition."""

    def __init__(self) -> None: ...

class InternalAcquisitionCoreCondition:
    """The core of a stored acquisition condition."""

    def __init__(self) -> None: ...

class TripleQScanCondition:
    """A triple-quadrupole scan mode."""

    def __init__(self) -> None: ...

class VendorSpecificAdditionalCondition:
    """An instrument vendor's own acquisition parameter."""

    def __init__(self) -> None: ...

class InternalSpectrumDescription:
    """
    Description of one spectrum. Fields are private, reached by their mangled names; a record built with no arguments has every field None.
    """
