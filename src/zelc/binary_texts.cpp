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

// Where the filtered bytes go: appended to a string (streamed input), or
// handed on as views of the mapped file, neighbouring views joined into one.
struct BinaryTexts::Output {
  std::string* copy = nullptr;
  const std::function<void(std::string_view)>* emit = nullptr;
  const char* pending = nullptr;  // a view not handed on yet
  size_t pending_size = 0;

  void put(std::string_view bytes) {
    if (copy) {
      copy->append(bytes);
    } else if (pending && pending + pending_size == bytes.data()) {
      pending_size += bytes.size();
    } else {
      flush();
      pending = bytes.data();
      pending_size = bytes.size();
    }
  }
  // Bytes of no file (a marker): handed on at once.
  void put_own(const std::string& bytes) {
    if (copy) {
      copy->append(bytes);
      return;
    }
    flush();
    (*emit)(bytes);
  }
  void flush() {
    if (pending && pending_size) (*emit)(std::string_view(pending, pending_size));
    pending = nullptr;
    pending_size = 0;
  }
};

bool BinaryTexts::is_marker(std::string_view text) {
  return !text.empty() && text[0] == '#';
}

size_t BinaryTexts::filter(std::string_view in, bool last, std::string& out) {
  Output output;
  output.copy = &out;
  return scan(in, 0, in.size(), last, output);
}

size_t BinaryTexts::filter_mapped(std::string_view file, size_t from, size_t until,
                                  const std::shared_ptr<const MappedSource>& mapping,
                                  const std::function<void(std::string_view)>& emit) {
  mapping_ = mapping;
  Output output;
  output.emit = &emit;
  const size_t at = scan(file, from, until, true, output);
  output.flush();
  return at;
}

size_t BinaryTexts::scan(std::string_view s, size_t i, size_t until, bool last, Output& out) {
  const bool mapped = out.copy == nullptr;
  // Input from `from` on cannot be decided yet: it is left for the next call
  // (unless this is the last).
  auto undecided = [&](size_t from) { return !last && (i = from, true); };
  // Passes input through up to the end of `terminator`, then back to content.
  auto pass_until = [&](std::string_view terminator) {
    size_t end = s.find(terminator, i);
    if (end == std::string_view::npos) {
      const size_t keep = last ? 0 : std::min(s.size() - i, terminator.size() - 1);
      out.put(s.substr(i, s.size() - i - keep));
      i = s.size() - keep;
      return false;
    }
    end += terminator.size();
    out.put(s.substr(i, end - i));
    i = end;
    state_ = State::kContent;
    return true;
  };
  auto give_back = [&](size_t end) {
    if (mapped)
      out.put(s.substr(text_from_, end - text_from_));
    else
      out.put(text_);
    text_.clear();
    text_lines_ = 0;
    state_ = State::kContent;
  };
  auto lift = [&](size_t end) {
    LiftedText lifted;
    if (mapped) {
      lifted.view = s.substr(text_from_, end - text_from_);
      lifted.mapping = mapping_;
    } else {
      lifted.copy = std::move(text_);
    }
    std::string marker(1, '#');
    marker += std::to_string(next_id_);
    marker.append(text_lines_, '\n');
    out.put_own(marker);
    texts_.emplace_back(next_id_++, std::move(lifted));
    text_.clear();
    text_lines_ = 0;
    state_ = State::kContent;
  };
  while (i < s.size()) {
    switch (state_) {
      case State::kOff:
        out.put(s.substr(i));
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
        if (i >= until) return i;
        // Ordinary tags pass in one piece: the text is copied only where
        // something begins that needs a look.
        size_t from = i, lt = i;
        for (;;) {
          const char* at = static_cast<const char*>(std::memchr(s.data() + lt, '<', s.size() - lt));
          if (!at) {
            out.put(s.substr(from));
            return s.size();
          }
          lt = static_cast<size_t>(at - s.data());
          if (s.size() - lt < kLookahead) break;
          const char next = s[lt + 1];
          if (next == 'b' || next == '!' || next == '?') break;
          ++lt;
        }
        out.put(s.substr(from, lt - from));
        i = lt;
        if (s.size() - lt < kLookahead && undecided(lt)) return i;
        if (starts(s, lt, kOpen)) {
          out.put(s.substr(lt, kOpen.size()));
          i = lt + kOpen.size();
          text_from_ = i;
          state_ = State::kText;
        } else if (starts(s, lt, "<!--")) {
          out.put(s.substr(lt, 4));
          i = lt + 4;
          state_ = State::kComment;
        } else if (starts(s, lt, "<![CDATA[")) {
          out.put(s.substr(lt, 9));
          i = lt + 9;
          state_ = State::kCData;
        } else if (starts(s, lt, "<?")) {
          out.put(s.substr(lt, 2));
          i = lt + 2;
          state_ = State::kInstruction;
        } else if (starts(s, lt, "<!DOCTYPE")) {
          state_ = State::kOff;
        } else {
          out.put(s.substr(lt, 1));
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
        if (!mapped) text_.append(s.substr(i, j - i));
        i = j;
        const size_t length = mapped ? j - text_from_ : text_.size();
        if (length > kMaxBinaryText) {  // expat and the reader refuse it
          give_back(j);
          break;
        }
        if (j == s.size()) {
          if (last) give_back(j);
          return s.size();
        }
        if (s[j] == '<' && s.size() - j < kClose.size() && undecided(j)) return i;
        if (starts(s, j, kClose))
          lift(j);
        else
          give_back(j);  // not plain base64: expat reads it
        break;
      }
    }
  }
  return s.size();
}

LiftedText BinaryTexts::take(std::string_view marker) {
  uint64_t id = 0;
  auto [end, ec] = std::from_chars(marker.data() + 1, marker.data() + marker.size(), id);
  (void)end;
  if (ec != std::errc())
    throw std::runtime_error("invalid base64 data");  // a '#' the filter did not write
  while (!texts_.empty() && texts_.front().first < id) texts_.pop_front();
  if (texts_.empty() || texts_.front().first != id) throw std::runtime_error("invalid base64 data");
  LiftedText text = std::move(texts_.front().second);
  texts_.pop_front();
  return text;
}

}  // namespace zelc
