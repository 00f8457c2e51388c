// Reading the fields of spectrum index records and spectrum descriptions:
// natively for the package's own records, through the mangled attribute names
// for anything else (subclasses, test doubles).
#pragma once

#include <nanobind/nanobind.h>

#include <string>

#include "../_glue/convert.hpp"
#include "../_glue/python.hpp"
#include "../_glue/records.hpp"

namespace vorn::py {

inline nb::object index_field(nb::handle si, size_t i, const char* name) {
  if (auto* r = exact<SpectrumIndexRecord>(si)) return r->get(i);
  return si.attr((std::string("_SpectrumIndex__") + name).c_str());
}

// One spectrum of an analysis's list: its record and its description.
class SpectrumEntry {
 public:
  explicit SpectrumEntry(nb::handle si)
      : record_(si), description_(index_field(si, SpectrumIndexRecord::kDescription,
                                              "spectrum_description")) {
    native_ = exact<SpectrumDescriptionRecord>(description_);
  }

  nb::handle record() const { return record_; }
  nb::handle description() const { return description_; }
  SpectrumDescriptionRecord* native() const { return native_; }

  nb::object get(size_t field) const {
    if (native_) return native_->get(field);
    return description_.attr(
        (std::string("_InternalSpectrumDescription__") + SpectrumDescriptionRecord::kFields[field])
            .c_str());
  }
  void set(size_t field, nb::handle value) const {
    if (native_)
      native_->set(field, nb::borrow(value));
    else
      nb::setattr(description_,
                  (std::string("_InternalSpectrumDescription__") +
                   SpectrumDescriptionRecord::kFields[field])
                      .c_str(),
                  value);
  }
  // The retention time as a double when it is a float (or decoded one);
  // false when it is None or another kind of object.
  bool retention_time(double& out) const {
    if (native_) return native_->retention_time_double(out);
    nb::object rt = get(SpectrumDescriptionRecord::kRetentionTime);
    if (!PyFloat_CheckExact(rt.ptr())) return false;
    out = PyFloat_AS_DOUBLE(rt.ptr());
    return true;
  }
  nb::object position() const {
    return index_field(record_, SpectrumIndexRecord::kPosition, "position");
  }
  nb::object reader() const { return index_field(record_, SpectrumIndexRecord::kReader, "reader"); }

 private:
  nb::handle record_;
  nb::object description_;
  SpectrumDescriptionRecord* native_ = nullptr;
};

}  // namespace vorn::py
