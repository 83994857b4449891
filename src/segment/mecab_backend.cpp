#include "segment/mecab_backend.h"

#include <fcntl.h>
#include <mecab.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "base/stop_request.h"
#include "base/utf8.h"

namespace sorowa {
namespace {

constexpr char kOrigin[] = "MeCab";

void Show(const MessageSink& showMessage, std::string text) {
  if (showMessage) showMessage(UserMessage{kOrigin, std::move(text)});
}

// MeCab's error text may quote file names, which are bytes on Linux; the message has to be
// valid UTF-8 wherever it is shown, so anything that does not decode becomes U+FFFD.
std::string ValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    char32_t minimum = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
      length = 1;
      cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      minimum = 0x80;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      minimum = 0x800;
      cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      minimum = 0x10000;
      cp = lead & 0x07;
    }
    bool valid = length != 0 && i + length <= bytes.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      valid = (next & 0xC0) == 0x80;
      cp = (cp << 6) | (next & 0x3F);
    }
    if (valid && length > 1) {
      valid = cp >= minimum && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    }
    if (valid) {
      out.append(bytes.substr(i, length));
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

std::string TaggerErrorOr(std::string_view fallback) {
  const char* error = MeCab::getTaggerError();
  if (error != nullptr && *error != '\0') return ValidUtf8(error);
  return std::string(fallback);
}

// MeCab says that its dictionary does not exist whenever it cannot map the file into memory,
// also when the file is there and it is memory that is missing: under an address-space limit
// (ulimit -v) that is what happens. A file that opens here was not missing, so the message
// then says what most likely went wrong instead.
std::string ExplainMissingDictionary(std::string text) {
  static constexpr std::string_view kMissing = "no such file or directory: ";
  const std::size_t at = text.rfind(kMissing);
  if (at == std::string::npos) return text;
  std::string file = text.substr(at + kMissing.size());
  while (!file.empty() && file.back() == ' ') file.pop_back();
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;  // it is missing (or unreadable) indeed
  struct stat info {};
  const bool sized = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  if (!sized) return text;
  std::string limit;
  rlimit addressSpace{};
  if (::getrlimit(RLIMIT_AS, &addressSpace) == 0 && addressSpace.rlim_cur != RLIM_INFINITY) {
    limit = " (the process may take at most " + std::to_string(addressSpace.rlim_cur >> 20) +
            " MiB of address space; see ulimit -v)";
  }
  return ValidUtf8("MeCab ran out of memory loading its dictionary " + file + " (" +
                   std::to_string(info.st_size >> 20) + " MiB), which is there but could not " +
                   "be mapped into memory" + limit + ". Morphemes are left empty.");
}

// Puts a NUL at bytes[at] while it lives, then the byte that was there. at may be
// bytes.size(), where a NUL already is.
class ScopedNul {
 public:
  ScopedNul(std::string& bytes, std::size_t at) : bytes_(bytes), at_(at), saved_(bytes[at]) {
    bytes_[at_] = '\0';
  }
  ~ScopedNul() { bytes_[at_] = saved_; }
  ScopedNul(const ScopedNul&) = delete;
  ScopedNul& operator=(const ScopedNul&) = delete;

 private:
  std::string& bytes_;
  std::size_t at_;
  char saved_;
};

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// MeCab reads its character table from the folder of the system dictionary.
std::shared_ptr<const MecabCharTable> LoadCharTable(const MeCab::Model& model) {
  for (const MeCab::DictionaryInfo* info = model.dictionary_info(); info != nullptr;
       info = info->next) {
    if (info->type == MECAB_SYS_DIC && info->filename != nullptr) {
      return MecabCharTable::Load(std::filesystem::path(info->filename).parent_path() / "char.bin");
    }
  }
  return nullptr;
}

}  // namespace

bool IsUtf8CharsetName(std::string_view charset) {
  std::string lower(charset);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return lower == "utf-8" || lower == "utf8";
}

