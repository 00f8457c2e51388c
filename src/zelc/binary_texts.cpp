#include "binary_texts.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <stdexcept>

#include "binary_array.hpp"

namespace zelc {
namespace {

constexpr std::string_view kOpen = "<binary>", kClose = "</binary>";
// The longest markup start that must be seen whole to be told apart.
constexpr size_t kLookahead = 9;

bool starts(std::string_view s, size_t at, std::string_view prefix) {
  return s.size() - at >= prefix.size() && s.compare(at, prefix.size(), prefix) == 0;
}

}  // namespace

bool BinaryTexts::is_marker(std::string_view text) {
  return !text.empty() && text[0] == '#';
}

void BinaryTexts::lift(std::string& out) {
  out += '#';
  out += std::to_string(next_id_);
  out.append(text_lines_, '\n');
  texts_.emplace_back(next_id_++, std::move(text_));
  text_.clear();
  text_lines_ = 0;
}

void BinaryTexts::give_back(std::string& out) {
  out += text_;
  text_.clear();
  text_lines_ = 0;
}

size_t BinaryTexts::filter(std::string_view s, bool last, std::string& out) {
  size_t i = 0;
  // Input from `from` on cannot be decided yet: it is left for the next call
  // (unless this is the last).
  auto undecided = [&](size_t from) { return !last && (i = from, true); };
  // Passes input through up to the end of `terminator`, then back to content.
  auto pass_until = [&](std::string_view terminator) {
    size_t end = s.find(terminator, i);
    if (end == std::string_view::npos) {
      const size_t keep = last ? 0 : std::min(s.size() - i, terminator.size() - 1);
      out.append(s.substr(i, s.size() - i - keep));
      i = s.size() - keep;
      return false;
    }
    end += terminator.size();
    out.append(s.substr(i, end - i));
    i = end;
    state_ = State::kContent;
    return true;
  };
  while (i < s.size()) {
    switch (state_) {
      case State::kOff:
        out.append(s.substr(i));
        return s.size();
      case State::kComment:
        if (!pass_until("-->")) return i;
        break;
      case State::kCData:
        if (!pass_until("]]>")) return i;
        break;
      case State::kInstruction:
        if (!pass_until("?>")) return i;
        break;
      case State::kContent: {
        // Ordinary tags pass in one piece: the text is copied only where
        // something begins that needs a look.
        size_t from = i, lt = i;
        for (;;) {
          const char* at = static_cast<const char*>(std::memchr(s.data() + lt, '<', s.size() - lt));
          if (!at) {
            out.append(s.substr(from));
            return s.size();
          }
          lt = static_cast<size_t>(at - s.data());
          if (s.size() - lt < kLookahead) break;
          const char next = s[lt + 1];
          if (next == 'b' || next == '!' || next == '?') break;
          ++lt;
        }
        out.append(s.substr(from, lt - from));
        i = lt;
        if (s.size() - lt < kLookahead && undecided(lt)) return i;
        if (starts(s, lt, kOpen)) {
          out.append(kOpen);
          i = lt + kOpen.size();
          state_ = State::kText;
        } else if (starts(s, lt, "<!--")) {
          out.append("<!--");
          i = lt + 4;
          state_ = State::kComment;
        } else if (starts(s, lt, "<![CDATA[")) {
          out.append("<![CDATA[");
          i = lt + 9;
          state_ = State::kCData;
        } else if (starts(s, lt, "<?")) {
          out.append("<?");
          i = lt + 2;
          state_ = State::kInstruction;
        } else if (starts(s, lt, "<!DOCTYPE")) {
          state_ = State::kOff;
        } else {
          out += '<';
          i = lt + 1;
        }
        break;
      }
      case State::kText: {
        // The text runs to the next '<'. Only an entity reference would make
        // expat read it differently from the bytes (any other character that
        // is not base64 fails to decode either way).
        const char* lt = static_cast<const char*>(std::memchr(s.data() + i, '<', s.size() - i));
        size_t j = lt ? static_cast<size_t>(lt - s.data()) : s.size();
        if (const void* amp = std::memchr(s.data() + i, '&', j - i))
          j = static_cast<size_t>(static_cast<const char*>(amp) - s.data());
        text_lines_ +=
            static_cast<size_t>(std::count(s.begin() + static_cast<std::ptrdiff_t>(i),
                                           s.begin() + static_cast<std::ptrdiff_t>(j), '\n'));
        text_.append(s.substr(i, j - i));
        i = j;
        if (text_.size() > kMaxBinaryText) {  // expat and the reader refuse it
          give_back(out);
          state_ = State::kContent;
          break;
        }
        if (j == s.size()) {
          if (last) {
            give_back(out);
            state_ = State::kContent;
          }
          return s.size();
        }
        if (s[j] == '<' && s.size() - j < kClose.size() && undecided(j)) return i;
        if (starts(s, j, kClose))
          lift(out);
        else
          give_back(out);  // not plain base64: expat reads it
        state_ = State::kContent;
        break;
      }
    }
  }
  return s.size();
}

std::string BinaryTexts::take(std::string_view marker) {
  uint64_t id = 0;
  auto [end, ec] = std::from_chars(marker.data() + 1, marker.data() + marker.size(), id);
  (void)end;
  if (ec != std::errc())
    throw std::runtime_error("invalid base64 data");  // a '#' the filter did not write
  while (!texts_.empty() && texts_.front().first < id) texts_.pop_front();
  if (texts_.empty() || texts_.front().first != id) throw std::runtime_error("invalid base64 data");
  std::string text = std::move(texts_.front().second);
  texts_.pop_front();
  return text;
}

}  // namespace zelc
