#include "binary_array.hpp"

#include <zlib.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "base64.hpp"
#include "numpress.hpp"
#include "source_records.hpp"
#include "vorn_core/format.hpp"

namespace zelc {
namespace {

constexpr size_t kMaxValues = vorn::limits::kPoints;

[[noreturn]] void too_many(size_t values) {
  throw std::runtime_error("a binary array holds " + std::to_string(values) +
                           " values, more than the " + std::to_string(kMaxValues) +
                           " points a spectrum may have");
}

// Base64 characters of `text` (whitespace aside) and the bytes they decode
// to, known before anything is decoded.
size_t decoded_size(std::string_view text) {
  size_t chars = 0, padding = 0;
  for (char c : text) {
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
    ++chars;
    padding = c == '=' ? padding + 1 : 0;
  }
  const size_t bytes = chars / 4 * 3;
  return bytes >= padding ? bytes - padding : 0;
}

bool blank(std::string_view text) {
  for (char c : text)
    if (c != ' ' && c != '\n' && c != '\r' && c != '\t') return false;
  return true;
}

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
  if (bytes.size() % width)
    throw std::runtime_error("binary array length is not a whole number of values");
  const size_t n = bytes.size() / width;
  if (bits == 32 && !integer) {
    std::vector<float> v(n);
    if (swap)
      for (size_t i = 0; i < n; ++i) v[i] = load<float>(bytes.data() + 4 * i, true);
    else if (n)
      std::memcpy(v.data(), bytes.data(), n * 4);
    return vorn::FloatArray(std::move(v));
  }
  if (!integer && !swap) {
    std::vector<double> v(n);
    if (n) std::memcpy(v.data(), bytes.data(), n * 8);
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
  if (produced > limit)
    throw std::runtime_error("compressed binary array expands beyond the size limit");
  if (rc != Z_STREAM_END)
    throw std::runtime_error("corrupt or truncated zlib data in a binary array");
  out.resize(produced);
  return out;
}

vorn::FloatArray decode_mzml_array(std::string_view base64, const ArrayEncoding& e) {
  const bool numpress = e.compression == Compression::kNumpressLinear ||
                        e.compression == Compression::kNumpressPic ||
                        e.compression == Compression::kNumpressSlof;
  const bool f32 = e.bits == 32 && !e.integer && !numpress;
  // No data is an empty array, whatever compression is declared: converters
  // write empty spectra that way.
  if (blank(base64)) return f32 ? vorn::FloatArray::of_f32(0) : vorn::FloatArray::of_f64(0);
  const size_t width = static_cast<size_t>(e.bits / 8);
  size_t limit = kMaxValues * width;  // bytes the values may take
  if (e.compression == Compression::kNumpressLinear) limit = numpress_linear_max_bytes(kMaxValues);
  if (e.compression == Compression::kNumpressPic) limit = numpress_pic_max_bytes(kMaxValues);
  if (e.compression == Compression::kNumpressSlof) limit = numpress_slof_max_bytes(kMaxValues);
  const bool zlib = e.compression == Compression::kZlib || (numpress && e.zlib_after_numpress);
  // At most three bytes per four characters; counted exactly only near the
  // limit, where whitespace could make the difference.
  size_t encoded = base64.size() / 4 * 3 + 3;
  if (!zlib && encoded > limit) {
    encoded = decoded_size(base64);
    if (encoded > limit && numpress)
      throw std::runtime_error("an MS-Numpress array holds more than " +
                               std::to_string(kMaxValues) +
                               " values, the most a spectrum may have");
    if (encoded > limit) too_many(encoded / width);
  }
  std::vector<uint8_t> bytes = decode_base64(base64);
  if (zlib) bytes = inflate(bytes, limit);
  switch (e.compression) {
    case Compression::kNumpressLinear:
      return vorn::FloatArray(decode_numpress_linear(bytes, kMaxValues));
    case Compression::kNumpressPic:
      return vorn::FloatArray(decode_numpress_pic(bytes, kMaxValues));
    case Compression::kNumpressSlof:
      return vorn::FloatArray(decode_numpress_slof(bytes, kMaxValues));
    default:
      return numbers(bytes, e.bits, e.integer, false);
  }
}

Peaks decode_mzxml_peaks(std::string_view base64, int precision, bool zlib, bool network_order) {
  const size_t pair = 2 * static_cast<size_t>(precision / 8);
  Peaks p;
  if (blank(base64)) {
    p.mz = precision == 32 ? vorn::FloatArray::of_f32(0) : vorn::FloatArray::of_f64(0);
    p.intensity = p.mz;
    return p;
  }
  size_t encoded = base64.size() / 4 * 3 + 3;
  if (encoded > kMaxValues * pair) encoded = decoded_size(base64);
  if (!zlib && encoded / pair > kMaxValues) too_many(encoded / pair);
  std::vector<uint8_t> bytes = decode_base64(base64);
  if (zlib) bytes = inflate(bytes, kMaxValues * pair);
  vorn::FloatArray pairs = numbers(bytes, precision, false, network_order);
  if (pairs.size() % 2) throw std::runtime_error("mzXML peaks are not m/z-intensity pairs");
  const size_t n = pairs.size() / 2;
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

namespace {

vorn::FloatArray decoded(EncodedArray& a) {
  vorn::FloatArray values = decode_mzml_array(a.text(), a.encoding);
  if (a.mapping) a.mapping->used(a.mapped);
  std::string().swap(a.base64);
  a.mapping.reset();
  return values;
}

}  // namespace

void decode_arrays(RawSpectrum& s) {
  if (s.encoded_peaks) {
    EncodedArray& a = *s.encoded_peaks;
    Peaks peaks =
        decode_mzxml_peaks(a.text(), a.peaks_precision, a.peaks_zlib, a.peaks_network_order);
    s.x = std::move(peaks.mz);
    s.intensity = std::move(peaks.intensity);
    s.has_x = s.has_intensity = true;
    s.encoded_peaks.reset();
  }
  if (s.encoded_x) {
    s.x = decoded(*s.encoded_x);
    s.has_x = true;
    s.encoded_x.reset();
  }
  if (s.encoded_intensity) {
    s.intensity = decoded(*s.encoded_intensity);
    s.has_intensity = true;
    s.encoded_intensity.reset();
  }
}

void decode_arrays(RawChromatogram& c) {
  if (c.encoded_time) {
    c.time = decoded(*c.encoded_time);
    c.has_time = true;
    c.encoded_time.reset();
  }
  if (c.encoded_intensity) {
    c.intensity = decoded(*c.encoded_intensity);
    c.has_intensity = true;
    c.encoded_intensity.reset();
  }
}

}  // namespace zelc
