#include "bench_text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>

#include "base/utf8.h"

namespace sorowa::bench {
namespace {

std::filesystem::path ProseDir() {
  const char* dir = std::getenv("SOROWA_BENCH_PROSE_DIR");
  return dir != nullptr && *dir != '\0' ? dir : "/usr/share/doc/debian-reference-ja/docs";
}

bool IsHiragana(char16_t c) { return c >= u'ぁ' && c <= u'ゖ'; }
bool IsKatakana(char16_t c) { return c >= u'ァ' && c <= u'ヶ'; }
bool IsKanji(char16_t c) { return c >= 0x4E00 && c <= 0x9FFF; }
bool IsJapanese(char16_t c) { return IsHiragana(c) || IsKatakana(c) || IsKanji(c) || c == u'ー'; }

// Paragraph text without markup: tags dropped, the usual entities decoded, white space
// collapsed.
std::string PlainText(const std::string& html) {
  std::string out;
  for (std::size_t k = 0; k < html.size();) {
    if (html[k] == '<') {
      const std::size_t end = html.find('>', k);
      if (end == std::string::npos) break;
      k = end + 1;
      continue;
    }
    if (html[k] == '&') {
      const std::size_t end = html.find(';', k);
      if (end != std::string::npos && end - k < 10) {
        const std::string name = html.substr(k + 1, end - k - 1);
        k = end + 1;
        if (name == "lt")
          out += '<';
        else if (name == "gt")
          out += '>';
        else if (name == "amp")
          out += '&';
        else if (name == "quot")
          out += '"';
        else if (name == "nbsp")
          out += ' ';
        else if (!name.empty() && name[0] == '#') {
          const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
          const auto c = static_cast<char32_t>(
              std::strtoul(name.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10));
          // A reference to no character is dropped, like an unknown name.
          if (c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF)) AppendCodePointUtf8(out, c);
        }
        continue;
      }
    }
    const char c = html[k++];
    const bool space = c == ' ' || c == '\n' || c == '\r' || c == '\t';
    if (space) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::vector<std::u16string> ReadProseSentences(const std::filesystem::path& dir,
                                               const std::string& suffix) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > suffix.size() && name.ends_with(suffix)) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::u16string> sentences;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t at = html.find("<p>"); at != std::string::npos; at = html.find("<p>", at)) {
      const std::size_t end = html.find("</p>", at);
      if (end == std::string::npos) break;
      // The corpus is UTF-8, and PlainText keeps its characters whole.
      const std::u16string paragraph = DecodeUtf8(PlainText(html.substr(at + 3, end - at - 3)));
      at = end;
      std::size_t start = 0;
      while (start < paragraph.size()) {
        std::size_t stop = paragraph.find(u'。', start);
        stop = stop == std::u16string::npos ? paragraph.size() : stop + 1;
        std::u16string sentence = paragraph.substr(start, stop - start);
        start = stop;
        while (!sentence.empty() && sentence.front() == u' ') sentence.erase(0, 1);
        while (!sentence.empty() && sentence.back() == u' ') sentence.pop_back();
        const auto japanese = std::count_if(sentence.begin(), sentence.end(), IsJapanese);
        if (sentence.size() >= 12 && japanese * 10 > static_cast<long>(sentence.size()) * 6) {
          sentences.push_back(std::move(sentence));
        }
      }
    }
  }
  return sentences;
}

namespace {

std::vector<std::u16string> ReadSentences() {
  const std::filesystem::path dir = ProseDir();
  std::vector<std::u16string> sentences = ReadProseSentences(dir, ".ja.html");
  if (sentences.size() < 100) {
    std::cerr << "sorowa_bench: no Japanese prose found in " << dir
              << "; install debian-reference-ja or set SOROWA_BENCH_PROSE_DIR\n";
    std::exit(1);
  }
  return sentences;
}

const std::u16string& CorpusKanji() {
  static const std::u16string kanji = [] {
    std::set<char16_t> seen;
    for (const auto& sentence : ProseSentences()) {
      for (char16_t c : sentence) {
        if (IsKanji(c)) seen.insert(c);
      }
    }
    return std::u16string(seen.begin(), seen.end());
  }();
  return kanji;
}

char16_t RandomKatakana(std::mt19937_64& random) {
  return static_cast<char16_t>(u'ァ' + random() % (u'ン' - u'ァ' + 1));
}

}  // namespace

const std::vector<std::u16string>& ProseSentences() {
  static const std::vector<std::u16string> sentences = ReadSentences();
  return sentences;
}

std::u16string ProseLine(std::size_t first, std::size_t approxLength) {
  const auto& sentences = ProseSentences();
  std::u16string line;
  for (std::size_t k = first; line.size() < approxLength; ++k) {
    const std::u16string& sentence = sentences[k % sentences.size()];
    // Stop before a sentence that would overshoot by more than it fills.
    if (!line.empty() && line.size() + sentence.size() / 2 > approxLength) break;
    line += sentence;
  }
  if (line.size() > approxLength + approxLength / 2) line.resize(approxLength);
  return line;
}

