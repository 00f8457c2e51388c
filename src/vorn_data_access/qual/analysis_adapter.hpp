// The adapter between an analysis's records and the core's analysis layer.
// It fills the core's spectrum table from the analysis's spectrum index list
// (straight from the package's own records, through the mangled names for
// records given from Python), numbers the spectra's acquisition conditions
// by identity, and makes the spectrum source a kernel reads: the file's
// blocks for the package's own reader, reads through the reader protocol
// for a reader given from Python. Either way the same kernel runs.
#pragma once

#include <nanobind/nanobind.h>

#include <functional>
#include <memory>
#include <vector>

#include "../_glue/python.hpp"
#include "qual.hpp"
#include "record_access.hpp"
#include "vorn_core/analysis/condition_ids.hpp"
#include "vorn_core/analysis/spectrum_source.hpp"
#include "vorn_core/analysis/spectrum_table.hpp"
#include "vorn_core/mapped_file.hpp"

namespace vorn::py {

namespace nb = nanobind;

// The columns a kernel needs. Retention times are always read (every kernel
// skips spectra without one); the other columns only for spectra that have
// one.
struct Columns {
  bool conditions = false;
  // Times that are not numbers raise the interpreter's TypeError (for
  // kernels that compute with every time), instead of counting as NaN.
  bool strict_times = false;
  // The data block positions the package's own records hold as integers,
  // read while each record is at hand (others are asked later, and only for
  // the spectra read, as before).
  bool positions = false;
  // Whether rows keep their records for later: not for a kernel that uses
  // each row as it is filled (`each`) and nothing after.
  bool records = true;
};

class SpectrumRows {
 public:
  // Called with each row as soon as it is filled, while its record is at
  // hand: a kernel that uses rows one at a time reads each record once.
  using EachRow =
      std::function<void(const SpectrumRows& rows, size_t row, const SpectrumEntry& entry)>;

  SpectrumRows(nb::handle spectrum_index_list, Columns columns, const EachRow& each = nullptr);

  analysis::SpectrumTable table;

  size_t size() const { return table.size(); }
  // Row r's record (a SpectrumIndex) and its fields (rows that keep their
  // records only).
  nb::handle record(size_t r) const { return records_[r]; }
  SpectrumEntry entry(size_t r) const { return SpectrumEntry(records_[r]); }
  // Row r's data block position: from the table when the fill read it.
  int64_t position(size_t r) const;
  // Whether row r's time is a plain float, held exactly by the table.
  bool exact_time(size_t r) const { return exact_time_[r] != 0; }
  // The condition object numbered `id`.
  nb::handle condition(uint32_t id) const { return conditions_[id]; }
  size_t condition_count() const { return conditions_.size(); }

 private:
  std::vector<nb::object> records_;
  std::vector<uint8_t> exact_time_;
  analysis::ConditionIds ids_;
  std::vector<nb::object> conditions_;  // by id; holding them keeps their addresses
};

// One question about acquisition condition objects, answered once per
// object (numbered by the core's ConditionIds) unless the object is the
// package's own AcquisitionCondition, whose answer costs less than
// remembering it.
class ConditionMemo {
 public:
  template <typename Ask>
  bool get(nb::handle condition, Ask&& ask) {
    if (exact<AcquisitionCondition>(condition)) return ask(condition);
    bool added;
    const uint32_t id = ids_.of_object(reinterpret_cast<uintptr_t>(condition.ptr()), added);
    if (added) held_.push_back(nb::borrow(condition));  // keeps the address from being reused
    return answers_.get(id, 0, [&](uint32_t, size_t) { return ask(condition); });
  }

 private:
  analysis::ConditionIds ids_;
  analysis::ConditionAnswers answers_{1};
  std::vector<nb::object> held_;
};

// A spectrum's points as doubles: natively from the package's own point
// list, attribute by attribute from any other sequence of points.
void points_of(nb::handle point_list, analysis::Points& out);

// How spectra are read through the reader protocol.
enum class ProtocolRead {
  kSpectrum,     // __read_spectrum()
  kAbsorbance,   // __read_dad_spectrum(wavelength_arr), or __read_spectrum() without one
  kMultipleXic,  // __read_[dad_]spectrum_for_multiple_xic(xic_arr[, wavelength_arr])
};

// The spectra at `rows` of an analysis read by `reader`, as a kernel's
// source. Holds what the source points to.
class RowSource {
 public:
  // `wavelength_arr`: the function's wavelength array object, or None;
  // `xic_arr`: the list of XicInfo for kMultipleXic. `may_decode`: whether
  // the file's blocks may stand in for the protocol when the reader is the
  // package's own (not when other objects of the protocol came from Python).
  RowSource(const SpectrumRows& spectra, std::vector<size_t> rows, nb::handle reader,
            ProtocolRead how, nb::handle wavelength_arr = nb::none(),
            nb::handle xic_arr = nb::handle(), bool may_decode = true);
  RowSource(const RowSource&) = delete;  // the source points into it
  RowSource& operator=(const RowSource&) = delete;

  const analysis::SpectrumSource& source() const { return source_; }
  const std::vector<size_t>& rows() const { return rows_; }
  bool native() const { return source_.concurrent(); }
  // The function's wavelengths as doubles (when it has any).
  const std::vector<double>* wavelengths() const { return has_wl_ ? &wl_ : nullptr; }

 private:
  std::vector<size_t> rows_;
  std::shared_ptr<const MappedFile> file_;
  std::vector<int64_t> positions_;
  std::vector<double> wl_;
  bool has_wl_ = false;
  nb::object reader_, wl_object_, xic_arr_;
  analysis::SpectrumSource source_;
};

}  // namespace vorn::py
