#include "binary_array.hpp"

#include <zlib.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "base64.hpp"
#include "numpress.hpp"
#include "vorn_core/format.hpp"

namespace zelc {
namespace {

constexpr size_t kMaxArrayBytes = vorn::limits::kPoints * 8;

template <typename T>
T load(const uint8_t* p, bool swap) {
  uint8_t b[sizeof(T)];
  std::memcpy(b, p, sizeof(T));
  if (swap)
    for (size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(b[i], b[sizeof(T) - 1 - i]);
  T v;
  std::memcpy(&v, b, sizeof(T));
  return v;
}

vorn::FloatArray numbers(std::span<const uint8_t> bytes, int bits, bool integer, bool swap) {
  const size_t width = static_cast<size_t>(bits / 8);
  if (bytes.size() % width) throw std::runtime_error("binary array length is not a whole number of values");
  const size_t n = bytes.size() / width;
  if (bits == 32 && !integer) {
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = load<float>(bytes.data() + 4 * i, swap);
    return vorn::FloatArray(std::move(v));
  }
  std::vector<double> v(n);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* p = bytes.data() + width * i;
    if (integer)
      v[i] = bits == 32 ? static_cast<double>(load<int32_t>(p, swap))
                        : static_cast<double>(load<int64_t>(p, swap));
    else
      v[i] = load<double>(p, swap);
  }
  return vorn::FloatArray(std::move(v));
}

}  // namespace

std::vector<uint8_t> inflate(std::span<const uint8_t> data, size_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw std::runtime_error("zlib initialisation failed");
  std::vector<uint8_t> out(std::min<size_t>(std::max<size_t>(data.size() * 4, 1024), limit + 1));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  int rc = Z_OK;
  size_t produced = 0;
  while (rc != Z_STREAM_END) {
    if (produced == out.size()) {
      if (out.size() > limit) break;
      out.resize(std::min(out.size() * 2, limit + 1));
    }
    z.next_out = out.data() + produced;
    z.avail_out = static_cast<uInt>(out.size() - produced);
    rc = ::inflate(&z, Z_NO_FLUSH);
    produced = out.size() - z.avail_out;
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) break;
    if (rc == Z_BUF_ERROR && z.avail_in == 0) break;
  }
  inflateEnd(&z);
  if (produced > limit) throw std::runtime_error("compressed binary array expands beyond the size limit");
  if (rc != Z_STREAM_END) throw std::runtime_error("corrupt or truncated zlib data in a binary array");
  out.resize(produced);
  return out;
}

vorn::FloatArray decode_mzml_array(std::string_view base64, const ArrayEncoding& e) {
  std::vector<uint8_t> bytes = decode_base64(base64);
  const bool numpress = e.compression == Compression::kNumpressLinear ||
                        e.compression == Compression::kNumpressPic ||
                        e.compression == Compression::kNumpressSlof;
  if (e.compression == Compression::kZlib || (numpress && e.zlib_after_numpress))
    bytes = inflate(bytes, kMaxArrayBytes);
  switch (e.compression) {
    case Compression::kNumpressLinear:
      return vorn::FloatArray(decode_numpress_linear(bytes));
    case Compression::kNumpressPic:
      return vorn::FloatArray(decode_numpress_pic(bytes));
    case Compression::kNumpressSlof:
      return vorn::FloatArray(decode_numpress_slof(bytes));
    default:
      return numbers(bytes, e.bits, e.integer, false);
  }
}

Peaks decode_mzxml_peaks(std::string_view base64, int precision, bool zlib, bool network_order) {
  std::vector<uint8_t> bytes = decode_base64(base64);
  if (zlib) bytes = inflate(bytes, kMaxArrayBytes);
  vorn::FloatArray pairs = numbers(bytes, precision, false, network_order);
  if (pairs.size() % 2) throw std::runtime_error("mzXML peaks are not m/z-intensity pairs");
  const size_t n = pairs.size() / 2;
  Peaks p;
  if (pairs.is_f32()) {
    std::vector<float> mz(n), in(n);
    for (size_t i = 0; i < n; ++i) mz[i] = pairs.f32()[2 * i], in[i] = pairs.f32()[2 * i + 1];
    p.mz = vorn::FloatArray(std::move(mz));
    p.intensity = vorn::FloatArray(std::move(in));
  } else {
    std::vector<double> mz(n), in(n);
    for (size_t i = 0; i < n; ++i) mz[i] = pairs.f64()[2 * i], in[i] = pairs.f64()[2 * i + 1];
    p.mz = vorn::FloatArray(std::move(mz));
    p.intensity = vorn::FloatArray(std::move(in));
  }
  return p;
}

}  // namespace zelc
