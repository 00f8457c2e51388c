// Streams an XML file, plain or gzip-compressed, through expat in fixed-size
// pieces, so memory does not grow with the file. Reports how far through the
// file (in stored bytes) it is.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zelc {

struct XmlHandler {
  virtual ~XmlHandler() = default;
  // `name` without any namespace prefix; attributes as name/value pairs.
  virtual void start(std::string_view name, const char** attributes) = 0;
  virtual void end(std::string_view name) = 0;
  virtual void text(std::string_view data) = 0;
  // Whether text() is wanted after the element just started or ended; the
  // parser skips the calls for text nobody reads (most of it is indentation).
  virtual bool wants_text() const { return true; }
};

class BinaryTexts;

// The value of attribute `name`, or nullptr.
const char* attribute(const char** attributes, const char* name);

// Parses `path`; `progress(done, total)` is called after each piece. With
// `binary_texts`, the texts of <binary> elements are lifted out before expat
// reads the bytes, and the handler takes them from there.
void parse_xml_file(const std::string& path, XmlHandler& handler,
                    const std::function<void(uint64_t, uint64_t)>& progress,
                    BinaryTexts* binary_texts = nullptr);

// Parses XML text held in memory.
void parse_xml_text(std::string_view text, XmlHandler& handler,
                    BinaryTexts* binary_texts = nullptr);

// The local name of the file's root element (after an optional gzip layer),
// read from its first kilobytes.
std::string root_element(const std::string& path);

}  // namespace zelc
