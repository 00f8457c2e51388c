#include <nanobind/nanobind.h>

#include <string>

#include "../_glue/bind_record.hpp"
#include "../_glue/display.hpp"
#include "../_glue/positions.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/record_objects.hpp"
#include "../_glue/records.hpp"
#include "access.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

nb::object description(const Measurement& m) {
  return m.slots[Measurement::kMeasurementIndex].attr("_MeasurementIndex__measurement_description");
}

nb::object metadata(const Measurement& m, const char* field) {
  return description(m).attr(("_MeasurementDescription__" + std::string(field)).c_str());
}

// Appends a function to the list of its kind.
void sort_function(Measurement& m, nb::handle fi, nb::handle ms) {
  nb::object fd = fi.attr("_FunctionIndex__function_description");
  size_t list;
  if (truth(fd.attr("_FunctionDescription__is_qual"))) {
    nb::object detector =
        fd.attr("_FunctionDescription__qual_description").attr("_QualDescription__detector_type");
    list = eq(detector, ms) ? Measurement::kQual : Measurement::kDad;
  } else {
    nb::object detector =
        fd.attr("_FunctionDescription__quan_description").attr("_QuanDescription__detector_type");
    list = eq(detector, ms) ? Measurement::kQuan : Measurement::kAnalog;
  }
  m.slots[list].attr("append")(fi);
}

// The package's own reader, record class and symbols: the block is read on a
// private cursor, so other threads' reads cannot interleave with it. Same
// reads, same order, same records as the protocol.
void read_functions_natively(Measurement& m, nb::handle reader, ContainerReader& core, int64_t at,
                             nb::handle ms) {
  if (at < 0) throw FormatError("negative file position " + std::to_string(at), 0);
  FileCursor c = core.private_cursor();
  std::vector<FunctionDescription> functions;
  std::vector<int64_t> offsets;
  uint64_t origin;
  {
    nb::gil_scoped_release release;
    c.set_buffer(static_cast<uint64_t>(at));
    c.confirm_symbol(static_cast<uint32_t>(Symbol::BEGIN_OF_FUNCTION_INDEX_BLOCK));
    origin = c.absolute_position();
    const uint32_t n = c.read_u16_or_32();
    offsets = c.read_int64_array();
    c.set_decompressed_buffer();
    for (uint32_t i = 0; i < n; ++i) functions.push_back(c.next_function());
    c.reset_decompressed_buffer();
    c.confirm_symbol(static_cast<uint32_t>(Symbol::END_OF_FUNCTION_INDEX_BLOCK));
  }
  for (size_t i = 0; i < functions.size(); ++i) {
    nb::object fi = make_instance<FunctionIndexRecord>();
    auto* r = nb::inst_ptr<FunctionIndexRecord>(fi);
    r->slots[FunctionIndexRecord::kReader] = nb::borrow(reader);
    r->slots[FunctionIndexRecord::kPosition] = nb::int_(absolute_position(offsets[i], origin));
    r->slots[FunctionIndexRecord::kDescription] = make_function_description(functions[i]);
    sort_function(m, fi, ms);
  }
}

// Reads the function index block and sorts the functions into the four lists.
void read_functions(Measurement& m, nb::handle reader) {
  nb::object symbols = access_name("VornSymbols");
  nb::object ms = access_name("DetectorTypes").attr("MS");
  nb::object function_index_class = access_name("FunctionIndex");
  nb::object position = m.slots[Measurement::kMeasurementIndex].attr("_MeasurementIndex__position");
  VdpFileReader* native = exact<VdpFileReader>(reader);
  int64_t at;
  if (native && native_position(position.ptr(), at) &&
      function_index_class.is(nb::type<FunctionIndexRecord>()) &&
      symbols.is(nb::module_::import_("vorn_data_access._internal._enum").attr("VornSymbols"))) {
    read_functions_natively(m, reader, native->get(), at, ms);
    return;
  }
  auto call = [&](const char* op) { return reader.attr(op); };
  call("_VdpFileReader__set_buffer")(position);
  call("_VdpFileReader__confirm_vorn_symbol")(symbols.attr("BEGIN_OF_FUNCTION_INDEX_BLOCK"));
  nb::object origin = call("_VdpFileReader__get_absolute_position")();
  nb::object num_functions = call("_VdpFileReader__read_uint16_or_32")();
  nb::object index_arr = call("_VdpFileReader__read_int64_array")();
  call("_VdpFileReader__set_decompressed_buffer")();
  const Py_ssize_t n = nb::cast<Py_ssize_t>(num_functions);
  for (Py_ssize_t i = 0; i < n; ++i) {
    nb::object position = index_arr[nb::int_(i)] + origin;
    sort_function(m, function_index_class.attr("_FunctionIndex__create_instance")(reader, position),
                  ms);
  }
  call("_VdpFileReader__reset_decompressed_buffer")();
  call("_VdpFileReader__confirm_vorn_symbol")(symbols.attr("END_OF_FUNCTION_INDEX_BLOCK"));
}

Py_ssize_t count(const Measurement& m, size_t list) {
  Py_ssize_t n = PyObject_Length(m.slots[list].ptr());
  if (n < 0) throw nb::python_error();
  return n;
}

nb::object analysis(const Measurement& m, size_t list, nb::handle index, const char* cls,
                    const char* factory) {
  if (lt(index, nb::int_(0)) || ge(index, nb::int_(count(m, list))))
    raise_exception("Index out of range");
  return access_name(cls).attr(factory)(m.slots[list][index], index);
}

