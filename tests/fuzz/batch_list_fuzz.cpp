// The batch list reader on arbitrary bytes, and the results page over what it accepts. The
// reader either throws BatchListError naming the list and a line (or, for a list that starts
// with a UTF-16 or UTF-32 byte order mark, naming the mark), or returns one document per
// non-empty line after a UTF-8 byte order mark, which is skipped, with unique, sorted, relative
// names and paths a line can hold; the documents written out again read back as the same paths; the
// shards of any count are the documents in order; and the page has the same markup whatever the
// paths and messages hold (they are escaped), in valid UTF-8.
//
// Input: the bytes of a would-be list file.

#include <algorithm>
#include <set>

#include "batch/batch_documents.h"
#include "batch/batch_index.h"
#include "fuzz_support.h"

namespace {

using namespace sorowa;

std::size_t LineCount(std::string_view text, bool nonEmptyOnly) {
  std::size_t count = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    count += !nonEmptyOnly || !line.empty();
  }
  return count;
}

bool ValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xC2 && lead <= 0xDF ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

// The page with every name, path and message as given, and with all of them replaced by
// plain letters: the markup (every '<') must be the same.
void CheckPage(const std::vector<BatchDocument>& documents) {
  StatsDocument stats;
  stats.manyDocuments = true;
  StatsDocument plain = stats;
  std::vector<BatchDocument> plainDocuments;
  std::vector<bool> hasReport;
  for (std::size_t k = 0; k < documents.size(); ++k) {
    const BatchDocument& d = documents[k];
    stats.documents.push_back({d.source, d.target, std::nullopt, d.target + "<&>\"'"});
    plain.documents.push_back({"s", "t", std::nullopt, "e"});
    plainDocuments.push_back({"n", "s", "t", ""});
    hasReport.push_back(k % 2 == 0);
  }
  const std::string page = WriteBatchIndex(stats, documents, hasReport);
  const std::string plainPage = WriteBatchIndex(plain, plainDocuments, hasReport);
  FUZZ_CHECK(ValidUtf8(page), "the page is UTF-8");
  FUZZ_CHECK(std::count(page.begin(), page.end(), '<') ==
                 std::count(plainPage.begin(), plainPage.end(), '<'),
             "paths and messages add no markup");
  FUZZ_CHECK(std::count(page.begin(), page.end(), '"') ==
                 std::count(plainPage.begin(), plainPage.end(), '"'),
             "paths and messages add no quotes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<BatchDocument> documents;
  try {
    documents = ReadBatchList(text, "list");
  } catch (const BatchListError& e) {
    const std::string message = e.what();
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") ||
        text.starts_with(std::string_view("\0\0\xFE\xFF", 4))) {
      FUZZ_CHECK(message.starts_with("list: ") && message.find("byte order mark") != message.npos,
                 "a list in UTF-16 or UTF-32 refused for its mark: " + message);
      return 0;
    }
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    FUZZ_CHECK(message.starts_with("list: line "), "error without the list and line: " + message);
    const std::size_t line = std::stoul(message.substr(11));
    FUZZ_CHECK(line >= 1 && line <= LineCount(text, false), "error names a line of the list");
    return 0;
  }

  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  FUZZ_CHECK(documents.size() == LineCount(text, true), "one document per non-empty line");
  std::set<std::string> names;
  for (const BatchDocument& d : documents) {
    FUZZ_CHECK(!d.name.empty() && !d.name.starts_with('/') && !d.name.ends_with('/'),
               "a relative name: " + d.name);
    FUZZ_CHECK(d.name.find("//") == std::string::npos, "no empty part: " + d.name);
    for (std::string_view part : {"/./", "/../"}) {
      FUZZ_CHECK(("/" + d.name + "/").find(part) == std::string::npos, "no . or ..: " + d.name);
    }
    FUZZ_CHECK(names.insert(d.name).second, "names are unique: " + d.name);
    for (const std::string& path : {d.source, d.target}) {
      FUZZ_CHECK(!path.empty() && path.find_first_of(std::string("\t\n\0", 3)) == std::string::npos,
                 "a path a line can hold");
    }
    FUZZ_CHECK(d.error.empty(), "a listed document has no error");
  }
  FUZZ_CHECK(std::is_sorted(
                 documents.begin(), documents.end(),
                 [](const BatchDocument& a, const BatchDocument& b) { return a.name < b.name; }),
             "documents in name order");

  // Written out again, the list reads back as the same paths. With CR LF line ends, since a
  // path may itself end in CR (only one CR is taken as part of a line end).
  std::string again;
  std::multiset<std::pair<std::string, std::string>> paths;
  for (const BatchDocument& d : documents) {
    again += d.source + "\t" + d.target + "\r\n";
    paths.insert({d.source, d.target});
  }
  std::multiset<std::pair<std::string, std::string>> reread;
  for (const BatchDocument& d : ReadBatchList(again, "again")) reread.insert({d.source, d.target});
  FUZZ_CHECK(reread == paths, "the documents read back");

  for (std::size_t count = 1; count <= 4; ++count) {
    std::vector<BatchDocument> joined;
    for (std::size_t index = 1; index <= count; ++index) {
      const std::vector<BatchDocument> shard = SelectShard(documents, index, count);
      joined.insert(joined.end(), shard.begin(), shard.end());
    }
    FUZZ_CHECK(joined == documents, "the shards are the documents in order");
  }
  CheckPage(documents);
  return 0;
}
