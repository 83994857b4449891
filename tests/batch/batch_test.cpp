// The documents of a batch: the list format, the shards, and the results page.

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

#include "batch/batch_documents.h"
#include "batch/batch_index.h"

namespace sorowa {
namespace {

using namespace std::literals;

std::vector<std::string> Names(const std::vector<BatchDocument>& documents) {
  std::vector<std::string> names;
  for (const BatchDocument& document : documents) names.push_back(document.name);
  return names;
}

TEST(BatchListTest, ReadsPathsAndMakesUniqueRelativeNames) {
  const std::vector<BatchDocument> documents = ReadBatchList(
      "b.txt\tt/b.txt\r\n"
      "\n"
      "/abs/dir/./a.txt\tx y.txt\n"
      "../up/a.txt\t/t/a2.txt\n"
      "abs/dir/a.txt\t\\weird\\name\n"
      "///\tt\n"
      "a b\xff.txt\tt3",
      "list.tsv");
  const std::vector<BatchDocument> expected = {
      {"a b\xff.txt", "a b\xff.txt", "t3", ""},
      {"abs/dir/a.txt", "/abs/dir/./a.txt", "x y.txt", ""},
      {"abs/dir/a.txt~2", "abs/dir/a.txt", "\\weird\\name", ""},
      {"b.txt", "b.txt", "t/b.txt", ""},
      {"document", "///", "t", ""},
      {"up/a.txt", "../up/a.txt", "/t/a2.txt", ""},
  };
  EXPECT_EQ(documents, expected);
}

TEST(BatchListTest, RefusesLinesThatAreNotDocuments) {
  const std::pair<std::string_view, const char*> cases[] = {
      {"a\tb\nno tab here\n", "l: line 2: expected a Source path, a tab and a Target path"},
      {"a\tb\tc\n", "l: line 1: more than one tab"},
      {"\tb\n", "l: line 1: the Source path is empty"},
      {"a\t\r\n", "l: line 1: the Target path is empty"},
      {"\n\na\0b\tc\n"sv, "l: line 3: a path cannot hold a NUL byte"},
      {"\xFF\xFE"
       "a\0\t\0b\0"sv,
       "l: starts with a UTF-16 or UTF-32 byte order mark"},
      {"\0\0\xFE\xFF\0\0\0a"sv, "l: starts with a UTF-16 or UTF-32 byte order mark"},
      // After a UTF-8 mark, which is skipped, lines count as before.
      {"\xEF\xBB\xBF"
       "a\tb\nc\n",
       "l: line 2: expected a Source path"},
  };
  for (const auto& [text, message] : cases) {
    try {
      ReadBatchList(text, "l");
      ADD_FAILURE() << "accepted: " << message;
    } catch (const BatchListError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with(message)) << e.what();
    }
  }
}

// Shards 1..N one after the other are the whole list, each a fixed run of it, none of them
// more than one document longer than another.
TEST(BatchShardTest, ShardsPartitionTheDocumentsInOrder) {
  for (std::size_t total = 0; total <= 23; ++total) {
    std::vector<BatchDocument> documents(total);
    for (std::size_t k = 0; k < total; ++k) documents[k].name = std::to_string(1000 + k);
    for (std::size_t count = 1; count <= 9; ++count) {
      std::vector<BatchDocument> joined;
      std::size_t shortest = total;
      std::size_t longest = 0;
      for (std::size_t index = 1; index <= count; ++index) {
        const std::vector<BatchDocument> shard = SelectShard(documents, index, count);
        joined.insert(joined.end(), shard.begin(), shard.end());
        shortest = std::min(shortest, shard.size());
        longest = std::max(longest, shard.size());
      }
      EXPECT_EQ(Names(joined), Names(documents)) << total << " in " << count;
      EXPECT_LE(longest - shortest, 1u) << total << " in " << count;
    }
  }
}

StatsTotals Totals(std::uint64_t n, std::uint64_t distance) {
  StatsTotals totals;
  totals.pairs = 1;
  totals.changed = distance != 0;
  totals.identical = distance == 0;
  totals.chars.n = n;
  totals.chars.substitutions = distance;
  return totals;
}

// Names and messages are escaped wherever they appear, links are percent-encoded, and the
// documents come failed first, then from the highest error rate down, those without a rate
// last.
TEST(BatchIndexTest, EscapesAndOrdersTheDocuments) {
  StatsDocument stats;
  stats.manyDocuments = true;
  std::vector<BatchDocument> documents;
  auto add = [&](std::string name, std::optional<StatsTotals> totals, std::string error) {
    documents.push_back({name, "s/" + name, "t/" + name, error});
    stats.documents.push_back({"s/" + name, "t/" + name, totals, error});
  };
  add("low.txt", Totals(100, 1), "");
  add("<b>&\"'\x01\xff#?.txt", Totals(10, 5), "");
  add("empty.txt", Totals(0, 0), "");
  add("bad.txt", std::nullopt, "bad <byte> & more");
  const std::string page = WriteBatchIndex(stats, documents, {true, true, false, false});

  std::vector<std::size_t> at;
  for (const char* row : {">bad.txt<", "&lt;b&gt;&amp;&quot;&#39;\uFFFD\uFFFD#?.txt</a>",
                          ">low.txt</a>", ">empty.txt<"}) {
    at.push_back(page.find(row));
    EXPECT_NE(at.back(), std::string::npos) << row;
  }
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << page;
  EXPECT_NE(page.find("href=\"%3Cb%3E%26%22%27%01%FF%23%3F.txt.htm\""), std::string::npos);
  EXPECT_NE(page.find("bad &lt;byte&gt; &amp; more"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_EQ(page.find("href=\"empty"), std::string::npos) << "no report, no link";
  EXPECT_TRUE(page.starts_with("<!DOCTYPE html>\n<html lang=\"ja\">"));
}

}  // namespace
}  // namespace sorowa
