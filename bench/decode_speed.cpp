// Decoding speed of every spectrum of a container file, next to plain zstd
// decompression of the same chunk bytes (the bound we chase).
//
//   decode_speed FILE [REPEAT]
#include <zstd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "vorn_core/container_reader.hpp"
#include "vorn_core/spectrum_block.hpp"

using namespace vorn;

namespace {

// Spectrum data positions of every function of every measurement, read
// through the reader's cursor exactly as the Python layer does.
std::vector<uint64_t> spectrum_positions(ContainerReader& r) {
  auto add = [](int64_t offset, uint64_t origin) {
    return static_cast<uint64_t>(offset + static_cast<int64_t>(origin));
  };
  std::vector<uint64_t> out;
  r.set_buffer(r.jump_table_position());
  r.confirm_symbol(static_cast<uint32_t>(Symbol::BEGIN_OF_JUMP_TABLE));
  uint64_t origin = r.absolute_position();
  for (int i = 0; i < 6; ++i) r.read_u16();
  uint32_t m = r.read_u32();
  auto measurements = r.read_int64_array();
  r.set_decompressed_buffer();
  for (uint32_t i = 0; i < m; ++i) r.next_measurement();
  r.reset_decompressed_buffer();
  for (uint32_t i = 0; i < m; ++i) {
    r.set_buffer(add(measurements[i], origin));
    r.confirm_symbol(static_cast<uint32_t>(Symbol::BEGIN_OF_FUNCTION_INDEX_BLOCK));
    uint64_t fo = r.absolute_position();
    uint32_t f = r.read_u16_or_32();
    auto functions = r.read_int64_array();
    for (uint32_t k = 0; k < f; ++k) {
      r.set_buffer(add(functions[k], fo));
      r.confirm_symbol(static_cast<uint32_t>(Symbol::BEGIN_OF_SPECTRUM_INDEX_BLOCK));
      uint64_t so = r.absolute_position();
      r.read_u32();
      r.read_bool();
      for (int64_t p : r.read_int64_array()) out.push_back(add(p, so));
    }
  }
  return out;
}

double seconds_since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int run(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: decode_speed FILE [REPEAT]\n");
    return 2;
  }
  int repeat = argc > 2 ? std::atoi(argv[2]) : 3;
  ContainerReader reader(argv[1]);
  auto positions = spectrum_positions(reader);
  auto file = reader.file();
  std::vector<SpectrumBlock> blocks;
  uint64_t raw = 0, stored = 0;
  for (uint64_t p : positions) {
    blocks.emplace_back(file->bytes(), p);
    for (const auto& c : blocks.back().chunks()) stored += c.x_bytes + c.intensity_bytes;
    raw += uint64_t{blocks.back().points()} *
           ((blocks.back().x_f32() ? 4 : 8) + (blocks.back().intensity_f32() ? 4 : 8));
  }
  double ours = 1e9, plain = 1e9;
  FloatArray x, intensity;
  std::vector<uint8_t> buffer;
  ZSTD_DCtx* dctx = ZSTD_createDCtx();
  for (int r = 0; r < repeat; ++r) {
    auto t = std::chrono::steady_clock::now();
    for (const auto& b : blocks) b.decode(x, intensity);
    ours = std::min(ours, seconds_since(t));
    t = std::chrono::steady_clock::now();
    for (const auto& b : blocks)
      for (const auto& c : b.chunks()) {
        const uint8_t* base = file->bytes().data();
        auto part = [&](uint64_t offset, uint32_t bytes, uint8_t codec, size_t n) {
          buffer.resize(n);
          if (codec != 0)
            ZSTD_decompressDCtx(dctx, buffer.data(), n, base + offset, bytes);
          else
            std::copy(base + offset, base + offset + n, buffer.data());
        };
        if (b.has_x()) part(c.x_offset, c.x_bytes, c.x_codec, c.points * b.x_width());
        part(c.intensity_offset, c.intensity_bytes, c.intensity_codec,
             c.points * b.intensity_width());
      }
    plain = std::min(plain, seconds_since(t));
  }
  ZSTD_freeDCtx(dctx);
  std::printf("spectra %zu, raw %.1f MB, stored %.1f MB (%.3f)\n", blocks.size(), raw / 1e6,
              stored / 1e6, double(stored) / double(raw));
  std::printf("full decode (zstd + transforms + checks): %8.1f MB/s  %.3f s\n", raw / ours / 1e6,
              ours);
  std::printf("plain zstd of the same chunks:            %8.1f MB/s  %.3f s\n", raw / plain / 1e6,
              plain);
  std::printf("decode speed / plain zstd speed:          %8.2f\n", plain / ours);
  return 0;
}

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "decode_speed: %s\n", e.what());
    return 1;
  }
}
