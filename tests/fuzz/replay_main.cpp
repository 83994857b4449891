// Runs a fuzz target's body over saved inputs, so that the seed corpus and every crash the
// fuzzer ever found are checked on each test run, with the normal compiler and no fuzzer.
//
// Usage: replay_TARGET FILE_OR_DIRECTORY...

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path argument = argv[i];
    if (fs::is_directory(argument)) {
      for (const auto& entry : fs::recursive_directory_iterator(argument)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else if (fs::is_regular_file(argument)) {
      inputs.push_back(argument);
    } else {
      std::fprintf(stderr, "no such input: %s\n", argv[i]);
      return 2;
    }
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "no inputs to replay\n");
    return 2;
  }
  std::sort(inputs.begin(), inputs.end());
  for (const fs::path& input : inputs) {
    // Named before running, so a crash shows which input caused it.
    std::fprintf(stderr, "replaying %s\n", input.c_str());
    const std::vector<std::uint8_t> bytes = ReadFile(input);
    // A null pointer for an empty input, as libFuzzer may pass.
    LLVMFuzzerTestOneInput(bytes.empty() ? nullptr : bytes.data(), bytes.size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return 0;
}
