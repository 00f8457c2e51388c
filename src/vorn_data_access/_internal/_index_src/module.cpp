// Module vorn_data_access._internal._index: the index records and the
// factories that read them through a VdpFileReader.
#include <nanobind/nanobind.h>

#include "../../_glue/bind_record.hpp"
#include "../../_glue/errors.hpp"
#include "../../_glue/positions.hpp"
#include "../../_glue/python.hpp"
#include "../../_glue/reader.hpp"
#include "../../_glue/record_objects.hpp"
#include "../../_glue/records.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

ContainerReader& native_reader(nb::handle reader, const char* who) {
  VdpFileReader* r = instance_of<VdpFileReader>(reader);
  if (!r) throw nb::type_error((std::string(who) + " reads from a VdpFileReader").c_str());
  return r->get();
}

nb::object read_jump_table(nb::handle cls, nb::handle reader) {
  // On a cursor of its own: no other thread's reads interleave with the block.
  ContainerReader& reader_core = native_reader(reader, "JumpTable");
  FileCursor core = reader_core.private_cursor();
  core.set_buffer(reader_core.jump_table_position());
  core.confirm_symbol(static_cast<uint32_t>(Symbol::BEGIN_OF_JUMP_TABLE));
  const uint64_t origin = core.absolute_position();
  uint16_t v[6];
  for (uint16_t& x : v) x = core.read_u16();
  if (v[0] != reader_core.major_version() || v[1] != reader_core.minor_version() ||
      v[2] != reader_core.revision_version())
    throw FormatError("jump table version differs from the file header", origin);
  const uint32_t count = core.read_u32();
  if (count > limits::kMeasurements)
    throw FormatError("measurement count " + std::to_string(count) + " exceeds the limit",
                      origin + 12);
  std::vector<int64_t> offsets = core.read_int64_array();
  if (offsets.size() != count)
    throw FormatError("jump table holds " + std::to_string(offsets.size()) + " offsets for " +
                          std::to_string(count) + " measurements",
                      origin + 16);
  core.set_decompressed_buffer();
  nb::list list;
  for (uint32_t i = 0; i < count; ++i) {
    nb::object desc = make_measurement_description(core.next_measurement());
    nb::object mi = make_instance<MeasurementIndexRecord>();
    auto* r = nb::inst_ptr<MeasurementIndexRecord>(mi);
    r->slots[MeasurementIndexRecord::kReader] = nb::borrow(reader);
    r->slots[MeasurementIndexRecord::kPosition] = nb::int_(absolute_position(offsets[i], origin));
    r->slots[MeasurementIndexRecord::kDescription] = desc;
    list.append(mi);
  }
  core.reset_decompressed_buffer();
  core.confirm_symbol(static_cast<uint32_t>(Symbol::END_OF_JUMP_TABLE));

  nb::object jt = make_instance<JumpTableRecord>(cls);
  auto* t = nb::inst_ptr<JumpTableRecord>(jt);
  for (int i = 0; i < 6; ++i) t->slots[static_cast<size_t>(i)] = nb::int_(v[i]);
  t->slots[JumpTableRecord::kCount] = nb::int_(count);
  t->slots[JumpTableRecord::kList] = list;
  return jt;
}

}  // namespace

void register_spectrum_index(nb::module_& m);

}  // namespace vorn::py

NB_MODULE(_index, m) {
  using namespace vorn::py;
  m.doc() = "Index records of the container format and the factories that read them.";
  nb::module_::import_("vorn_data_access._internal._description");
  nb::module_::import_("vorn_data_access._internal._reader");
  register_core_errors();

  auto jump_table = bind_record<JumpTableRecord>(
      m, "The file's top index: format and converter versions and the measurements.");
  def_classmethod(jump_table, "_JumpTable__create_instance", &read_jump_table, nb::arg("cls"),
                  "reader"_a.none());

  bind_record<MeasurementIndexRecord>(
      m, "Where a measurement's function index block is, and its description.");

  auto function_index = bind_record<FunctionIndexRecord>(
      m, "Where a function's spectrum index block is, and its description.");
  def_classmethod(
      function_index, "_FunctionIndex__create_instance",
      [](nb::handle cls, nb::handle reader, nb::object position) {
        nb::object desc =
            make_function_description(native_reader(reader, "FunctionIndex").next_function());
        nb::object o = make_instance<FunctionIndexRecord>(cls);
        auto* r = nb::inst_ptr<FunctionIndexRecord>(o);
        r->slots[FunctionIndexRecord::kReader] = nb::borrow(reader);
        r->slots[FunctionIndexRecord::kPosition] = std::move(position);
        r->slots[FunctionIndexRecord::kDescription] = desc;
        return o;
      },
      nb::arg("cls"), "reader"_a.none(), "position"_a.none());

  register_spectrum_index(m);
}
