from records_by_hand import stored_condition

from vorn_data_access.common import ValueRange
from vorn_data_access.qual import AcquisitionCondition, ChromatogramFilterOption


def test_text_follows_the_current_values():
    c = AcquisitionCondition(stored_condition())
    o = ChromatogramFilterOption(c, ValueRange(100.0, 101.0))
    base = (
        "[AcquisitionCondition] MS1+, [Original Measured Spectrum Type] Centroid, "
        "[Extract m/z Range] 100.0 - 101.0"
    )
    assert str(o) == repr(o) == base
    o.retention_time_range = ValueRange(1.0, 2.0)
    assert str(o) == base + ", [Retention Time Range] 1.0 - 2.0"
    o.retention_time_range = None
    assert str(o) == base
    o.acquisition_condition = None
    assert str(o).startswith("[AcquisitionCondition] None, ")


def test_values_are_stored_unchecked_and_options_compare_by_identity():
    o = ChromatogramFilterOption(
        acquisition_condition="x", extract_mz_range=3, retention_time_range=[1]
    )
    assert (o.acquisition_condition, o.extract_mz_range, o.retention_time_range) == ("x", 3, [1])
    c = AcquisitionCondition(stored_condition())
    a, b = (
        ChromatogramFilterOption(c, ValueRange(1, 2)),
        ChromatogramFilterOption(c, ValueRange(1, 2)),
    )
    assert a != b and len({a, b}) == 2
