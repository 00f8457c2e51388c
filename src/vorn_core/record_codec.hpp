// Encoding and decoding of the description records (docs/format.md,
// "Records"). Decoders validate every tag, enumeration code and count.
#pragma once

#include "byte_cursor.hpp"
#include "byte_sink.hpp"
#include "records.hpp"

namespace vorn {

void encode(ByteSink& out, const MeasurementDescription& m);
void encode(ByteSink& out, const FunctionDescription& f);
void encode(ByteSink& out, const SpectrumDescription& s);
void encode(ByteSink& out, const AcquisitionConditionRecord& c);
void encode(ByteSink& out, const Properties& p);

MeasurementDescription decode_measurement(ByteCursor& in);
FunctionDescription decode_function(ByteCursor& in);
// `minor`: the file's format minor version, which says which fields exist.
SpectrumDescription decode_spectrum(ByteCursor& in, uint16_t minor = kFormatMinor);
AcquisitionConditionRecord decode_condition(ByteCursor& in);
Properties decode_properties(ByteCursor& in);

}  // namespace vorn