std::u16string ReviseProse(const std::u16string& line, double editRate, std::uint64_t seed) {
  static const std::u16string particles = u"はがをにでとものへや";
  const std::u16string& kanji = CorpusKanji();
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  // An edit touches about 1.6 characters on average.
  const double editChance = editRate / 1.6;
  std::u16string out;
  out.reserve(line.size() + line.size() / 8);
  for (std::size_t k = 0; k < line.size();) {
    const char16_t c = line[k];
    if (chance(random) >= editChance) {
      out += c;
      ++k;
      continue;
    }
    switch (random() % 10) {
      case 0:
      case 1:
      case 2:
        if (IsKanji(c)) {  // a reading in katakana for up to three kanji
          std::size_t run = 1;
          while (run < 3 && k + run < line.size() && IsKanji(line[k + run])) ++run;
          for (std::size_t x = 0; x < 2 * run; ++x) out += RandomKatakana(random);
          k += run;
          break;
        }
        [[fallthrough]];
      case 3:
      case 4:
        if (particles.find(c) != std::u16string::npos) {
          ++k;  // a particle dropped
        } else {
          out += particles[random() % particles.size()];  // or one inserted
        }
        break;
      case 5:
      case 6:
        if (k + 1 < line.size()) {  // neighbours swapped
          out += line[k + 1];
          out += c;
          k += 2;
          break;
        }
        [[fallthrough]];
      default:  // a character changed for one of its kind
        if (IsHiragana(c)) {
          out += static_cast<char16_t>(u'ぁ' + random() % (u'ゖ' - u'ぁ' + 1));
        } else if (IsKatakana(c)) {
          out += RandomKatakana(random);
        } else {
          out += kanji[random() % kanji.size()];
        }
        ++k;
        break;
    }
  }
  return out;
}

std::vector<std::pair<std::u16string, std::u16string>> ProseLinePairs(std::size_t count,
                                                                      std::size_t approxLength,
                                                                      double editRate,
                                                                      std::uint64_t seed) {
  std::vector<std::pair<std::u16string, std::u16string>> pairs;
  pairs.reserve(count);
  const std::size_t sentenceCount = ProseSentences().size();
  std::size_t next = static_cast<std::size_t>(seed * 7919) % sentenceCount;
  for (std::size_t k = 0; k < count; ++k) {
    std::u16string line = ProseLine(next, approxLength);
    // Move on by as many sentences as the line used, so consecutive lines read on.
    std::size_t used = 0;
    for (std::size_t length = 0; length < line.size(); ++used) {
      length += ProseSentences()[(next + used) % sentenceCount].size();
    }
    next = (next + std::max<std::size_t>(used, 1)) % sentenceCount;
    std::u16string revised = ReviseProse(line, editRate, seed * 1000003 + k);
    pairs.emplace_back(std::move(line), std::move(revised));
  }
  return pairs;
}

std::vector<std::pair<std::u16string, std::u16string>> ProofreadLinePairs(std::size_t count,
                                                                          std::size_t approxLength,
                                                                          double changedShare,
                                                                          std::uint64_t seed) {
  // The corpus is far shorter than such a document, so its lines would come round again
  // and again; lightly revised, every line is a line of its own, as in a real text.
  std::vector<std::pair<std::u16string, std::u16string>> pairs =
      ProseLinePairs(count, approxLength, 0.1, seed);
  const std::u16string& kanji = CorpusKanji();
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  for (auto& [line, revised] : pairs) {
    line = revised;
    if (line.empty() || chance(random) >= changedShare) continue;
    char16_t& c = revised[random() % revised.size()];
    const char16_t old = c;
    while (c == old) {
      if (IsHiragana(old)) {
        c = static_cast<char16_t>(u'ぁ' + random() % (u'ゖ' - u'ぁ' + 1));
      } else if (IsKatakana(old)) {
        c = RandomKatakana(random);
      } else {
        c = kanji[random() % kanji.size()];
      }
    }
  }
  return pairs;
}

std::u16string RandomJapaneseLine(std::size_t length, std::uint64_t seed) {
  const std::u16string& kanji = CorpusKanji();
  std::mt19937_64 random(seed);
  std::u16string line;
  line.reserve(length);
  for (std::size_t k = 0; k < length; ++k) {
    switch (random() % 3) {
      case 0:
        line += static_cast<char16_t>(u'ぁ' + random() % (u'ゖ' - u'ぁ' + 1));
        break;
      case 1:
        line += RandomKatakana(random);
        break;
      default:
        line += kanji[random() % kanji.size()];
        break;
    }
  }
  return line;
}

std::string JoinLinesUtf8(const std::vector<std::u16string>& lines) {
  std::string out;
  for (const auto& line : lines) {
    AppendUtf8(out, line);
    out += '\n';
  }
  return out;
}

}  // namespace sorowa::bench
