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
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace zelc {

class BinaryTexts {
 public:
  // Appends `in` to `out` with the texts lifted out, and returns how much of
  // `in` it used. Input may end anywhere: the few bytes that cannot be
  // decided yet (the start of a tag) are left, to begin the next call's
  // input. `last`: no more input follows, and all of it is used.
  size_t filter(std::string_view in, bool last, std::string& out);
  // Whether `text` (a <binary> element's text as expat gave it) is a marker.
  static bool is_marker(std::string_view text);
  // The text the marker stands for. Throws std::runtime_error when there is
  // none.
  std::string take(std::string_view marker);

 private:
  enum class State { kContent, kComment, kCData, kInstruction, kText, kOff };
  void lift(std::string& out);
  void give_back(std::string& out);

  State state_ = State::kContent;
  std::string text_;  // the text being lifted
  size_t text_lines_ = 0;
  std::deque<std::pair<uint64_t, std::string>> texts_;
  uint64_t next_id_ = 0;
};

}  // namespace zelc
