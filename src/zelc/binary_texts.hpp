// The base64 texts of mzML's <binary> elements are about half of a file's
// bytes, and an XML parser gains nothing from reading them character by
// character. They are lifted out of the byte stream before expat sees it
// (<binary>TEXT</binary> becomes <binary>#17</binary>, with TEXT's line
// breaks kept so that expat's line numbers stay right) and taken back by the
// reader, in order, when the element ends.
//
// Only text that expat would read as its bytes is lifted: text with an
// entity reference, or beyond the size limit, goes to expat as it is.
// Comments, CDATA sections and processing instructions are passed through
// untouched, and a document with a DOCTYPE is not filtered at all (its
// entities could hold markup).
//
// Input comes either as a stream of pieces, copied, or as the whole file
// mapped in memory: then nothing is copied, the lifted texts are views of
// the mapping, which they keep alive.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "mapped_source.hpp"

namespace zelc {

// A lifted text: its own copy, or a view of a mapped file it keeps alive.
struct LiftedText {
  std::string copy;
  std::string_view view;
  std::shared_ptr<const MappedSource> mapping;
  std::string_view text() const { return mapping ? view : std::string_view(copy); }
};

class BinaryTexts {
 public:
  // Streamed input: appends `in` to `out` with the texts lifted out, and
  // returns how much of `in` it used. Input may end anywhere: the few bytes
  // that cannot be decided yet (the start of a tag) are left, to begin the
  // next call's input. `last`: no more input follows, and all of it is used.
  size_t filter(std::string_view in, bool last, std::string& out);

  // Mapped input: `file` is the whole file, which `mapping` keeps in memory.
  // Filters from `from` to about `until` (it stops where a tag starts), hands
  // the bytes expat is to read to `emit`, and returns where it stopped.
  size_t filter_mapped(std::string_view file, size_t from, size_t until,
                       const std::shared_ptr<const MappedSource>& mapping,
                       const std::function<void(std::string_view)>& emit);

  // Whether `text` (a <binary> element's text as expat gave it) is a marker.
  static bool is_marker(std::string_view text);
  // The text the marker stands for. Throws std::runtime_error when there is
  // none.
  LiftedText take(std::string_view marker);

 private:
  enum class State { kContent, kComment, kCData, kInstruction, kText, kOff };
  struct Output;
  size_t scan(std::string_view s, size_t i, size_t until, bool last, Output& out);

  State state_ = State::kContent;
  // The text being lifted: copied (streamed input), or where it starts in
  // the mapped file.
  std::string text_;
  size_t text_from_ = 0;
  size_t text_lines_ = 0;
  std::shared_ptr<const MappedSource> mapping_;  // set while filtering mapped input
  std::deque<std::pair<uint64_t, LiftedText>> texts_;
  uint64_t next_id_ = 0;
};

}  // namespace zelc
