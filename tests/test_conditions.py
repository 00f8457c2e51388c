"""Acquisition conditions and their scan-mode and vendor conditions: value
equality, the unbounded 31-based hash, and texts to the character."""

import pytest
from records_by_hand import description, scan, stored_condition, vendor

from vorn_data_access._internal._description import (
    TripleQScanTypes as T,
)
from vorn_data_access._internal._description import (
    VendorSpecificAdditionalConditionTypes as V,
)
from vorn_data_access.common import PolarityTypes, SpectrumTypes, ValueRange
from vorn_data_access.qual import (
    AcquisitionCondition,
    AgilentMassHunterCondition,
    NeutralGainScanCondition,
    NeutralLossScanCondition,
    PrecursorIonScanCondition,
    ProductIonScanCondition,
    SCIEXAnalystCondition,
    ShimadzuIoModuleCondition,
    ThermoFisherRawFileReaderCondition,
    WatersMassLynxCondition,
)


def hash31(*fields):
    result = 1
    for f in fields:
        result = 31 * result + (0 if f is None else hash(f))
    return result


def reduced(value):
    """What hash() makes of a __hash__ result."""
    value = value if -(2**63) <= value < 2**63 else hash(value)
    return -2 if value == -1 else value


Q1, Q3 = ValueRange(100.0, 500.0), ValueRange(50.0, 450.0)


def test_scan_conditions_of_different_modes_never_equal():
    record = scan(T.PRODUCT, 180.0, Q1, Q3)
    product, precursor = ProductIonScanCondition(record), PrecursorIonScanCondition(record)
    assert product != precursor and not product == precursor
    assert product == ProductIonScanCondition(scan(T.PRODUCT, 180.0, Q1, Q3))
    assert hash(product) == hash(ProductIonScanCondition(scan(T.PRODUCT, 180.0, Q1, Q3)))


@pytest.mark.parametrize(
    "cls, fields, text",
    [
        (
            ProductIonScanCondition,
            ("precursor_ion_mz", "q3_range"),
            "Product Ion Scan: [Precursor Ion m/z] 180.0, [Q3 Range] 50.0 - 450.0",
        ),
        (
            PrecursorIonScanCondition,
            ("product_ion_mz", "q1_range"),
            "Precursor Ion Scan: [Product Ion m/z] 180.0, [Q1 Range] 100.0 - 500.0",
        ),
        (
            NeutralLossScanCondition,
            ("neutral_loss_mz", "q1_range", "q3_range"),
            "Neutral Loss Scan: [Neutral Loss m/z] 180.0, [Q1 Range] 100.0 - 500.0, "
            "[Q3 Range] 50.0 - 450.0",
        ),
        (
            NeutralGainScanCondition,
            ("neutral_gain_mz", "q1_range", "q3_range"),
            "Neutral Gain Scan: [Neutral Gain m/z] 180.0, [Q1 Range] 100.0 - 500.0, "
            "[Q3 Range] 50.0 - 450.0",
        ),
    ],
)
def test_scan_condition_fields_hash_and_text(cls, fields, text):
    c = cls(triple_q_scan_condition=scan(T.NEUTRAL_LOSS, 180.0, Q1, Q3))
    values = [getattr(c, f) for f in fields]
    assert values[0] == 180.0
    assert c.__hash__() == hash31(*values)
    assert str(c) == repr(c) == text


def test_scan_condition_with_missing_range():
    c = ProductIonScanCondition(scan(T.PRODUCT, 180.0, Q1, None))
    assert c.__hash__() == (31 + hash(180.0)) * 31 + 0
    assert str(c).endswith(", [Q3 Range] None")
    loss = NeutralLossScanCondition(scan(T.NEUTRAL_LOSS, 98.0, Q1, Q3))
    assert loss != NeutralLossScanCondition(scan(T.NEUTRAL_LOSS, 98.0, ValueRange(1, 2), Q3))
    with pytest.raises(AttributeError):
        ProductIonScanCondition(object())


