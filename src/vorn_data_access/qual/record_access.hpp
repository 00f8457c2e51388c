// Reading the fields of spectrum index records and spectrum descriptions:
// natively for the package's own records, through the mangled attribute names
// for anything else (subclasses, test doubles).
#pragma once

#include <nanobind/nanobind.h>

#include <string>

#include "../_glue/python.hpp"
#include "../_glue/spectrum_records.hpp"

namespace vorn::py {

inline nb::object spectrum_index_attr(nb::handle si, const char* name) {
  return si.attr((std::string("_SpectrumIndex__") + name).c_str());
}

inline nb::object spectrum_reader(nb::handle si) {
  if (auto* r = as_spectrum_index(si.ptr())) return nb::borrow(r->reader ? r->reader : Py_None);
  return spectrum_index_attr(si, "reader");
}

inline nb::object spectrum_position(nb::handle si) {
  if (auto* r = as_spectrum_index(si.ptr())) return spectrum_index_position(r, false);
  return spectrum_index_attr(si, "position");
}

inline nb::object spectrum_profile_position(nb::handle si) {
  if (auto* r = as_spectrum_index(si.ptr())) return spectrum_index_position(r, true);
  return spectrum_index_attr(si, "profile_position");
}

inline nb::object spectrum_description_of(nb::handle si) {
  if (auto* r = as_spectrum_index(si.ptr()))
    return nb::borrow(r->description ? r->description : Py_None);
  return spectrum_index_attr(si, "spectrum_description");
}

// One spectrum of an analysis's list: its record and its description.
class SpectrumEntry {
 public:
  explicit SpectrumEntry(nb::handle si) : record_(si), description_(spectrum_description_of(si)) {
    native_ = as_description(description_.ptr());
  }

  nb::handle record() const { return record_; }
  nb::handle description() const { return description_; }
  SpectrumDescriptionObject* native() const { return native_; }

  nb::object get(int field) const {
    if (native_) return description_field(native_, field);
    return description_.attr(
        (std::string("_InternalSpectrumDescription__") + kSpectrumFieldNames[field]).c_str());
  }
  void set(int field, nb::handle value) const {
    if (native_)
      set_description_field(native_, field, value);
    else
      nb::setattr(
          description_,
          (std::string("_InternalSpectrumDescription__") + kSpectrumFieldNames[field]).c_str(),
          value);
  }
  // The retention time as a double when it is a float (decoded or assigned);
  // false when it is None or another kind of object.
  bool retention_time(double& out) const {
    if (native_) return description_retention_time(native_, out);
    nb::object rt = get(kRetentionTime);
    if (!PyFloat_CheckExact(rt.ptr())) return false;
    out = PyFloat_AS_DOUBLE(rt.ptr());
    return true;
  }
  nb::object position() const { return spectrum_position(record_); }
  // The position as an integer, without a Python object for the package's records.
  int64_t position_value() const {
    if (auto* r = as_spectrum_index(record_.ptr())) return spectrum_index_position_value(r);
    return nb::cast<int64_t>(position());
  }

 private:
  nb::handle record_;
  nb::object description_;
  SpectrumDescriptionObject* native_ = nullptr;
};

}  // namespace vorn::py
