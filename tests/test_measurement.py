import pytest

from vorn_data_access import access
from vorn_data_access.writer import VornWriter


def test_direct_construction_is_refused():
    with pytest.raises(Exception, match="^Inaccessible due to protection level$"):
        access.Measurement()


def test_functions_are_sorted_by_kind_in_block_order(small_file):
    with access.VornFile(str(small_file)) as f:
        m = f.get_measurement(0)
        assert (m.get_qual_analysis_count(), m.get_dad_analysis_count()) == (2, 1)
        assert (m.get_quan_analysis_count(), m.get_analog_analysis_count()) == (0, 0)
        quals = m._Measurement__qual_index_list
        props = [
            q._FunctionIndex__function_description._FunctionDescription__qual_description._QualDescription__supplemental_properties
            for q in quals
        ]
        assert props == [{"Name": "MS1"}, {}]


def test_text_form(small_file):
    with access.VornFile(str(small_file)) as f:
        m = f.get_measurement(0)
        expected = (
            "[Sample Name] Blank, [Sample ID] S1, [#Qual] 2, [#Quan] 0, [#DAD] 1, [#Analog] 0"
        )
        assert str(m) == repr(m) == expected
        assert str(f.get_measurement(1)) == "[#Qual] 0, [#Quan] 0, [#DAD] 0, [#Analog] 0"


@pytest.mark.parametrize(
    "name, sample_id, expected",
    [
        (None, "", "[#Qual] 0"),
        ("", "X", "[Sample ID] X, [#Qual] 0"),
        ("Blank", None, "[Sample Name] Blank, [#Qual] 0"),
    ],
)
def test_text_form_leaves_out_missing_sample_fields(tmp_path, name, sample_id, expected):
    path = tmp_path / "m.vdp"
    with VornWriter(path) as w:
        w.add_measurement(sample_name=name, sample_id=sample_id)
    with access.VornFile(str(path)) as f:
        assert str(f.get_measurement(0)).startswith(expected)


def test_no_functions_means_every_getter_is_out_of_range(small_file):
    with access.VornFile(str(small_file)) as f:
        m = f.get_measurement(1)
        for get in (
            m.get_qual_analysis,
            m.get_dad_analysis,
            m.get_quan_analysis,
            m.get_analog_analysis,
        ):
            with pytest.raises(Exception, match="^Index out of range$") as e:
                get(0)
            assert type(e.value) is Exception


def test_analyses_are_built_through_the_module_level_factories(small_file, monkeypatch):
    calls = []

    class FakeQual:
        @classmethod
        def _QualAnalysis__create_instance(cls, function_index, index):
            calls.append((function_index, index))
            return object()

    monkeypatch.setattr(access, "QualAnalysis", FakeQual)
    with access.VornFile(str(small_file)) as f:
        m = f.get_measurement(0)
        a, b = m.get_qual_analysis(1), m.get_qual_analysis(1)
        assert a is not b
        assert calls[0] == (m._Measurement__qual_index_list[1], 1)
        with pytest.raises(Exception, match="Index out of range"):
            m.get_qual_analysis(-1)
        with pytest.raises(Exception, match="Index out of range"):
            m.get_qual_analysis(2)


def test_metadata_properties_return_the_stored_objects(tmp_path):
    path = tmp_path / "meta.vdp"
    fields = dict(
        hash="abc123",
        sample_name="Sample",
        sample_id="ID-1",
        acquisition_method_file_name="method.m",
        dilution_factor=2.5,
        injection_volume=10.0,
        original_file_path="C:\\data\\run.raw",
        instrument_product_name="Q Exactive",
        measurement_user_name="operator",
        plate_code="P1",
        well_code="B7",
        measurement_date_time="2024-05-01T10:00:00",
        instrument_manufacturer="Thermo Fisher Scientific",
        source_file_definition="mzML",
        supplemental_properties={"Column": "C18", "Temperature": 40.0, "Runs": 3, "Ok": True},
    )
    with VornWriter(path) as w:
        w.add_measurement(**fields)
    with access.VornFile(str(path)) as f:
        m = f.get_measurement(0)
        for name, value in fields.items():
            assert getattr(m, name) == value
        assert m.supplemental_properties is m.supplemental_properties
        desc = m._Measurement__measurement_index._MeasurementIndex__measurement_description
        assert m.sample_name is desc._MeasurementDescription__sample_name
