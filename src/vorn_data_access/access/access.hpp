// Module vorn_data_access.access: VornFile and Measurement.
#pragma once

#include <nanobind/nanobind.h>

#include <array>

namespace vorn::py {

namespace nb = nanobind;

// A collaborator by its module-level name, looked up when used, so that
// replacing `access.VdpFileReader` (or any other) takes effect at once.
nb::object access_name(const char* name);

struct VornFile {
  enum Field { kFilePath, kReader, kJumpTable };
  static constexpr const char* kName = "VornFile";
  static constexpr std::array<const char*, 3> kFields = {"file_path", "reader", "jump_table"};
  std::array<nb::object, 3> slots;
  ~VornFile();
};

struct Measurement {
  enum Field { kMeasurementIndex, kIndex, kQual, kDad, kQuan, kAnalog };
  static constexpr const char* kName = "Measurement";
  static constexpr std::array<const char*, 6> kFields = {"measurement_index", "index",
                                                         "qual_index_list",   "dad_index_list",
                                                         "quan_index_list",   "analog_index_list"};
  std::array<nb::object, 6> slots;
};

void register_vorn_file(nb::module_& m);
void register_measurement(nb::module_& m);

}  // namespace vorn::py
