// Reads everything in a container through the core reader, the way the
// Python layer does: jump table, function index blocks, spectrum index blocks
// with every description, every spectrum and profile spectrum whole and by
// window. Shared by the fuzz targets and their regression replay.
#pragma once

#include <cstdint>
#include <vector>

#include "vorn_core/container_reader.hpp"
#include "vorn_core/errors.hpp"
#include "vorn_core/spectrum_block.hpp"

namespace vorn::fuzz {

inline uint64_t at(int64_t offset, uint64_t origin) {
  int64_t sum;
  if (__builtin_add_overflow(offset, static_cast<int64_t>(origin), &sum) || sum < 0)
    throw FormatError("bad offset", origin);
  return static_cast<uint64_t>(sum);
}

inline void read_spectrum_data(ContainerReader& r, uint64_t position) {
  r.set_buffer(position);
  SpectrumPoints p = r.read_spectrum();
  (void)p;
  SpectrumBlock block(r.file()->bytes(), position);
  auto [c0, c1] = block.chunks_for(100.0, 100.5);
  block.require_frames(c0, c1);
  std::vector<uint8_t> x(8 * 65536), y(8 * 65536);
  for (size_t c = c0; c < c1; ++c)
    if (block.chunks()[c].points <= 65536) {
      if (block.has_x()) block.decode_x(c, x.data());
      block.decode_intensity(c, y.data());
    }
  r.set_buffer(position);
  r.read_spectrum_window(200.0, 300.0);
}

inline void walk(ContainerReader& r) {
  r.set_buffer(r.jump_table_position());
  r.confirm_symbol(static_cast<uint32_t>(Symbol::BEGIN_OF_JUMP_TABLE));
  const uint64_t origin = r.absolute_position();
  for (int i = 0; i < 6; ++i) r.read_u16();
  const uint32_t m = r.read_u32();
  const std::vector<int64_t> measurements = r.read_int64_array();
  r.set_decompressed_buffer();
  for (uint32_t i = 0; i < m; ++i) r.next_measurement();
  r.reset_decompressed_buffer();
  r.confirm_symbol(static_cast<uint32_t>(Symbol::END_OF_JUMP_TABLE));
  for (uint32_t i = 0; i < m && i < measurements.size(); ++i) {
    r.set_buffer(at(measurements[i], origin));
    r.confirm_symbol(static_cast<uint32_t>(Symbol::BEGIN_OF_FUNCTION_INDEX_BLOCK));
    const uint64_t fo = r.absolute_position();
    const uint32_t f = r.read_u16_or_32();
    const std::vector<int64_t> functions = r.read_int64_array();
    r.set_decompressed_buffer();
    for (uint32_t k = 0; k < f; ++k) r.next_function();
    r.reset_decompressed_buffer();
    r.confirm_symbol(static_cast<uint32_t>(Symbol::END_OF_FUNCTION_INDEX_BLOCK));
    for (uint32_t k = 0; k < f && k < functions.size(); ++k) {
      r.set_buffer(at(functions[k], fo));
      r.confirm_symbol(static_cast<uint32_t>(Symbol::BEGIN_OF_SPECTRUM_INDEX_BLOCK));
      const uint64_t so = r.absolute_position();
      const uint32_t s = r.read_u32();
      const bool profile = r.read_bool();
      const std::vector<int64_t> positions = r.read_int64_array();
      std::vector<int64_t> profiles;
      if (profile) profiles = r.read_int64_array();
      r.set_decompressed_buffer();
      for (uint32_t j = 0; j < s; ++j) r.next_spectrum();
      r.reset_decompressed_buffer();
      r.confirm_symbol(static_cast<uint32_t>(Symbol::END_OF_SPECTRUM_INDEX_BLOCK));
      for (uint32_t j = 0; j < s && j < positions.size(); ++j) {
        read_spectrum_data(r, at(positions[j], so));
        if (profile && j < profiles.size() && at(profiles[j], so) != 0)
          read_spectrum_data(r, at(profiles[j], so));
      }
    }
  }
}

}  // namespace vorn::fuzz
