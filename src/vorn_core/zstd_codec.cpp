#include "zstd_codec.hpp"

#include <zstd.h>

#include <memory>
#include <string>

#include "errors.hpp"

namespace vorn {
namespace {

struct DctxDeleter {
  void operator()(ZSTD_DCtx* c) const { ZSTD_freeDCtx(c); }
};
struct CctxDeleter {
  void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};

ZSTD_DCtx* thread_dctx() {
  thread_local std::unique_ptr<ZSTD_DCtx, DctxDeleter> ctx(ZSTD_createDCtx());
  if (!ctx) throw std::bad_alloc();
  return ctx.get();
}

ZSTD_CCtx* thread_cctx() {
  thread_local std::unique_ptr<ZSTD_CCtx, CctxDeleter> ctx(ZSTD_createCCtx());
  if (!ctx) throw std::bad_alloc();
  return ctx.get();
}

}  // namespace

void zstd_compress_append(std::span<const uint8_t> src, int level, std::vector<uint8_t>& out) {
  size_t bound = ZSTD_compressBound(src.size());
  size_t at = out.size();
  out.resize(at + bound);
  ZSTD_CCtx* c = thread_cctx();
  ZSTD_CCtx_reset(c, ZSTD_reset_session_and_parameters);
  ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, level);
  ZSTD_CCtx_setParameter(c, ZSTD_c_contentSizeFlag, 1);
  size_t n = ZSTD_compress2(c, out.data() + at, bound, src.data(), src.size());
  if (ZSTD_isError(n))
    throw IoError(std::string("zstd compression failed: ") + ZSTD_getErrorName(n));
  out.resize(at + n);
}

void zstd_require_content_size(std::span<const uint8_t> src, uint64_t expected, uint64_t offset,
                               const char* what) {
  unsigned long long declared = ZSTD_getFrameContentSize(src.data(), src.size());
  if (declared == ZSTD_CONTENTSIZE_ERROR)
    throw FormatError(std::string(what) + " is not a zstd frame", offset);
  if (declared != expected)
    throw FormatError(
        std::string(what) + " declares " +
            (declared == ZSTD_CONTENTSIZE_UNKNOWN ? std::string("no") : std::to_string(declared)) +
            " content bytes where " + std::to_string(expected) + " are expected",
        offset);
}

void zstd_decompress_exact(std::span<const uint8_t> src, std::span<uint8_t> dst, uint64_t offset,
                           const char* what) {
  zstd_require_content_size(src, dst.size(), offset, what);
  size_t n = ZSTD_decompressDCtx(thread_dctx(), dst.data(), dst.size(), src.data(), src.size());
  if (ZSTD_isError(n))
    throw FormatError(std::string(what) + " does not decompress: " + ZSTD_getErrorName(n), offset);
  if (n != dst.size())
    throw FormatError(std::string(what) + " decompresses to " + std::to_string(n) +
                          " bytes where " + std::to_string(dst.size()) + " are expected",
                      offset);
}

}  // namespace vorn
