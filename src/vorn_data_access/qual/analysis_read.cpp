#include "analysis_read.hpp"

#include <cmath>

#include "../_glue/positions.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/spectrum_records.hpp"
#include "qual.hpp"
#include "record_access.hpp"

namespace vorn::py {
namespace {

// The package's own reader and records: the block is read without a Python
// call per spectrum. Same reads, same order, same records as the protocol.
nb::list read_natively(nb::handle reader, ContainerReader& core, nb::handle position) {
  const int64_t at = nb::cast<int64_t>(position);
  if (at < 0) throw FormatError("negative file position " + std::to_string(at), 0);
  core.set_buffer(static_cast<uint64_t>(at));
  core.confirm_symbol(static_cast<uint32_t>(Symbol::BEGIN_OF_SPECTRUM_INDEX_BLOCK));
  const uint64_t origin = core.absolute_position();
  const uint32_t count = core.read_u32();
  const bool has_profile = core.read_bool();
  const std::vector<int64_t> positions = core.read_int64_array();
  std::vector<int64_t> profiles;
  if (has_profile) profiles = core.read_int64_array();
  core.set_decompressed_buffer();
  // One table of decoded descriptions for the block, shared by its records.
  SpectrumTable rows;
  rows.reserve(count);
  for (uint32_t i = 0; i < count; ++i) rows.push_back(core.next_spectrum());
  nb::object table = make_spectrum_table(std::move(rows));
  nb::list list = nb::steal<nb::list>(PyList_New(count));
  PyTypeObject* record_type = spectrum_index_type();
  PyTypeObject* description_type = spectrum_description_type();
  for (uint32_t i = 0; i < count; ++i) {
    nb::object desc = new_spectrum_description(description_type, table, i, int64_t{i});
    nb::object rec = new_spectrum_index(record_type, reader, desc);
    auto* r = reinterpret_cast<SpectrumIndexObject*>(rec.ptr());
    r->position_value = absolute_position(positions[i], origin);
    r->has_position_value = true;
    if (has_profile) r->profile_value = absolute_position(profiles[i], origin);
    PyList_SET_ITEM(list.ptr(), i, rec.release().ptr());
  }
  core.reset_decompressed_buffer();
  core.confirm_symbol(static_cast<uint32_t>(Symbol::END_OF_SPECTRUM_INDEX_BLOCK));
  return list;
}

nb::list read_by_protocol(nb::handle reader, nb::handle position) {
  auto op = [&](const char* name) { return reader.attr(name); };
  nb::object symbols = qual_name("VornSymbols");
  op("_VdpFileReader__set_buffer")(position);
  op("_VdpFileReader__confirm_vorn_symbol")(symbols.attr("BEGIN_OF_SPECTRUM_INDEX_BLOCK"));
  nb::object origin = op("_VdpFileReader__get_absolute_position")();
  nb::object num_spectra = op("_VdpFileReader__read_uint32")();
  bool has_profile = truth(op("_VdpFileReader__read_bool")());
  nb::object position_arr = op("_VdpFileReader__read_int64_array")();
  nb::object profile_arr;
  if (has_profile) profile_arr = op("_VdpFileReader__read_int64_array")();
  op("_VdpFileReader__set_decompressed_buffer")();
  nb::object factory = qual_name("SpectrumIndex").attr("_SpectrumIndex__create_instance");
  const Py_ssize_t n = nb::cast<Py_ssize_t>(num_spectra);
  nb::list list;
  for (Py_ssize_t i = 0; i < n; ++i)
    list.append(factory(reader, position_arr[nb::int_(i)] + origin, i));
  if (has_profile)
    for (Py_ssize_t i = 0; i < n; ++i)
      list[i].attr("_SpectrumIndex__set_profile_position")(profile_arr[nb::int_(i)] + origin);
  op("_VdpFileReader__reset_decompressed_buffer")();
  op("_VdpFileReader__confirm_vorn_symbol")(symbols.attr("END_OF_SPECTRUM_INDEX_BLOCK"));
  return list;
}

}  // namespace

nb::list read_spectrum_index_list(nb::handle reader, nb::handle position) {
  VdpFileReader* native = exact<VdpFileReader>(reader);
  if (native &&
      qual_name("SpectrumIndex").ptr() == reinterpret_cast<PyObject*>(spectrum_index_type()) &&
      qual_name("VornSymbols").ptr() == nb::module_::import_("vorn_data_access._internal._enum")
                                            .attr("VornSymbols")
                                            .ptr())
    return read_natively(reader, native->get(), position);
  return read_by_protocol(reader, position);
}

Py_ssize_t nearest_spectrum(nb::handle list, nb::handle retention_time) {
  // Plain floats are compared natively (the same IEEE arithmetic); at the
  // first retention time of another kind the search continues with the
  // interpreter's arithmetic from where it stands.
  bool native = PyFloat_CheckExact(retention_time.ptr()) || PyLong_CheckExact(retention_time.ptr());
  double target = native ? nb::cast<double>(retention_time) : 0.0;
  double best = float_info_max();
  nb::object min_diff;
  if (!native) min_diff = nb::float_(best);
  Py_ssize_t found = -1;
  const Py_ssize_t n = PyObject_Length(list.ptr());
  if (n < 0) throw nb::python_error();
  for (Py_ssize_t i = 0; i < n; ++i) {
    SpectrumEntry e(list[i]);
    double rt;
    if (native && e.retention_time(rt)) {
      double diff = std::fabs(rt - target);
      if (diff < best) {
        best = diff;
        found = i;
      }
      continue;
    }
    nb::object value = e.get(kRetentionTime);
    if (is_none_eq(value)) continue;
    if (native) {
      native = false;
      min_diff = nb::float_(best);
    }
    nb::object diff = nb::steal(PyNumber_Absolute((value - nb::borrow(retention_time)).ptr()));
    if (!diff.is_valid()) throw nb::python_error();
    if (lt(diff, min_diff)) {
      min_diff = diff;
      found = i;
    }
  }
  return found;
}

}  // namespace vorn::py
