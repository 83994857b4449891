// mecab_floor SOURCE TARGET: MeCab's own analysis of two UTF-8 texts, one thread each, line
// by line, from one model: what a Compare of the two texts cannot do without. Timing this
// process as a whole (start-up and dictionary loading included) gives the floor that the
// whole command is measured against in docs/performance.md. Prints the morphemes found.

#include <mecab.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

namespace {

std::size_t AnalyseLines(MeCab::Model& model, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  const std::string text = content.str();
  std::unique_ptr<MeCab::Tagger> tagger(model.createTagger());
  std::unique_ptr<MeCab::Lattice> lattice(model.createLattice());
  std::size_t morphemes = 0;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string::npos) end = text.size();
    if (end > begin) {
      lattice->set_sentence(text.data() + begin, end - begin);
      if (tagger->parse(lattice.get())) {
        for (const MeCab::Node* node = lattice->bos_node(); node != nullptr; node = node->next) {
          if (node->stat == MECAB_NOR_NODE || node->stat == MECAB_UNK_NODE) ++morphemes;
        }
      }
    }
    begin = end + 1;
  }
  return morphemes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: mecab_floor SOURCE TARGET\n", stderr);
    return 2;
  }
  std::unique_ptr<MeCab::Model> model(MeCab::createModel(0, nullptr));
  if (!model) {
    std::fprintf(stderr, "mecab_floor: %s\n", MeCab::getTaggerError());
    return 1;
  }
  std::size_t targetMorphemes = 0;
  std::thread target([&] { targetMorphemes = AnalyseLines(*model, argv[2]); });
  const std::size_t sourceMorphemes = AnalyseLines(*model, argv[1]);
  target.join();
  std::printf("%zu %zu\n", sourceMorphemes, targetMorphemes);
  return 0;
}
