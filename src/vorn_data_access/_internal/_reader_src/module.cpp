// Module vorn_data_access._internal._reader: the reader, XIC extraction
// records and spectrum point lists.
#include <nanobind/nanobind.h>

#include "../../_glue/bind_record.hpp"
#include "../../_glue/errors.hpp"
#include "../../_glue/python.hpp"
#include "../../_glue/records.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
void register_point_list(nb::module_& m);
void register_reader(nb::module_& m);
}  // namespace vorn::py

NB_MODULE(_reader, m) {
  using namespace vorn::py;
  m.doc() = "The container reader, XIC extraction records and spectrum point lists.";
  nb::module_::import_("vorn_data_access.common");
  nb::module_::import_("vorn_data_access._internal._enum");
  register_core_errors();
  register_point_list(m);
  register_reader(m);
  auto xic_info =
      bind_record<XicInfoRecord>(m, "One extraction range and the points a read found in it.");
  def_classmethod(
      xic_info, "_XicInfo__create_instance",
      [](nb::handle cls, nb::object value_range) {
        nb::object o = make_instance<XicInfoRecord>(cls);
        auto* r = nb::inst_ptr<XicInfoRecord>(o);
        r->slots[XicInfoRecord::kRange] = std::move(value_range);
        r->slots[XicInfoRecord::kSpectrumPoint] = nb::list();
        r->slots[XicInfoRecord::kIsBreakToRead] = nb::bool_(false);
        r->slots[XicInfoRecord::kXic] = nb::list();
        return o;
      },
      nb::arg("cls"), "value_range"_a.none());
}