std::unique_ptr<MecabBackend> MecabBackend::Create(const MessageSink& showMessage) {
  // This is what createTagger() with no arguments does, in two steps: MeCab 0.996's
  // createTagger overwrites the error text with an empty one when it fails, whereas
  // createModel leaves the real reason (a missing dicrc, say) for getTaggerError.
  // The text is read only after a failure, because a success does not clear an old one.
  std::unique_ptr<MeCab::Model> model(MeCab::createModel(0, nullptr));
  if (!model) {
    Show(showMessage, ExplainMissingDictionary(
                          TaggerErrorOr("MeCab could not load its resource file or dictionary.")));
    return nullptr;
  }

  // A dictionary in another charset would take our UTF-8 bytes for something else and cut
  // characters in half, so such a set-up is not used at all.
  for (const MeCab::DictionaryInfo* info = model->dictionary_info(); info != nullptr;
       info = info->next) {
    const std::string charset = info->charset != nullptr ? info->charset : "";
    if (!IsUtf8CharsetName(charset)) {
      const std::string file = info->filename != nullptr ? info->filename : "";
      Show(showMessage,
           ValidUtf8("the dictionary " + file + " uses the character set \"" + charset +
                     "\", but only UTF-8 dictionaries can be used. Install "
                     "mecab-ipadic-utf8, or choose a UTF-8 dictionary with "
                     "MECABRC or the dicdir setting of a mecabrc file. "
                     "Morphemes are left empty."));
      return nullptr;
    }
  }

  std::unique_ptr<MeCab::Tagger> tagger(model->createTagger());
  std::unique_ptr<MeCab::Lattice> lattice(model->createLattice());
  if (!tagger || !lattice) {
    Show(showMessage, TaggerErrorOr("MeCab could not create its tagger."));
    return nullptr;
  }
  std::shared_ptr<const MecabCharTable> charTable = LoadCharTable(*model);
  return std::unique_ptr<MecabBackend>(new MecabBackend(std::move(model), std::move(charTable),
                                                        std::move(tagger), std::move(lattice)));
}

MecabBackend::MecabBackend(std::shared_ptr<MeCab::Model> model,
                           std::shared_ptr<const MecabCharTable> charTable,
                           std::unique_ptr<MeCab::Tagger> tagger,
                           std::unique_ptr<MeCab::Lattice> lattice)
    : model_(std::move(model)),
      charTable_(std::move(charTable)),
      tagger_(std::move(tagger)),
      lattice_(std::move(lattice)) {}

MecabBackend::~MecabBackend() = default;

std::unique_ptr<MorphBackend> MecabBackend::Clone() const {
  std::unique_ptr<MeCab::Tagger> tagger(model_->createTagger());
  std::unique_ptr<MeCab::Lattice> lattice(model_->createLattice());
  if (!tagger || !lattice) return nullptr;
  return std::unique_ptr<MorphBackend>(
      new MecabBackend(model_, charTable_, std::move(tagger), std::move(lattice)));
}

void MecabBackend::Encode(std::u16string_view text) {
  // Sized for the most bytes the text can take (three a code unit) and cut back after, so
  // that nothing grows a byte at a time; both buffers keep their room from line to line.
  utf8_.resize(3 * text.size());
  unitOfByte_.resize(3 * text.size() + 1);
  char* const first = utf8_.data();
  std::size_t* const unitOf = unitOfByte_.data();
  char* p = first;
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = text[i];
    // ASCII and the three-byte characters (kana, kanji) are most of any line.
    if (c < 0x80) {
      unitOf[p - first] = i;
      *p++ = static_cast<char>(c);
      ++i;
      continue;
    }
    if (c >= 0x800 && !IsHighSurrogate(text[i]) && !IsLowSurrogate(text[i])) {
      const std::size_t at = static_cast<std::size_t>(p - first);
      unitOf[at] = unitOf[at + 1] = unitOf[at + 2] = i;
      p[0] = static_cast<char>(0xE0 | (c >> 12));
      p[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      p[2] = static_cast<char>(0x80 | (c & 0x3F));
      p += 3;
      ++i;
      continue;
    }
    char32_t cp = c;
    std::size_t units = 1;
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      cp = 0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      units = 2;
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      // MeCab sees a replacement character; the word still owns the original code unit.
      cp = 0xFFFD;
    }
    char* const end = EncodeCodePointUtf8(cp, p);
    std::fill(unitOf + (p - first), unitOf + (end - first), i);
    p = end;
    i += units;
  }
  const auto size = static_cast<std::size_t>(p - first);
  utf8_.resize(size);
  unitOfByte_[size] = text.size();
  unitOfByte_.resize(size + 1);
}