@pytest.mark.parametrize(
    "condition, text",
    [
        (WatersMassLynxCondition(30.0), "Waters|MassLynx: [Cone Voltage] 30"),
        (
            WatersMassLynxCondition(vendor(V.WATERS_MASS_LYNX, 2, 30.0)),
            "Waters|MassLynx: [Function Number] 2, [Cone Voltage] 30",
        ),
        (
            WatersMassLynxCondition(vendor(V.WATERS_MASS_LYNX, 2, None)),
            "Waters|MassLynx: [Function Number] 2",
        ),
        (WatersMassLynxCondition("x"), "Waters|MassLynx"),
        (ThermoFisherRawFileReaderCondition(12.5), "ThermoFisher|RawFileReader: [SID] 12.5"),
        (
            ThermoFisherRawFileReaderCondition(
                vendor(V.THERMO_FISHER_RAW_FILE_READER, None, 10.0, "")
            ),
            "ThermoFisher|RawFileReader: [SID] 10",
        ),
        (
            ThermoFisherRawFileReaderCondition(
                vendor(V.THERMO_FISHER_RAW_FILE_READER, None, 35.0, "FTMS + p")
            ),
            "ThermoFisher|RawFileReader: [SID] 35, [Scan Filter] FTMS + p",
        ),
        (
            ThermoFisherRawFileReaderCondition(
                vendor(V.THERMO_FISHER_RAW_FILE_READER, None, None, "ITMS")
            ),
            "ThermoFisher|RawFileReader: [Scan Filter] ITMS",
        ),
        (ThermoFisherRawFileReaderCondition(None), "ThermoFisher|RawFileReader"),
        (
            SCIEXAnalystCondition(vendor(V.SCIEX_ANALYST, 1, 80.0)),
            "SCIEX|Analyst: [Experiment Index] 1, [DP] 80",
        ),
        (SCIEXAnalystCondition(vendor(V.SCIEX_ANALYST, None, 80.5)), "SCIEX|Analyst: [DP] 80.5"),
        (
            SCIEXAnalystCondition(vendor(V.SCIEX_ANALYST, 3, None)),
            "SCIEX|Analyst: [Experiment Index] 3",
        ),
        (SCIEXAnalystCondition(vendor(V.SCIEX_ANALYST)), "SCIEX|Analyst"),
        (AgilentMassHunterCondition(100), "Agilent|MassHunter"),
        (AgilentMassHunterCondition(30.25), "Agilent|MassHunter: [Fragmentor Voltage] 30.25"),
        (AgilentMassHunterCondition(3.0), "Agilent|MassHunter: [Fragmentor Voltage] 3"),
        (
            ShimadzuIoModuleCondition(vendor(V.SHIMADZU_IO_MODULE, 4)),
            "Shimadzu|IoModule: [Event Number] 4",
        ),
        (ShimadzuIoModuleCondition(vendor(V.SHIMADZU_IO_MODULE)), "Shimadzu|IoModule"),
    ],
)
def test_vendor_condition_texts(condition, text):
    assert str(condition) == repr(condition) == text


def test_vendor_condition_fields_and_equality():
    w = WatersMassLynxCondition(argument=30.0)
    assert (w.function_number, w.cone_voltage) == (None, 30.0)
    assert w == WatersMassLynxCondition(vendor(V.WATERS_MASS_LYNX, None, 30.0))
    assert w != AgilentMassHunterCondition(30.0)
    a, b = (
        ThermoFisherRawFileReaderCondition(vendor(V.THERMO_FISHER_RAW_FILE_READER, 1, 10.0, f))
        for f in ("filter A", "filter B")
    )
    assert a == b and hash(a) == hash(b) and a.scan_filter == "filter A"
    assert AgilentMassHunterCondition(None).__hash__() == 31
    assert AgilentMassHunterCondition(30.0).__hash__() == 31 + hash(30.0)
    sciex = SCIEXAnalystCondition(
        vendor_specific_additional_condition=vendor(V.SCIEX_ANALYST, 1, 80.0)
    )
    assert (sciex.experiment_index, sciex.dp) == (1, 80.0)
    assert sciex.__hash__() == hash31(1, 80.0)
    assert ShimadzuIoModuleCondition(vendor(V.SHIMADZU_IO_MODULE, 4)).event_no == 4
    with pytest.raises(AttributeError):
        SCIEXAnalystCondition(30.0)
    assert w != None  # noqa: E711


