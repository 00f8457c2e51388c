"""Fast, checked access to LC-MS and diode-array data in Vorn container files.

Modules:

- ``access``: open a container file (``VornFile``) and walk its measurements.
- ``qual``: mass-spectrometry and diode-array analyses, spectra, chromatograms.
- ``converter``: run the ``zelc`` converter (``ZelConverter``).
- ``writer``: write container files (``VornWriter``).
- ``common``, ``exception``: shared types and exceptions.
"""

__version__ = "1.0.0"
