"""The reader layer: byte-level decoding of container files.

``_reader`` (``VdpFileReader``, ``XicInfo``, spectrum point lists), ``_index``
(``JumpTable``, ``MeasurementIndex``, ``FunctionIndex``, ``SpectrumIndex``),
``_description`` (description records and their enumerations) and ``_enum``
(``VornSymbols``). All members are private and reached by their mangled names.
"""
