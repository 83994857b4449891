// The stats reader on arbitrary bytes: it either throws StatsFormatError or returns a
// document whose parts add up; never anything else. What it accepts must write out and read
// back unchanged, merge with itself into doubled counts, and write as TSV with one row per
// pair or document plus the header and the total.
//
// Input: the bytes of a would-be stats file.

#include <algorithm>

#include "fuzz_support.h"
#include "score/stats_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorowa;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  StatsDocument document;
  try {
    document = ReadStatsJson(text, "in.json");
  } catch (const StatsFormatError& e) {
    FUZZ_CHECK(std::string_view(e.what()).starts_with("in.json: "),
               std::string("error without the file's name: ") + e.what());
    return 0;
  }
  const std::string written = WriteStatsJson(document);
  FUZZ_CHECK(ReadStatsJson(written, "out.json") == document, "a written document reads back");

  const std::string tsv = WriteStatsTsv(document);
  const std::size_t rows =
      document.manyDocuments ? document.documents.size() : document.pairs.size();
  FUZZ_CHECK(static_cast<std::size_t>(std::count(tsv.begin(), tsv.end(), '\n')) == rows + 2,
             "TSV rows");

  StatsDocument twice;
  try {
    twice = MergeStats({document, document}, {"a.json", "b.json"});
  } catch (const StatsFormatError&) {
    return 0;  // counts too large to double
  }
  FUZZ_CHECK(twice.totals.chars.n == 2 * document.totals.chars.n, "merged n is doubled");
  FUZZ_CHECK(twice.totals.pairs == 2 * document.totals.pairs, "merged pairs are doubled");
  const std::size_t documents = document.manyDocuments ? document.documents.size() : 1;
  FUZZ_CHECK(twice.documents.size() == 2 * documents, "merged documents are concatenated");
  FUZZ_CHECK(ReadStatsJson(WriteStatsJson(twice), "merged.json") == twice,
             "a merged document reads back");
  return 0;
}
