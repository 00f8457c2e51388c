#include <cstring>

#include "source_records.hpp"

namespace zelc {
namespace {

constexpr size_t kFields = 5;  // accession, name, value, unit accession, unit name

void append_field(std::string& bytes, const char* text) {
  bytes.append(text ? text : "");
  bytes.push_back('\0');
}

}  // namespace

void PendingParams::add(const char** a) {
  const char* fields[kFields] = {};
  for (size_t i = 0; a[i]; i += 2) {
    const char* key = a[i];
    int field = -1;
    if (std::strcmp(key, "accession") == 0)
      field = 0;
    else if (std::strcmp(key, "name") == 0)
      field = 1;
    else if (std::strcmp(key, "value") == 0)
      field = 2;
    else if (std::strcmp(key, "unitAccession") == 0)
      field = 3;
    else if (std::strcmp(key, "unitName") == 0)
      field = 4;
    if (field >= 0 && !fields[field]) fields[field] = a[i + 1];
  }
  for (const char* f : fields) append_field(bytes_, f);
}

void PendingParams::add(const Param& p) {
  for (const std::string* f : {&p.accession, &p.name, &p.value, &p.unit_accession, &p.unit_name})
    append_field(bytes_, f->c_str());
}

void PendingParams::expand_into(Params& out) {
  const char* at = bytes_.data();
  const char* end = at + bytes_.size();
  while (at < end) {
    Param p;
    std::string* fields[kFields] = {&p.accession, &p.name, &p.value, &p.unit_accession,
                                    &p.unit_name};
    for (std::string* f : fields) {
      const size_t n = std::strlen(at);
      f->assign(at, n);
      at += n + 1;
    }
    out.items.push_back(std::move(p));
  }
  std::string().swap(bytes_);
}

std::vector<std::string> methods_of(const Params& activation) {
  std::vector<std::string> out;
  for (const Param& p : activation.items)
    if (!p.accession.empty() && p.value.empty() && !p.name.empty()) out.push_back(p.name);
  return out;
}

void expand_params(RawSpectrum& s) {
  s.pending_params.expand_into(s.params);
  s.pending_scan.expand_into(s.scan);
  for (Precursor& p : s.precursors) {
    p.pending_isolation.expand_into(p.isolation);
    p.pending_selected_ion.expand_into(p.selected_ion);
    if (!p.pending_activation.empty()) {
      p.pending_activation.expand_into(p.activation);
      p.methods = methods_of(p.activation);
    }
  }
}

}  // namespace zelc
