// Writes the text files of the whole-run benchmarks (docs/performance.md) into a folder:
//
//   doc-source.txt, doc-target.txt      2,000 lines of about 60 characters, about 10 % edits
//   proof10k-source.txt, -target.txt    10,000 lines of about 60 characters, a fifth of them
//                                       with one character changed, the rest identical
//   line12k-source.txt, -target.txt     one line of about 12,000 characters, about 8 % edits
//   line20k-source.txt, -target.txt     one line of about 20,000 characters, about 10 % edits
//   random20k-source.txt, -target.txt   two unrelated lines of 20,000 characters
//   line100k-source.txt, -target.txt    one line of about 100,000 characters, about 8 % edits
//   line1m-source.txt, -target.txt      one line of about 1,000,000 characters, about 8 % edits
//   random100k-source.txt, -target.txt  two unrelated lines of 100,000 characters
//   random1m-source.txt, -target.txt    two unrelated lines of 1,000,000 characters
//
// The prose comes from debian-reference-ja (see bench/bench_text.h); the same run always
// writes the same files.

#include <filesystem>
#include <fstream>
#include <iostream>

#include "bench_text.h"

namespace {

void Write(const std::filesystem::path& path, const std::vector<std::u16string>& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << sorowa::bench::JoinLinesUtf8(lines);
  out.close();
  if (!out) {
    std::cerr << "make_bench_text: cannot write " << path << "\n";
    std::exit(1);
  }
  std::cout << path.string() << "\n";
}

void WritePairs(const std::filesystem::path& dir, const std::string& name,
                const std::vector<std::pair<std::u16string, std::u16string>>& pairs) {
  std::vector<std::u16string> source;
  std::vector<std::u16string> target;
  for (const auto& [s, t] : pairs) {
    source.push_back(s);
    target.push_back(t);
  }
  Write(dir / (name + "-source.txt"), source);
  Write(dir / (name + "-target.txt"), target);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_bench_text FOLDER\n";
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  using sorowa::bench::ProseLinePairs;
  WritePairs(dir, "doc", ProseLinePairs(2000, 60, 0.1, 3));
  WritePairs(dir, "proof10k", sorowa::bench::ProofreadLinePairs(10000, 60, 0.2, 5));
  WritePairs(dir, "line12k", ProseLinePairs(1, 12000, 0.08, 12));
  WritePairs(dir, "line20k", ProseLinePairs(1, 20000, 0.1, 20));
  WritePairs(dir, "random20k",
             {{sorowa::bench::RandomJapaneseLine(20000, 21),
               sorowa::bench::RandomJapaneseLine(20000, 22)}});
  WritePairs(dir, "line100k", ProseLinePairs(1, 100000, 0.08, 100));
  WritePairs(dir, "line1m", ProseLinePairs(1, 1000000, 0.08, 1000));
  WritePairs(dir, "random100k",
             {{sorowa::bench::RandomJapaneseLine(100000, 101),
               sorowa::bench::RandomJapaneseLine(100000, 102)}});
  WritePairs(dir, "random1m",
             {{sorowa::bench::RandomJapaneseLine(1000000, 1001),
               sorowa::bench::RandomJapaneseLine(1000000, 1002)}});
  return 0;
}
