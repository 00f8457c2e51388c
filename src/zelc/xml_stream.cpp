#include "xml_stream.hpp"

#include "binary_texts.hpp"
#include "mapped_source.hpp"

#include <expat.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

namespace zelc {
namespace {

constexpr size_t kPiece = 1 << 20;

std::string_view local_name(const char* name) {
  std::string_view n(name);
  auto colon = n.find(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Bytes of the file, inflated when it is gzip-compressed.
class ByteSource {
 public:
  explicit ByteSource(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
    if (!file_) throw std::runtime_error("cannot open: " + std::string(std::strerror(errno)));
    std::fseek(file_.get(), 0, SEEK_END);
    total_ = static_cast<uint64_t>(std::ftell(file_.get()));
    std::fseek(file_.get(), 0, SEEK_SET);
    unsigned char magic[2] = {0, 0};
    size_t got = std::fread(magic, 1, 2, file_.get());
    std::fseek(file_.get(), 0, SEEK_SET);
    gzip_ = got == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
    if (gzip_ && inflateInit2(&z_, 16 + MAX_WBITS) != Z_OK)
      throw std::runtime_error("zlib initialisation failed");
    in_.resize(kPiece);
  }
  ~ByteSource() {
    if (gzip_) inflateEnd(&z_);
  }
  uint64_t total() const { return total_; }
  uint64_t consumed() const { return consumed_; }

  // Up to `size` bytes; 0 at the end.
  size_t read(char* out, size_t size) {
    if (!gzip_) {
      size_t n = std::fread(out, 1, size, file_.get());
      consumed_ += n;
      if (n == 0 && std::ferror(file_.get())) throw std::runtime_error("read error");
      return n;
    }
    z_.next_out = reinterpret_cast<Bytef*>(out);
    z_.avail_out = static_cast<uInt>(size);
    while (z_.avail_out == size) {
      if (z_.avail_in == 0) {
        size_t n = std::fread(in_.data(), 1, in_.size(), file_.get());
        consumed_ += n;
        if (n == 0) {
          if (!ended_) throw std::runtime_error("the gzip data is cut short");
          return 0;
        }
        z_.next_in = in_.data();
        z_.avail_in = static_cast<uInt>(n);
      }
      if (ended_) {
        // Concatenated gzip members: start the next one.
        inflateReset(&z_);
        ended_ = false;
      }
      int rc = ::inflate(&z_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        ended_ = true;
        if (z_.avail_in == 0 && std::feof(file_.get())) break;
      } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
        throw std::runtime_error("corrupt gzip data");
      }
    }
    return size - z_.avail_out;
  }

 private:
  std::unique_ptr<std::FILE, FileCloser> file_;
  bool gzip_ = false, ended_ = false;
  z_stream z_{};
  std::vector<Bytef> in_;
  uint64_t total_ = 0, consumed_ = 0;
};

struct ExpatFree {
  void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

// What expat's callbacks reach: the handler, and the parser whose text
// callback is switched on and off as the handler wants text.
struct Callbacks {
  XmlHandler* handler;
  XML_Parser parser = nullptr;
  bool text_on = true;
};

void XMLCALL on_text(void* data, const char* s, int len) {
  static_cast<Callbacks*>(data)->handler->text(std::string_view(s, static_cast<size_t>(len)));
}
void switch_text(Callbacks& c) {
  const bool wanted = c.handler->wants_text();
  if (wanted == c.text_on) return;
  XML_SetCharacterDataHandler(c.parser, wanted ? on_text : nullptr);
  c.text_on = wanted;
}
void XMLCALL on_start(void* data, const char* name, const char** attributes) {
  auto* c = static_cast<Callbacks*>(data);
  c->handler->start(local_name(name), attributes);
  switch_text(*c);
}
void XMLCALL on_end(void* data, const char* name) {
  auto* c = static_cast<Callbacks*>(data);
  c->handler->end(local_name(name));
  switch_text(*c);
}

// A parser calling `callbacks`.
XML_Parser new_parser(Callbacks& callbacks) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (!parser) throw std::bad_alloc();
  callbacks.parser = parser;
  XML_SetUserData(parser, &callbacks);
  XML_SetElementHandler(parser, on_start, on_end);
  XML_SetCharacterDataHandler(parser, on_text);
  return parser;
}

[[noreturn]] void xml_error(XML_Parser parser) {
  throw std::runtime_error("XML error at line " + std::to_string(XML_GetCurrentLineNumber(parser)) +
                           ": " + XML_ErrorString(XML_GetErrorCode(parser)));
}

}  // namespace

const char* attribute(const char** attributes, const char* name) {
  for (size_t i = 0; attributes[i]; i += 2)
    if (std::strcmp(attributes[i], name) == 0) return attributes[i + 1];
  return nullptr;
}

namespace {

// Parses a mapped file with its <binary> texts lifted out: expat reads the
// file's own bytes, nothing is copied.
void parse_mapped(const std::shared_ptr<MappedSource>& input, XML_Parser parser,
                  BinaryTexts& binary_texts,
                  const std::function<void(uint64_t, uint64_t)>& progress) {
  const std::string_view file = input->bytes();
  const std::function<void(std::string_view)> emit = [&](std::string_view bytes) {
    for (size_t at = 0; at < bytes.size(); at += kPiece) {
      const size_t n = std::min(kPiece, bytes.size() - at);
      if (XML_Parse(parser, bytes.data() + at, static_cast<int>(n), 0) == XML_STATUS_ERROR)
        xml_error(parser);
    }
  };
  for (size_t at = 0; at < file.size();) {
    at = binary_texts.filter_mapped(file, at, at + kPiece, input, emit);
    input->release_read(at);
    progress(at, file.size());
  }
  if (XML_Parse(parser, nullptr, 0, 1) == XML_STATUS_ERROR) xml_error(parser);
}

}  // namespace

void parse_xml_file(const std::string& path, XmlHandler& handler,
                    const std::function<void(uint64_t, uint64_t)>& progress,
                    BinaryTexts* binary_texts) {
  Callbacks callbacks{&handler};
  std::unique_ptr<XML_ParserStruct, ExpatFree> parser(new_parser(callbacks));
  if (binary_texts) {
    if (auto input = MappedSource::open(path)) {
      parse_mapped(input, parser.get(), *binary_texts, progress);
      return;
    }
  }
  ByteSource source(path);
  // Input the filter could not decide on yet stays at the front of `raw`.
  std::vector<char> raw(binary_texts ? kPiece + 64 : 0);
  size_t left = 0;
  std::string filtered;
  for (;;) {
    size_t n;
    if (binary_texts) {
      n = source.read(raw.data() + left, kPiece);
      filtered.clear();
      const size_t used =
          binary_texts->filter(std::string_view(raw.data(), left + n), n == 0, filtered);
      left = left + n - used;
      if (left > 64) throw std::logic_error("the binary text filter left too much undecided");
      std::memmove(raw.data(), raw.data() + used, left);
      if (filtered.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
        throw std::runtime_error("XML piece too large");
      if (XML_Parse(parser.get(), filtered.data(), static_cast<int>(filtered.size()), n == 0) ==
          XML_STATUS_ERROR)
        xml_error(parser.get());
    } else {
      void* buffer = XML_GetBuffer(parser.get(), static_cast<int>(kPiece));
      if (!buffer) throw std::bad_alloc();
      n = source.read(static_cast<char*>(buffer), kPiece);
      if (XML_ParseBuffer(parser.get(), static_cast<int>(n), n == 0) == XML_STATUS_ERROR)
        xml_error(parser.get());
    }
    progress(source.consumed(), source.total());
    if (n == 0) return;
  }
}

void parse_xml_text(std::string_view text, XmlHandler& handler, BinaryTexts* binary_texts) {
  Callbacks callbacks{&handler};
  std::unique_ptr<XML_ParserStruct, ExpatFree> parser(new_parser(callbacks));
  std::string filtered;
  if (binary_texts) {
    binary_texts->filter(text, true, filtered);
    text = filtered;
  }
  if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
    throw std::runtime_error("XML text too large");
  if (XML_Parse(parser.get(), text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_ERROR)
    xml_error(parser.get());
}

std::string root_element(const std::string& path) {
  struct Root : XmlHandler {
    std::string name;
    void start(std::string_view n, const char**) override {
      if (name.empty()) name = n;
    }
    void end(std::string_view) override {}
    void text(std::string_view) override {}
    bool wants_text() const override { return false; }
  } root;
  ByteSource source(path);
  Callbacks callbacks{&root};
  std::unique_ptr<XML_ParserStruct, ExpatFree> parser(new_parser(callbacks));
  XML_SetCharacterDataHandler(parser.get(), nullptr);
  callbacks.text_on = false;
  char buffer[8192];
  bool empty = true;
  while (root.name.empty()) {
    size_t n = source.read(buffer, sizeof buffer);
    if (n == 0 && empty) throw std::runtime_error("the file is empty");
    empty = false;
    // The end of the input must be told: expat may hold back a large comment
    // or DOCTYPE (and the root element after it) until it knows there is no
    // more.
    if (XML_Parse(parser.get(), buffer, static_cast<int>(n), n == 0) == XML_STATUS_ERROR &&
        root.name.empty())
      throw std::runtime_error("not an XML file (" +
                               std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + ")");
    if (n == 0 && root.name.empty()) throw std::runtime_error("not an XML file (no root element)");
  }
  return root.name;
}

}  // namespace zelc