def test_condition_from_stored_record_with_vendor_and_scan():
    record = stored_condition(
        ms_level=None,
        vendor=vendor(V.WATERS_MASS_LYNX, 2, 30.0),
        scan=scan(T.PRECURSOR, 184.0, Q1, None),
    )
    c = AcquisitionCondition(record)
    assert c.ms_level == 1 and str(c).startswith("MS1+")
    assert [type(x) for x in c.additional_conditions] == [
        WatersMassLynxCondition,
        PrecursorIonScanCondition,
    ]
    assert c.additional_conditions is c.additional_conditions
    swapped = AcquisitionCondition(record)
    swapped.additional_conditions.reverse()
    assert c != swapped


def test_condition_from_description():
    d = description(
        ms_level=None,
        polarity=PolarityTypes.NEGATIVE,
        collision_energy=25.0,
        is_profile_spectrum_measured=None,
        cone_voltage=30.0,
        supplemental_properties={"ConeVoltage": "30", "FragmentorVoltage": "30"},
    )
    c = AcquisitionCondition(argument=d)
    assert c.original_measured_spectrum_type == SpectrumTypes.UNKNOWN
    assert "Original Measured" not in str(c)
    assert [type(x) for x in c.additional_conditions] == [AgilentMassHunterCondition]
    no_voltage = AcquisitionCondition(description(supplemental_properties={"ConeVoltage": "1"}))
    assert no_voltage.additional_conditions == []
    centroid = AcquisitionCondition(description(is_profile_spectrum_measured=False))
    assert centroid.original_measured_spectrum_type == SpectrumTypes.CENTROID
    thermo = AcquisitionCondition(
        description(cone_voltage=12.5, supplemental_properties={"In-SourceCID": 1})
    )
    assert str(thermo.additional_conditions[0]) == "ThermoFisher|RawFileReader: [SID] 12.5"
    with pytest.raises(TypeError):
        AcquisitionCondition(object())


def test_kind_of_source_record_does_not_matter():
    from_description = AcquisitionCondition(
        description(
            ms_level=2,
            polarity=PolarityTypes.POSITIVE,
            collision_energy=35.0,
            precursor_value=445.12,
            is_profile_spectrum_measured=False,
        )
    )
    from_record = AcquisitionCondition(
        stored_condition(ms_level=2, collision_energy=35.0, precursor_value=445.12)
    )
    assert from_description == from_record and hash(from_description) == hash(from_record)


@pytest.mark.parametrize(
    "polarity, sign",
    [
        (PolarityTypes.POSITIVE, "+"),
        (PolarityTypes.NEGATIVE, "-"),
        (PolarityTypes.BOTH, "+/-"),
        (None, ""),
    ],
)
def test_polarity_sign(polarity, sign):
    assert str(AcquisitionCondition(description(ms_level=3, polarity=polarity))) == "MS3" + sign


def test_condition_text_and_hash():
    c = AcquisitionCondition(
        stored_condition(
            ms_level=2,
            polarity=PolarityTypes.NEGATIVE,
            collision_energy=35.0,
            precursor_value=445.12,
            spectrum_type=SpectrumTypes.CENTROID,
            vendor=vendor(V.WATERS_MASS_LYNX, 2, 30.0),
        )
    )
    assert str(c) == (
        "MS2-, [Collision Energy] 35.0, [Precursor Value] 445.12, "
        "[Original Measured Spectrum Type] Centroid; "
        "Waters|MassLynx: [Function Number] 2, [Cone Voltage] 30"
    )
    full = AcquisitionCondition(
        stored_condition(
            polarity=PolarityTypes.BOTH,
            mass_range=ValueRange(50, 1500),
            precursor_range=ValueRange(400, 401),
            spectrum_type=SpectrumTypes.PROFILE,
        )
    )
    assert str(full) == (
        "MS1+/-, [Mass Range] 50.0 - 1500.0, [Precursor Range] 400.0 - 401.0, "
        "[Original Measured Spectrum Type] Profile"
    )
    expected = hash31(
        c.ms_level,
        c.polarity,
        c.collision_energy,
        c.precursor_value,
        c.original_measured_spectrum_type,
        c.precursor_range,
        c.mass_range,
    )
    expected = 31 * expected + hash(tuple(c.additional_conditions))
    assert c.__hash__() == expected
    assert hash(c) == reduced(expected)
    assert c != None and c != "MS2-"  # noqa: E711
