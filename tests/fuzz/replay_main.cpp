// A harness as a plain program: runs LLVMFuzzerTestOneInput once for every
// file given and for every file below every folder given, in name order, and
// ends with a count. A failed property or a sanitizer report ends the run with
// the input's name. Used by ctest to replay the seeds and the saved findings.
//
//   fuzz_<harness> [--max-size BYTES] [--max-files N] [--junit FILE] PATH...
//
// --max-size skips larger files and --max-files stops after N files of each
// folder (the smallest first), so that a replay of a large sample folder stays
// quick.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

struct Options {
  uintmax_t maxSize = UINTMAX_MAX;
  size_t maxFiles = SIZE_MAX;
  std::string junit;
  std::vector<fs::path> paths;
};

bool IsNote(const fs::path& path) {
  const std::string name = path.filename().string();
  return name == ".gitkeep" || name == "README.md" || name == "CATALOG.md";
}

// The inputs of one path: the file itself, or the files below the folder,
// smallest first (then by name), within the limits.
std::vector<fs::path> InputsOf(const fs::path& path, const Options& options) {
  std::vector<std::pair<uintmax_t, fs::path>> found;
  std::error_code error;
  if (fs::is_regular_file(path, error)) return {path};
  if (!fs::is_directory(path, error)) return {};
  for (const auto& entry : fs::recursive_directory_iterator(path, error)) {
    if (!entry.is_regular_file() || IsNote(entry.path())) continue;
    const uintmax_t size = entry.file_size();
    if (size <= options.maxSize) found.emplace_back(size, entry.path());
  }
  std::sort(found.begin(), found.end());
  if (found.size() > options.maxFiles) found.resize(options.maxFiles);
  std::vector<fs::path> inputs;
  for (auto& [size, file] : found) inputs.push_back(std::move(file));
  return inputs;
}

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--max-size" && i + 1 < argc) {
      options.maxSize = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--max-files" && i + 1 < argc) {
      options.maxFiles = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--junit" && i + 1 < argc) {
      options.junit = argv[++i];
    } else {
      options.paths.emplace_back(arg);
    }
  }
  const std::string program = fs::path(argv[0]).filename().string();
  std::string cases;
  size_t total = 0;
  for (const fs::path& path : options.paths) {
    const std::vector<fs::path> inputs = InputsOf(path, options);
    for (const fs::path& input : inputs) {
      fuzz::SetCurrentInput(input.string());
      const std::vector<uint8_t> bytes = fuzz::ReadWholeFile(input.string());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%s: %zu inputs from %s\n", program.c_str(), inputs.size(), path.c_str());
    cases += "  <testcase classname=\"" + XmlEscaped(program) + "\" name=\"" +
             XmlEscaped(path.string()) + "\"/>\n";
    total += inputs.size();
  }
  fuzz::SetCurrentInput("");
  if (!options.junit.empty()) {
    std::ofstream out(options.junit);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuite name=\"" << XmlEscaped(program)
        << "\" tests=\"" << options.paths.size() << "\" failures=\"0\">\n"
        << cases << "</testsuite>\n";
  }
  std::printf("%s: %zu inputs, every property held\n", program.c_str(), total);
  return 0;
}