void MecabBackend::AddWord(std::size_t fromByte, std::size_t toByte,
                           std::vector<std::uint32_t>& wordIndex) {
  // A boundary that fell inside a character moves to that character's start, so the words
  // still tile the text.
  const std::size_t first = unitOfByte_[fromByte];
  const std::size_t last = unitOfByte_[toByte];
  if (first >= last) return;
  std::fill(wordIndex.begin() + static_cast<std::ptrdiff_t>(first),
            wordIndex.begin() + static_cast<std::ptrdiff_t>(last), nextWord_++);
}

bool MecabBackend::ParsePiece(std::size_t from, std::size_t to,
                              std::vector<std::uint32_t>& wordIndex) {
  if (from == to) return true;
  const char* const begin = utf8_.data() + from;
  const std::size_t size = to - from;
  // MeCab's dictionary search takes a length of zero to mean "up to the NUL", and it asks
  // with zero when a piece ends in blanks: it then reads on into the next piece and puts the
  // word it finds there past the end of its lattice, over whatever lies after it on the
  // heap. So the piece ends with a NUL while MeCab has it.
  const ScopedNul terminated(utf8_, to);
  // Given by length, so a NUL inside the line is just another character.
  lattice_->set_sentence(begin, size);
  if (!tagger_->parse(lattice_.get())) return false;

  std::size_t covered = 0;
  for (const MeCab::Node* node = lattice_->bos_node(); node != nullptr; node = node->next) {
    if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) continue;
    const bool inside = node->surface >= begin && node->surface <= begin + size;
    const std::size_t start = inside ? static_cast<std::size_t>(node->surface - begin) : 0;
    const std::size_t end = start + node->length;
    if (!inside || start < covered || end > size) return false;
    // Whatever MeCab stepped over before this node (its whitespace) stands on its own.
    AddWord(from + covered, from + start, wordIndex);
    AddWord(from + start, from + end, wordIndex);
    covered = end;
  }
  AddWord(from + covered, to, wordIndex);
  return true;
}

bool MecabBackend::Analyze(std::u16string_view text, std::vector<std::uint32_t>& wordIndex) {
  wordIndex.clear();
  if (text.empty()) return true;
  Encode(text);
  wordIndex.resize(text.size());
  nextWord_ = 0;

  // Pieces do not share morphemes: a line of megabytes is parsed a sentence or so at a time,
  // and long runs of blanks or of one kind of character are cut out (see PlanMecabPieces).
  PlanMecabPieces(utf8_, charTable_.get(), pieces_);
  for (const MecabPiece& piece : pieces_) {
    if (pieces_.size() > 1) ThrowIfStopped();
    if (piece.blankRun) {
      AddWord(piece.from, piece.to, wordIndex);
    } else if (!ParsePiece(piece.from, piece.to, wordIndex)) {
      wordIndex.clear();
      return false;
    }
  }
  return true;
}

std::unique_ptr<MorphBackend> CreateDefaultMorphBackend(const MessageSink& showMessage) {
  return MecabBackend::Create(showMessage);
}

}  // namespace sorowa
