// zelc: converts mzML and mzXML files into Vorn container files.
#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "measurement_builder.hpp"
#include "mzml_reader.hpp"
#include "mzxml_reader.hpp"
#include "options.hpp"
#include "progress.hpp"
#include "vorn_core/container_writer.hpp"
#include "xml_stream.hpp"

namespace {

using namespace zelc;

uint64_t file_size(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) throw std::runtime_error("cannot open: no such file");
  return static_cast<uint64_t>(st.st_size);
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// PATH_k: the k-th output of a split conversion, numbered before the extension.
std::string numbered(const std::string& path, size_t k) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
  return path.substr(0, dot) + "_" + std::to_string(k) + path.substr(dot);
}

// The error of one source or destination, reported on one line.
struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

int convert(const Options& o) {
  std::vector<std::string> outputs;
  if (o.split)
    for (size_t k = 1; k <= o.sources.size(); ++k) outputs.push_back(numbered(o.destination, k));
  else
    outputs.push_back(o.destination);
  if (!o.overwrite)
    for (const auto& out : outputs)
      if (exists(out)) throw Failure(out + ": exists; use -f to overwrite it");
  uint64_t total = 0;
  std::vector<uint64_t> sizes;
  for (const auto& source : o.sources) {
    try {
      sizes.push_back(file_size(source));
    } catch (const std::exception& e) {
      throw Failure(source + ": " + e.what());
    }
    total += sizes.back();
  }

  Reporter reporter(o.background);
  reporter.start();
  vorn::WriterOptions writer_options;
  writer_options.overwrite = o.overwrite;
  writer_options.converter_version[0] = 1;
  Counts counts;
  std::unique_ptr<vorn::ContainerWriter> writer;
  std::vector<std::string> lines;
  uint64_t done = 0;
  for (size_t i = 0; i < o.sources.size(); ++i) {
    const std::string& source = o.sources[i];
    if (!writer)
      writer = std::make_unique<vorn::ContainerWriter>(outputs[o.split ? i : 0], writer_options);
    try {
      MeasurementBuilder builder(*writer, o, source, counts);
      auto on_progress = [&](uint64_t consumed, uint64_t) {
        if (total)
          reporter.progress(100.0 * static_cast<double>(done + consumed) /
                            static_cast<double>(total));
      };
      std::string root = root_element(source);
      if (root == "mzML" || root == "indexedmzML")
        read_mzml(source, builder, on_progress);
      else if (root == "mzXML" || root == "msRun")
        read_mzxml(source, builder, on_progress);
      else
        throw std::runtime_error("not an mzML or mzXML file (root element <" + root + ">)");
      builder.finish();
    } catch (const std::exception& e) {
      throw Failure(source + ": " + e.what());
    }
    done += sizes[i];
    if (o.split || i + 1 == o.sources.size()) {
      writer->finish();
      lines.push_back("File: " + writer->path());
      writer.reset();
    }
  }
  lines.push_back("Measurements: " + std::to_string(counts.measurements));
  lines.push_back("Analyses: qual " + std::to_string(counts.qual) + ", quan " +
                  std::to_string(counts.quan) + ", dad " + std::to_string(counts.dad) +
                  ", analog " + std::to_string(counts.analog));
  lines.push_back("Spectra: " + std::to_string(counts.spectra));
  lines.push_back("Traces: " + std::to_string(counts.traces));
  for (const std::string& line : counts.skipped_lines()) lines.push_back(line);
  reporter.finish(lines);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  try {
    options = parse_options(args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "zelc: %s\n%s", e.what(), kUsage);
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("%s\n", kVersion);
    return 0;
  }
  try {
    return convert(options);
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "zelc: %s\n", e.what());
    return 1;
  }
}