nb::str measurement_text(const Measurement& m) {
  nb::list parts;
  nb::str empty("");
  nb::object sample_name = metadata(m, "sample_name");
  if (!is_none_eq(sample_name) && ne(sample_name, empty))
    parts.append(nb::str("[Sample Name] ") + text(sample_name) + nb::str(", "));
  nb::object sample_id = metadata(m, "sample_id");
  if (!is_none_eq(sample_id) && ne(sample_id, empty))
    parts.append(nb::str("[Sample ID] ") + text(sample_id) + nb::str(", "));
  std::string counts = "[#Qual] " + std::to_string(count(m, Measurement::kQual)) + ", [#Quan] " +
                       std::to_string(count(m, Measurement::kQuan)) + ", [#DAD] " +
                       std::to_string(count(m, Measurement::kDad)) + ", [#Analog] " +
                       std::to_string(count(m, Measurement::kAnalog));
  parts.append(nb::str(counts.c_str()));
  return nb::str(empty.attr("join")(parts));
}

}  // namespace

void register_measurement(nb::module_& m) {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(refuse_new)},
      {Py_tp_traverse, reinterpret_cast<void*>(record_traverse<Measurement>)},
      {Py_tp_clear, reinterpret_cast<void*>(record_clear<Measurement>)},
      {0, nullptr}};
  nb::class_<Measurement> cls(
      m, "Measurement",
      "One measurement (injection) of a container file: its metadata and its analyses.",
      nb::type_slots(slots));
  for (size_t i = 0; i < Measurement::kFields.size(); ++i) {
    std::string name = std::string("_Measurement__") + Measurement::kFields[i];
    cls.def_prop_rw(
        name.c_str(),
        [i](Measurement& x) { return x.slots[i].is_valid() ? x.slots[i] : nb::none(); },
        [i](Measurement& x, nb::object v) { x.slots[i] = std::move(v); },
        nb::for_setter(nb::arg("value").none()));
  }
  def_classmethod(
      cls, "_Measurement__create_instance",
      [](nb::handle c, nb::object measurement_index, nb::object index) {
        nb::object o = make_instance<Measurement>(c);
        auto* x = nb::inst_ptr<Measurement>(o);
        x->slots[Measurement::kMeasurementIndex] = measurement_index;
        x->slots[Measurement::kIndex] = index;
        for (size_t list :
             {Measurement::kQual, Measurement::kDad, Measurement::kQuan, Measurement::kAnalog})
          x->slots[list] = nb::list();
        read_functions(*x, measurement_index.attr("_MeasurementIndex__reader"));
        return o;
      },
      nb::arg("cls"), "measurement_index"_a.none(), "index"_a.none());
  cls.def(
      "_Measurement__read", [](Measurement& x, nb::handle reader) { read_functions(x, reader); },
      "reader"_a.none());
  cls.def_prop_ro(
      "index", [](Measurement& x) { return x.slots[Measurement::kIndex]; },
      "Position of the measurement in its file.");
  for (const char* field : kMeasurementFieldNames)
    cls.def_prop_ro(
        field, [field](Measurement& x) { return metadata(x, field); },
        "Metadata field of the same name, as stored (None when absent).");

  struct Kind {
    const char* name;
    size_t list;
    const char* cls;
    const char* factory;
  };
  static const Kind kinds[] = {
      {"qual", Measurement::kQual, "QualAnalysis", "_QualAnalysis__create_instance"},
      {"dad", Measurement::kDad, "DADAnalysis", "_DADAnalysis__create_instance"},
      {"quan", Measurement::kQuan, "QuanAnalysis", "_QuanAnalysis__create_instance"},
      {"analog", Measurement::kAnalog, "AnalogAnalysis", "_AnalogAnalysis__create_instance"},
  };
  for (const Kind& k : kinds) {
    std::string count_name = std::string("get_") + k.name + "_analysis_count";
    std::string get_name = std::string("get_") + k.name + "_analysis";
    cls.def(
        count_name.c_str(), [&k](Measurement& x) { return count(x, k.list); },
        "Number of analyses of this kind.");
    cls.def(
        get_name.c_str(),
        [&k](Measurement& x, nb::handle index) {
          return analysis(x, k.list, index, k.cls, k.factory);
        },
        "index"_a.none(), "A new analysis of this kind at `index` (0 to count - 1).");
  }
  cls.def("__str__", &measurement_text).def("__repr__", &measurement_text);
  // The analyses of each kind as sequences: len(), indexes from either end,
  // slices and iteration over the getters above.
  static const std::pair<const char*, const char*> sequences[] = {
      {"qual", "vorn_data_access.qual.QualAnalysis"},
      {"dad", "vorn_data_access.qual.DADAnalysis"},
      {"quan", "vorn_data_access.quan.QuanAnalysis"},
      {"analog", "vorn_data_access.quan.AnalogAnalysis"}};
  for (const auto& [kind, type] : sequences) {
    std::string name = std::string(kind) + "_analyses";
    std::string count = std::string("get_") + kind + "_analysis_count";
    std::string get = std::string("get_") + kind + "_analysis";
    std::string noun = std::string(kind) + " analysis";
    cls.def_prop_ro(
        name.c_str(),
        [count, get, noun](nb::handle self) {
          return nb::module_::import_("vorn_data_access.sequences")
              .attr("IndexedSequence")(self.attr(count.c_str()), self.attr(get.c_str()),
                                       nb::str(noun.c_str()));
        },
        nb::sig(
            ("def " + name + "(self) -> vorn_data_access.sequences.IndexedSequence[" + type + "]")
                .c_str()),
        ("The " + std::string(kind) +
         " analyses as a sequence: len(), indexes from either end, slices, iteration.")
            .c_str());
  }
  def_displays(cls);
}

}  // namespace vorn::py
