"""Everything a container file holds, as plain JSON-ready values.

Reads through the public classes and the reader layer's records, so that the
golden files pin what users see: metadata, function descriptions, distinct
conditions, every spectrum description and every point, bit for bit (floats
as exact reprs, arrays with their precision).
"""

import enum

import numpy as np

from vorn_data_access.access import VornFile
from vorn_data_access.common import ValueRange

MEASUREMENT_FIELDS = (
    "hash",
    "sample_name",
    "sample_id",
    "acquisition_method_file_name",
    "dilution_factor",
    "injection_volume",
    "original_file_path",
    "instrument_product_name",
    "measurement_user_name",
    "plate_code",
    "well_code",
    "measurement_date_time",
    "instrument_manufacturer",
    "source_file_definition",
    "supplemental_properties",
)
SPECTRUM_FIELDS = (
    "index",
    "retention_time",
    "acquisition_condition_index",
    "ms_level",
    "polarity",
    "collision_energy",
    "cone_voltage",
    "mass_range",
    "precursor_range",
    "precursor_value",
    "precursor_index",
    "product_indices",
    "spectrum_type",
    "is_profile_spectrum_measured",
    "current_total_ion",
    "base_peak_mz",
    "base_peak_intensity",
    "supplemental_properties",
)
# Fields that files of format 1.1 on hold; an older file's dump leaves them
# out, so its recorded values stay what they were.
SPECTRUM_FIELDS_1_1 = (
    "precursor_charge",
    "possible_charge_states",
    "precursor_intensity",
    "activation_method",
    "isolation_window_target",
    "isolation_window_lower_offset",
    "isolation_window_upper_offset",
    "ion_injection_time",
)
CORE_FIELDS = (
    "ms_level",
    "polarity",
    "collision_energy",
    "mass_range",
    "original_measured_spectrum_type",
)


def plain(value):
    """A JSON value that keeps types apart: enums by name, ranges as pairs."""
    if isinstance(value, enum.Enum):
        return f"{type(value).__name__}.{value.name}"
    if isinstance(value, ValueRange):
        return ["range", value.min, value.max]
    if isinstance(value, dict):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, list | tuple):
        return [plain(v) for v in value]
    if isinstance(value, np.generic):
        return value.item()
    return value


def fields(record, cls, names):
    return {n: plain(getattr(record, f"_{cls}__{n}")) for n in names}


def array(a):
    a = np.asarray(a)
    return {"dtype": str(a.dtype), "values": [float(v) for v in a]}


def points(point_list):
    return {"x": array(point_list.x_array), "intensity": array(point_list.intensity_array)}


def condition(record):
    core = record._InternalAcquisitionCondition__internal_acquisition_core_condition
    out = fields(core, "InternalAcquisitionCoreCondition", CORE_FIELDS)
    out["precursor_range"] = plain(record._InternalAcquisitionCondition__precursor_range)
    out["precursor_value"] = plain(record._InternalAcquisitionCondition__precursor_value)
    vendor = core._InternalAcquisitionCoreCondition__vendor_specific_additional_condition
    scan = core._InternalAcquisitionCoreCondition__triple_q_scan_condition
    out["vendor"] = vendor and fields(
        vendor,
        "VendorSpecificAdditionalCondition",
        ("type", "original_id", "cone_voltage", "scan_info_string"),
    )
    out["scan"] = scan and fields(
        scan, "TripleQScanCondition", ("type", "target_mz", "q1_range", "q3_range")
    )
    return out


def spectrum_fields(version):
    """The description fields a file of format `version` ("1.0.0") holds."""
    major, minor, _ = (int(v) for v in version.split("."))
    return SPECTRUM_FIELDS + (SPECTRUM_FIELDS_1_1 if (major, minor) >= (1, 1) else ())


def description(spectrum_index, names):
    d = spectrum_index._SpectrumIndex__spectrum_description
    return fields(d, "InternalSpectrumDescription", names)


def qual(analysis, names):
    qd = analysis._QualAnalysis__function_index._FunctionIndex__function_description
    qd = qd._FunctionDescription__qual_description
    stored = qd._QualDescription__unique_acquisition_condition_list
    out = {
        "text": str(analysis),
        "supplemental_properties": plain(analysis.supplemental_properties),
        "stored_conditions": None if stored is None else [condition(c) for c in stored],
        "unique_acquisition_conditions": [str(c) for c in analysis.unique_acquisition_conditions],
        "spectra": [],
    }
    records = analysis._QualAnalysis__spectrum_index_list
    for i in range(analysis.get_spectra_count()):
        s = analysis.get_spectrum(i)
        entry = {
            "text": str(s),
            "description": description(records[i], names),
            "points": points(s.get_spectrum_points()),
        }
        details = [n for n in names if n in SPECTRUM_FIELDS_1_1]
        if details:  # the public properties beside the record's fields
            entry["properties"] = {n: plain(getattr(s, n)) for n in details}
        if records[i]._SpectrumIndex__profile_position:
            entry["profile"] = points(s.get_profile_spectrum_points())
        out["spectra"].append(entry)
    return out


def dad(analysis, names):
    out = {
        "text": str(analysis),
        "supplemental_properties": plain(analysis.supplemental_properties),
        "spectra": [],
    }
    records = analysis._DADAnalysis__spectrum_index_list
    for i in range(analysis.get_spectra_count()):
        s = analysis.get_spectrum(i)
        out["spectra"].append(
            {
                "text": str(s),
                "description": description(records[i], names),
                "points": points(s.get_spectrum_points()),
            }
        )
    return out


def traces(analysis, names):
    out = {"supplemental_properties": plain(analysis.supplemental_properties), "traces": []}
    for i in range(analysis.get_trace_count()):
        d = analysis.get_trace_description(i)
        out["traces"].append(
            {
                "description": fields(d, "InternalSpectrumDescription", names),
                "points": points(analysis.get_trace_points(i)),
            }
        )
    return out


def dump(path):
    """Every value a container file holds, read with today's reader."""
    with VornFile(str(path)) as f:
        out = {
            "file_format_version": f.get_file_format_version(),
            "converter_version": f.get_converter_version(),
            "measurements": [],
        }
        names = spectrum_fields(f.get_file_format_version())
        for mi in range(f.get_measurement_count()):
            m = f.get_measurement(mi)
            out["measurements"].append(
                {
                    "text": str(m),
                    "metadata": {n: plain(getattr(m, n)) for n in MEASUREMENT_FIELDS},
                    "qual": [
                        qual(m.get_qual_analysis(i), names)
                        for i in range(m.get_qual_analysis_count())
                    ],
                    "dad": [
                        dad(m.get_dad_analysis(i), names) for i in range(m.get_dad_analysis_count())
                    ],
                    "quan": [
                        traces(m.get_quan_analysis(i), names)
                        for i in range(m.get_quan_analysis_count())
                    ],
                    "analog": [
                        traces(m.get_analog_analysis(i), names)
                        for i in range(m.get_analog_analysis_count())
                    ],
                }
            )
    return out
