// The sequence protocol for classes whose items come from a `get_x(i)`
// method with its own checks: len(), indexing from either end, slices and
// iteration, raising IndexError. Items are fetched through the named method
// (so a subclass's override is used), after the index has been checked here.
#pragma once

#include <nanobind/nanobind.h>

#include <string>

#include "python.hpp"

namespace vorn::py {

namespace nb = nanobind;

// `count(self)` gives the length; `getter` names the method that returns
// item i; `item` is the item's type as the stubs name it, `noun` what an
// item is called in the IndexError message.
template <typename Cls, typename Count>
void def_sequence(Cls& cls, Count count, const char* getter, const char* item, const char* noun) {
  using T = typename Cls::Type;
  const std::string type(item), message = std::string(noun) + " index out of range";
  cls.def(
      "__len__", [count](nb::handle self) { return count(*nb::inst_ptr<T>(self)); },
      nb::sig("def __len__(self) -> int"));
  // Defined with __len__ so that an empty sequence stays true: these objects
  // were true before they had a length.
  cls.def(
      "__bool__", [](nb::handle) { return true; }, nb::sig("def __bool__(self) -> bool"),
      "Always true, whatever the length.");
  cls.def(
      "__getitem__",
      [count, getter](nb::handle self, nb::slice index) {
        auto [start, stop, step, n] =
            index.compute(static_cast<size_t>(count(*nb::inst_ptr<T>(self))));
        nb::object get = self.attr(getter);
        nb::list out;
        for (size_t k = 0; k < n; ++k, start += step) out.append(get(nb::int_(start)));
        return out;
      },
      nb::sig(("def __getitem__(self, index: slice, /) -> list[" + type + "]").c_str()));
  cls.def(
      "__getitem__",
      [count, getter, message](nb::handle self, nb::handle index) {
        nb::object i = nb::steal(PyNumber_Index(index.ptr()));
        if (!i.is_valid()) throw nb::python_error();
        Py_ssize_t k = PyLong_AsSsize_t(i.ptr());
        if (k == -1 && PyErr_Occurred()) {
          PyErr_Clear();
          throw nb::index_error(message.c_str());
        }
        const Py_ssize_t n = static_cast<Py_ssize_t>(count(*nb::inst_ptr<T>(self)));
        if (k < 0) k += n;
        if (k < 0 || k >= n) throw nb::index_error(message.c_str());
        return self.attr(getter)(nb::int_(k));
      },
      nb::sig(("def __getitem__(self, index: typing.SupportsIndex, /) -> " + type).c_str()),
      ("The " + std::string(noun) +
       " at `index` (negative counts from the end); a slice gives "
       "a list.")
          .c_str());
  cls.def(
      "__iter__",
      [count, getter](nb::handle self) {
        nb::object builtins = nb::module_::import_("builtins");
        return builtins.attr("map")(self.attr(getter),
                                    builtins.attr("range")(count(*nb::inst_ptr<T>(self))));
      },
      nb::sig(("def __iter__(self) -> collections.abc.Iterator[" + type + "]").c_str()),
      ("The " + std::string(noun) + "s in order.").c_str());
}

}  // namespace vorn::py
