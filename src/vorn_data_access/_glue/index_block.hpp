// Reading a function's spectrum index block into SpectrumIndex records, for
// the MS, diode-array, quantitative and analog analyses alike.
//
// With the package's own reader, records and symbols, the block is read on a
// private cursor with the GIL released: other threads' reads can neither
// interleave with it nor be interleaved by it. Anything else (a reader or
// record class given from Python) is driven through the reader protocol's
// mangled members, in the same order, one thread at a time.
#pragma once

#include <nanobind/nanobind.h>

#include <cstdint>
#include <string>
#include <vector>

#include "positions.hpp"
#include "python.hpp"
#include "reader.hpp"
#include "spectrum_records.hpp"
#include "vorn_core/file_cursor.hpp"

namespace vorn::py {

namespace nb = nanobind;

struct SpectrumIndexBlock {
  uint64_t origin = 0;
  std::vector<int64_t> positions;
  std::vector<int64_t> profiles;  // empty when the block stores no profiles
  bool has_profile = false;
  SpectrumTable rows;
};

// The reads of the protocol, in its order, on one cursor.
inline SpectrumIndexBlock read_spectrum_index_block(FileCursor& c, uint64_t position) {
  SpectrumIndexBlock b;
  c.set_buffer(position);
  c.confirm_symbol(static_cast<uint32_t>(Symbol::BEGIN_OF_SPECTRUM_INDEX_BLOCK));
  b.origin = c.absolute_position();
  const uint32_t count = c.read_u32();
  b.has_profile = c.read_bool();
  b.positions = c.read_int64_array();
  if (b.has_profile) b.profiles = c.read_int64_array();
  c.set_decompressed_buffer();
  b.rows.reserve(count);
  for (uint32_t i = 0; i < count; ++i) b.rows.push_back(c.next_spectrum());
  c.reset_decompressed_buffer();
  c.confirm_symbol(static_cast<uint32_t>(Symbol::END_OF_SPECTRUM_INDEX_BLOCK));
  return b;
}

inline nb::list spectrum_index_list_natively(nb::handle reader, ContainerReader& core,
                                             nb::handle position) {
  const int64_t at = nb::cast<int64_t>(position);
  if (at < 0) throw FormatError("negative file position " + std::to_string(at), 0);
  FileCursor cursor = core.private_cursor();
  SpectrumIndexBlock b;
  {
    nb::gil_scoped_release release;
    b = read_spectrum_index_block(cursor, static_cast<uint64_t>(at));
  }
  const auto count = static_cast<Py_ssize_t>(b.rows.size());
  // One table of decoded descriptions for the block, shared by its records.
  nb::object table = make_spectrum_table(std::move(b.rows));
  nb::list list = nb::steal<nb::list>(PyList_New(count));
  PyTypeObject* record_type = spectrum_index_type();
  PyTypeObject* description_type = spectrum_description_type();
  for (Py_ssize_t i = 0; i < count; ++i) {
    const auto k = static_cast<size_t>(i);
    nb::object desc = new_spectrum_description(description_type, table, i, int64_t{i});
    nb::object rec = new_spectrum_index(record_type, reader, desc);
    auto* r = reinterpret_cast<SpectrumIndexObject*>(rec.ptr());
    r->position_value = absolute_position(b.positions[k], b.origin);
    r->has_position_value = true;
    if (b.has_profile) r->profile_value = absolute_position(b.profiles[k], b.origin);
    PyList_SET_ITEM(list.ptr(), i, rec.release().ptr());
  }
  return list;
}

inline nb::list spectrum_index_list_by_protocol(nb::handle reader, nb::handle position,
                                                nb::handle spectrum_index, nb::handle symbols) {
  auto op = [&](const char* name) { return reader.attr(name); };
  op("_VdpFileReader__set_buffer")(position);
  op("_VdpFileReader__confirm_vorn_symbol")(symbols.attr("BEGIN_OF_SPECTRUM_INDEX_BLOCK"));
  nb::object origin = op("_VdpFileReader__get_absolute_position")();
  nb::object num_spectra = op("_VdpFileReader__read_uint32")();
  bool has_profile = truth(op("_VdpFileReader__read_bool")());
  nb::object position_arr = op("_VdpFileReader__read_int64_array")();
  nb::object profile_arr;
  if (has_profile) profile_arr = op("_VdpFileReader__read_int64_array")();
  op("_VdpFileReader__set_decompressed_buffer")();
  nb::object factory = spectrum_index.attr("_SpectrumIndex__create_instance");
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

// The records of the block at `position`, made by `spectrum_index` (the
// calling module's SpectrumIndex) with markers from `symbols` (its
// VornSymbols), both as looked up by the caller now.
inline nb::list read_spectrum_index_list(nb::handle reader, nb::handle position,
                                         nb::handle spectrum_index, nb::handle symbols) {
  VdpFileReader* native = exact<VdpFileReader>(reader);
  if (native && spectrum_index.ptr() == reinterpret_cast<PyObject*>(spectrum_index_type()) &&
      symbols.ptr() ==
          nb::module_::import_("vorn_data_access._internal._enum").attr("VornSymbols").ptr())
    return spectrum_index_list_natively(reader, native->get(), position);
  return spectrum_index_list_by_protocol(reader, position, spectrum_index, symbols);
}

}  // namespace vorn::py
