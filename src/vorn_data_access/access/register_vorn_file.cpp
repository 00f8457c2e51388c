#include <nanobind/nanobind.h>

#include "../_glue/bind_record.hpp"
#include "../_glue/display.hpp"
#include "../_glue/python.hpp"
#include "../_glue/sequence.hpp"
#include "access.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

void close_reader(nb::handle reader) {
  nb::object stream = reader.attr("_VdpFileReader__stream");
  if (!truth(stream.attr("closed"))) stream.attr("close")();
}

void close_file(VornFile& f) {
  if (f.slots[VornFile::kReader].is_valid()) close_reader(f.slots[VornFile::kReader]);
}

nb::str join_version(nb::handle jt, const char* a, const char* b, const char* c) {
  nb::str dot(".");
  return nb::str(
      dot.attr("join")(nb::make_tuple(text(jt.attr(a)), text(jt.attr(b)), text(jt.attr(c)))));
}

}  // namespace

// Closing when finalised. Errors cannot propagate from a finaliser; an error
// already being raised is kept.
VornFile::~VornFile() {
  if (!slots[kReader].is_valid() || !Py_IsInitialized()) return;
  PyObject *type, *value, *trace;
  PyErr_Fetch(&type, &value, &trace);
  try {
    close_file(*this);
  } catch (...) {
  }
  PyErr_Clear();
  PyErr_Restore(type, value, trace);
}

void register_vorn_file(nb::module_& m) {
  static PyType_Slot gc_slots[] = {
      {Py_tp_traverse, reinterpret_cast<void*>(record_traverse<VornFile>)},
      {Py_tp_clear, reinterpret_cast<void*>(record_clear<VornFile>)},
      {0, nullptr}};
  nb::class_<VornFile> cls(
      m, "VornFile",
      "An open container file. Use it in a ``with`` block; it hands out the file's measurements.",
      nb::type_slots(gc_slots));
  for (size_t i = 0; i < VornFile::kFields.size(); ++i) {
    std::string name = std::string("_VornFile__") + VornFile::kFields[i];
    cls.def_prop_rw(
        name.c_str(), [i](VornFile& f) { return f.slots[i].is_valid() ? f.slots[i] : nb::none(); },
        [i](VornFile& f, nb::object v) { f.slots[i] = std::move(v); },
        nb::for_setter(nb::arg("value").none()));
  }
  cls.def(
         "__init__",
         [](VornFile* self, nb::object file_path) {
           nb::object reader =
               access_name("VdpFileReader").attr("_VdpFileReader__create_instance")(file_path);
           nb::object jump_table =
               access_name("JumpTable").attr("_JumpTable__create_instance")(reader);
           auto* f = new (self) VornFile();
           f->slots[VornFile::kFilePath] = file_path;
           f->slots[VornFile::kReader] = reader;
           f->slots[VornFile::kJumpTable] = jump_table;
         },
         "file_path"_a.none(), "Opens the container file at `file_path` and reads its jump table.")
      .def(
          "__enter__", [](nb::handle self) { return nb::borrow(self); }, "Returns the file itself.")
      .def(
          "__exit__", [](VornFile& f, nb::handle, nb::handle, nb::handle) { close_file(f); },
          "ex_type"_a.none(), "ex_value"_a.none(), "trace"_a.none(),
          "Closes the file; an exception raised in the block propagates.")
      .def(
          "__del__",
          [](nb::handle self) {
            if (nb::inst_ready(self)) close_file(*nb::inst_ptr<VornFile>(self));
          },
          "Closes the file if it is still open.")
      .def("close", &close_file, "Closes the file. Closing again does nothing.")
      .def_prop_ro(
          "file_path", [](VornFile& f) { return f.slots[VornFile::kFilePath]; },
          "The path exactly as given to the constructor.")
      .def("__str__", [](VornFile& f) { return f.slots[VornFile::kFilePath]; })
      .def("__repr__", [](VornFile& f) { return f.slots[VornFile::kFilePath]; })
      .def(
          "get_file_format_version",
          [](VornFile& f) {
            return join_version(f.slots[VornFile::kJumpTable], "_JumpTable__major_version",
                                "_JumpTable__minor_version", "_JumpTable__revision_version");
          },
          "The container format version, as text such as 1.0.0.")
      .def(
          "get_converter_version",
          [](VornFile& f) {
            return join_version(f.slots[VornFile::kJumpTable], "_JumpTable__major_lib_version",
                                "_JumpTable__minor_lib_version",
                                "_JumpTable__revision_lib_version");
          },
          "The version of the program that wrote the file, as text.")
      .def(
          "get_measurement_count",
          [](VornFile& f) {
            return f.slots[VornFile::kJumpTable].attr("_JumpTable__num_measurements");
          },
          "Number of measurements in the file.")
      .def(
          "get_measurement",
          [](VornFile& f, nb::object index) {
            nb::handle jt = f.slots[VornFile::kJumpTable];
            if (lt(index, nb::int_(0)) || ge(index, jt.attr("_JumpTable__num_measurements")))
              raise_as(access_name("VornException"), "Index out of range");
            nb::object mi = jt.attr("_JumpTable__measurement_index_list")[index];
            return access_name("Measurement").attr("_Measurement__create_instance")(mi, index);
          },
          "index"_a.none(), "A new Measurement for the measurement at `index` (0 to count - 1).");
  def_sequence(
      cls,
      [](const VornFile& f) {
        return nb::cast<Py_ssize_t>(
            f.slots[VornFile::kJumpTable].attr("_JumpTable__num_measurements"));
      },
      "get_measurement", "Measurement", "measurement");
  def_displays(cls);
  cls.def(
      "__reduce__",
      [](nb::handle self) {
        VornFile& f = *nb::inst_ptr<VornFile>(self);
        nb::handle reader = f.slots[VornFile::kReader];
        if (!reader.is_valid() || truth(reader.attr("_VdpFileReader__stream").attr("closed")))
          throw nb::type_error("a closed VornFile cannot be pickled");
        return nb::make_tuple(nb::borrow(self.type()),
                              nb::make_tuple(f.slots[VornFile::kFilePath]));
      },
      nb::sig("def __reduce__(self) -> tuple[type[VornFile], tuple[object]]"),
      "Pickles an open file as its path: unpickling opens the file again, so a file (and the "
      "indexes of what to read from it) can go to another process.");
}

}  // namespace vorn::py
