// Constants of the container byte format (docs/format.md): magic numbers,
// block symbols, enumeration codes and the limits a reader enforces.
#pragma once

#include <cstdint>

namespace vorn {

inline constexpr uint16_t kFormatMajor = 1;
inline constexpr uint16_t kFormatMinor = 1;
inline constexpr uint16_t kFormatRevision = 0;

inline constexpr char kHeaderMagic[8] = {'\x89', 'V', 'R', 'N', '\r', '\n', '\x1a', '\n'};
inline constexpr char kTrailerMagic[8] = {'V', 'R', 'N', 'T', 'R', 'A', 'I', 'L'};
inline constexpr uint64_t kHeaderSize = 32;
inline constexpr uint64_t kTrailerSize = 32;

constexpr uint32_t four_cc(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

// Block markers; the values of the Python enumeration VornSymbols.
enum class Symbol : uint32_t {
  BEGIN_OF_JUMP_TABLE = four_cc('V', 'J', 'T', '('),
  END_OF_JUMP_TABLE = four_cc('V', 'J', 'T', ')'),
  BEGIN_OF_FUNCTION_INDEX_BLOCK = four_cc('V', 'F', 'I', '('),
  END_OF_FUNCTION_INDEX_BLOCK = four_cc('V', 'F', 'I', ')'),
  BEGIN_OF_SPECTRUM_INDEX_BLOCK = four_cc('V', 'S', 'I', '('),
  END_OF_SPECTRUM_INDEX_BLOCK = four_cc('V', 'S', 'I', ')'),
  SPECTRUM_DATA = four_cc('V', 'S', 'P', 'D'),
};

// The end symbol that closes a framed block, or 0 for a symbol that opens none.
constexpr uint32_t matching_end(Symbol begin) {
  switch (begin) {
    case Symbol::BEGIN_OF_JUMP_TABLE:
      return static_cast<uint32_t>(Symbol::END_OF_JUMP_TABLE);
    case Symbol::BEGIN_OF_FUNCTION_INDEX_BLOCK:
      return static_cast<uint32_t>(Symbol::END_OF_FUNCTION_INDEX_BLOCK);
    case Symbol::BEGIN_OF_SPECTRUM_INDEX_BLOCK:
      return static_cast<uint32_t>(Symbol::END_OF_SPECTRUM_INDEX_BLOCK);
    default:
      return 0;
  }
}

const char* symbol_name(uint32_t value);

// Fields of the spectrum description record in a file of format minor
// version `minor`: 1.1 added eight after the seventeen of 1.0.
constexpr int spectrum_description_fields(uint16_t minor) {
  return minor >= 1 ? 25 : 17;
}

enum class BufferKind : uint8_t { kMeasurements = 1, kFunctions = 2, kSpectra = 3 };

// Enumeration codes stored in records; they equal the Python enum values.
enum class Polarity : uint8_t { kPositive = 0, kNegative = 1, kBoth = 2 };
enum class SpectrumType : uint8_t { kProfile = 0, kCentroid = 1, kUnknown = 2 };
enum class DetectorType : uint8_t { kMs = 0, kDiodeArray = 1, kAnalog = 2 };
enum class VendorType : uint8_t {
  kWatersMassLynx = 0,
  kThermoFisherRawFileReader = 1,
  kShimadzuIoModule = 2,
  kSciexAnalyst = 3,
  kAgilentMassHunter = 4,
};
enum class TripleQScanType : uint8_t {
  kProduct = 0,
  kPrecursor = 1,
  kNeutralLoss = 2,
  kNeutralGain = 3,
};

inline constexpr uint8_t kMaxPolarity = 2;
inline constexpr uint8_t kMaxSpectrumType = 2;
inline constexpr uint8_t kMaxDetectorType = 2;
inline constexpr uint8_t kMaxVendorType = 4;
inline constexpr uint8_t kMaxTripleQScanType = 3;

namespace limits {
inline constexpr uint64_t kMeasurements = 1u << 20;
inline constexpr uint64_t kFunctions = 1u << 16;
inline constexpr uint64_t kSpectra = 1u << 25;
inline constexpr uint64_t kPoints = 1u << 24;
inline constexpr uint64_t kBufferRaw = 1ull << 30;
inline constexpr uint64_t kString = 1u << 24;
inline constexpr uint64_t kProperties = 1u << 20;
inline constexpr uint64_t kProductIndices = 1u << 20;
inline constexpr uint64_t kChargeStates = 1u << 20;
inline constexpr uint64_t kConditions = 1u << 20;
inline constexpr uint64_t kWavelengths = 1u << 20;
inline constexpr uint64_t kSpectrumBody = 1ull << 31;
}  // namespace limits

}  // namespace vorn
