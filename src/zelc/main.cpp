// zelc: converts mzML and mzXML files into Vorn container files.
#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "handover.hpp"
#include "interruption.hpp"
#include "measurement_builder.hpp"
#include "mzml_reader.hpp"
#include "mzxml_reader.hpp"
#include "options.hpp"
#include "progress.hpp"
#include "publish.hpp"
#include "vorn_core/container_writer.hpp"
#include "vorn_core/file_sink.hpp"
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

// A destination the file system refused (full disk, no such folder ...),
// named as the destination, not by its temporary name.
Failure destination_failure(const std::string& dest, const vorn::SinkError& e) {
  std::string action = e.action();
  if (action == "cannot create a file beside") action = "cannot create a file beside it";
  return Failure(dest + ": " + action + ": " + e.reason());
}

void convert_source(const std::string& source, MeasurementBuilder& builder,
                    const std::function<void(uint64_t, uint64_t)>& on_progress) {
  const std::string root = root_element(source);
  if (root == "mzML" || root == "indexedmzML")
    read_alongside([&](SourceSink& sink) { read_mzml(source, sink, on_progress); }, builder);
  else if (root == "mzXML" || root == "msRun")
    read_alongside([&](SourceSink& sink) { read_mzxml(source, sink, on_progress); }, builder);
  else
    throw std::runtime_error("not an mzML or mzXML file (root element <" + root + ">)");
  builder.finish();
}

int convert(const Options& o, Reporter& reporter) {
  std::vector<std::string> outputs;
  if (o.split)
    for (size_t k = 1; k <= o.sources.size(); ++k) outputs.push_back(numbered(o.destination, k));
  else
    outputs.push_back(o.destination);
  if (!o.overwrite)
    for (const auto& out : outputs)
      if (exists(out)) throw Failure(out + ": exists; use -f to replace it");
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
  // Each output's temporary file, and an older file kept while publishing.
  install_interruption_handlers(2 * outputs.size());

  reporter.start();
  vorn::WriterOptions writer_options;
  writer_options.overwrite = o.overwrite;
  writer_options.converter_version[0] = 1;
  writer_options.converter_version[1] = 1;
  // zstd's fast mode for centroids, traces and absorbance spectra: a sixth
  // less work for a file about 1% larger; profile points, which compress
  // well with more effort, at the writer's usual level.
  writer_options.profile_encoding = writer_options.encoding;
  writer_options.encoding.zstd_level = -1;
  Counts counts;
  std::unique_ptr<vorn::ContainerWriter> writer;
  // Complete files wait under their temporary names until every source is
  // converted: a failure publishes none of them.
  std::vector<std::unique_ptr<vorn::ContainerWriter>> complete;
  uint64_t done = 0;
  for (size_t i = 0; i < o.sources.size(); ++i) {
    const std::string& source = o.sources[i];
    const std::string& dest = outputs[o.split ? i : 0];
    try {
      if (!writer) {
        writer = std::make_unique<vorn::ContainerWriter>(dest, writer_options);
        add_temporary_file(writer->temp_path());
      }
      // A source is read mapped into memory: cut short while it is read, it
      // fails the conversion like any other broken source.
      set_read_failure_message("zelc: " + source + ": the file was cut short while it was read\n");
      try {
        MeasurementBuilder builder(*writer, o, source, counts);
        auto on_progress = [&](uint64_t consumed, uint64_t) {
          if (total)
            reporter.progress(100.0 * static_cast<double>(done + consumed) /
                              static_cast<double>(total));
        };
        convert_source(source, builder, on_progress);
      } catch (const vorn::SinkError&) {
        throw;
      } catch (const std::exception& e) {
        throw Failure(source + ": " + e.what());
      }
      done += sizes[i];
      if (o.split || i + 1 == o.sources.size()) {
        writer->finish_unpublished();
        complete.push_back(std::move(writer));
      }
    } catch (const vorn::SinkError& e) {
      throw destination_failure(dest, e);
    }
  }
  publish_all(complete, o.overwrite);

  std::vector<std::string> lines;
  for (const auto& w : complete) lines.push_back("File: " + w->path());
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
  Reporter reporter(options.background);
  try {
    return convert(options, reporter);
  } catch (const std::exception& e) {
    reporter.interrupt();
    std::fflush(stdout);
    std::fprintf(stderr, "zelc: %s\n", e.what());
    return 1;
  }
}
