// Conversions between the core's decoded values and the Python objects the
// records hold. Enumerations, ValueRange and the records themselves are bound
// in other modules; the caller's module imports them before converting.
#pragma once

#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include <optional>
#include <string>

#include "python.hpp"
#include "value_types.hpp"
#include "vorn_core/errors.hpp"
#include "vorn_core/format.hpp"
#include "vorn_core/records.hpp"

namespace vorn::py {

inline nb::object opt(const std::optional<double>& v) {
  return v ? nb::object(nb::float_(*v)) : nb::none();
}
inline nb::object opt(const std::optional<int64_t>& v) {
  return v ? nb::object(nb::int_(*v)) : nb::none();
}
inline nb::object opt(const std::optional<uint32_t>& v) {
  return v ? nb::object(nb::int_(*v)) : nb::none();
}
inline nb::object opt(const std::optional<std::string>& v) {
  return v ? nb::object(nb::str(v->data(), v->size())) : nb::none();
}
inline nb::object opt(const std::optional<bool>& v) {
  return v ? nb::object(nb::bool_(*v)) : nb::none();
}
inline nb::object opt(const std::optional<Range>& r) {
  return r ? nb::cast(ValueRange{r->min, r->max}) : nb::none();
}
template <typename E>
nb::object opt_enum(const std::optional<E>& v) {
  return v ? nb::cast(*v) : nb::none();
}

inline nb::dict to_python(const Properties& p) {
  nb::dict d;
  for (const auto& [key, value] : p) {
    nb::object v = std::visit(
        [](const auto& x) -> nb::object {
          using T = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<T, std::monostate>)
            return nb::none();
          else if constexpr (std::is_same_v<T, bool>)
            return nb::bool_(x);
          else if constexpr (std::is_same_v<T, int64_t>)
            return nb::int_(x);
          else if constexpr (std::is_same_v<T, double>)
            return nb::float_(x);
          else
            return nb::str(x.data(), x.size());
        },
        value);
    d[nb::str(key.data(), key.size())] = v;
  }
  return d;
}

inline nb::object opt(const std::optional<Properties>& p) {
  return p ? nb::object(to_python(*p)) : nb::none();
}

// A dict (or other mapping) of str keys to None, bool, int, float or str.
inline Properties properties_from_python(nb::handle mapping) {
  Properties out;
  if (mapping.is_none()) return out;
  nb::object items = nb::steal(PyMapping_Items(mapping.ptr()));
  if (!items.is_valid()) throw nb::python_error();
  for (nb::handle item : items) {
    nb::handle key = item[0], value = item[1];
    if (!nb::isinstance<nb::str>(key)) throw UsageError("supplemental property keys must be str");
    PropertyValue v;
    if (value.is_none()) {
    } else if (nb::isinstance<nb::bool_>(value)) {
      v = nb::cast<bool>(value);
    } else if (nb::isinstance<nb::int_>(value)) {
      v = nb::cast<int64_t>(value);
    } else if (nb::isinstance<nb::float_>(value)) {
      v = nb::cast<double>(value);
    } else if (nb::isinstance<nb::str>(value)) {
      v = nb::cast<std::string>(value);
    } else {
      throw UsageError("supplemental property '" + nb::cast<std::string>(key) +
                       "' must be None, bool, int, float or str");
    }
    out.emplace_back(nb::cast<std::string>(key), std::move(v));
  }
  return out;
}

}  // namespace vorn::py
