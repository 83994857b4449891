#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "distance/levenshtein_reference.h"
#include "score/pair_scorer.h"
#include "score/stats_json.h"

namespace sorowa {
namespace {

// Characters from every class, a pair from beyond the BMP and a lone surrogate.
const std::u16string kAlphabet = u"漢字かなカナーAz09、。「 　!𠮷";

std::u16string RandomText(std::mt19937_64& random, std::size_t maxLength) {
  std::u16string text;
  const std::size_t length = random() % (maxLength + 1);
  for (std::size_t k = 0; k < length; ++k) {
    const std::size_t at = random() % (kAlphabet.size() + 1);
    if (at == kAlphabet.size()) {
      text += static_cast<char16_t>(0xDC00 + random() % 4);  // a lone surrogate
    } else if (kAlphabet[at] >= 0xD800 && kAlphabet[at] <= 0xDBFF) {
      text += kAlphabet.substr(at, 2);
    } else if (kAlphabet[at] < 0xDC00 || kAlphabet[at] > 0xDFFF) {
      text += kAlphabet[at];
    }
  }
  return text;
}

SegmentList Morphemes(const std::u16string& text) {
  // Two code units a morpheme is enough to make them differ from characters.
  SegmentList list;
  for (std::size_t k = 0; k < text.size(); k += 2) list.push_back(text.substr(k, 2));
  return list;
}

// A run over random pairs of every status, with morphemes; the pairs are kept for checks. With
// lines aligned, some sides are runs of lines ("3-6") and some pairs moved.
StatsDocument RandomRun(std::mt19937_64& random, std::size_t pairs, bool morphemes,
                        bool aligned = false) {
  StatsDocument document;
  document.source = "source.txt";
  document.target = "target.txt";
  document.options.morphemes = morphemes;
  document.options.alignLines = aligned;
  PairScorer scorer;
  PairDetail detail;
  for (std::size_t k = 0; k < pairs; ++k) {
    const std::u16string reference = RandomText(random, 30);
    std::u16string hypothesis = random() % 4 == 0 ? reference : RandomText(random, 30);
    const SegmentList referenceMorphemes = Morphemes(reference);
    const SegmentList hypothesisMorphemes = Morphemes(hypothesis);
    PairInput input;
    input.sourceSide = std::to_string(k + 1);
    input.targetSide = std::to_string(k + 1) + "+" + std::to_string(k + 2);
    const int shape = static_cast<int>(random() % 8);
    if (shape != 0) input.reference = reference;
    if (shape != 1) input.hypothesis = hypothesis;
    if (shape == 0) input.sourceSide = "-";
    if (shape == 1) input.targetSide = "-";
    if (aligned && shape > 5) {
      input.sourceSide = std::to_string(k + 1) + "-" + std::to_string(k + 4);
      input.moved = shape == 7;
    }
    input.morphemes = morphemes;
    input.referenceMorphemes = &referenceMorphemes;
    input.hypothesisMorphemes = &hypothesisMorphemes;
    AddPair(document, scorer.Score(input, detail), detail);
  }
  return document;
}

std::vector<std::uint32_t> Elements(const std::u16string& text) {
  std::vector<std::uint32_t> out;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char16_t c = text[k];
    if (c >= 0xD800 && c <= 0xDBFF && k + 1 < text.size() && text[k + 1] >= 0xDC00 &&
        text[k + 1] <= 0xDFFF) {
      out.push_back(0x10000 + ((c - 0xD800u) << 10) + (text[k + 1] - 0xDC00u));
      ++k;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Per pair, the counts of the reference script over code points; per run, totals,
// confusions and classes that are the sums of the pairs.
TEST(StatsTest, PairCountsFollowTheScriptAndTotalsAreSums) {
  std::mt19937_64 random(99);
  PairScorer scorer;
  PairDetail detail;
  StatsDocument document;
  document.options.morphemes = true;
  ErrorCounts chars;
  ErrorCounts morphemes;
  std::uint64_t confusionEvents = 0;
  for (int k = 0; k < 500; ++k) {
    const std::u16string a = RandomText(random, 25);
    const std::u16string b = k % 5 == 0 ? a : RandomText(random, 25);
    const SegmentList ma = Morphemes(a);
    const SegmentList mb = Morphemes(b);
    PairInput input{"1", "1", a, b, true, &ma, &mb};
    const PairScore score = scorer.Score(input, detail);

    const auto elements = Elements(a);
    const auto expected = testing::ReferenceScript(elements, Elements(b));
    ASSERT_EQ(score.chars, CountScript(expected, elements.size())) << k;
    ASSERT_EQ(score.status, a == b ? PairStatus::Identical : PairStatus::Changed);
    std::uint64_t events = 0;
    for (const auto* map : {&detail.confusions.deletions, &detail.confusions.insertions}) {
      for (const auto& [c, count] : *map) events += count;
    }
    for (const auto& [key, count] : detail.confusions.substitutions) events += count;
    ASSERT_EQ(events, score.chars.distance());
    confusionEvents += events;
    chars += score.chars;
    morphemes += *score.morphemes;
    AddPair(document, score, detail);
  }
  EXPECT_EQ(document.totals.pairs, 500u);
  EXPECT_EQ(document.totals.chars, chars);
  EXPECT_EQ(document.totals.morphemes, morphemes);
  EXPECT_EQ(document.totals.identical + document.totals.changed, 500u);
  std::uint64_t classN = 0;
  for (const ClassCounts& c : document.classes) classN += c.n;
  EXPECT_EQ(classN, chars.n);
  EXPECT_EQ(document.totals.chars.distance(), confusionEvents);
}

TEST(StatsTest, MissingSidesAreAllDeletionsOrInsertions) {
  PairScorer scorer;
  PairDetail detail;
  const SegmentList morphemes{u"漢字", u"が", u"𠮷"};
  PairInput sourceOnly{"3", "-", u"漢字が𠮷", std::nullopt, true, &morphemes, nullptr};
  const PairScore deleted = scorer.Score(sourceOnly, detail);
  EXPECT_EQ(deleted.status, PairStatus::SourceOnly);
  EXPECT_EQ(deleted.chars, (ErrorCounts{4, 0, 4, 0}));
  EXPECT_EQ(deleted.morphemes, (ErrorCounts{3, 0, 3, 0}));
  EXPECT_EQ(detail.confusions.deletions.at(U'𠮷'), 1u);
  EXPECT_EQ(detail.classes[static_cast<int>(ScoreClass::Kanji)], (ClassCounts{3, 3}));

  PairInput targetOnly{"-", "4+5", std::nullopt, u"かな", true, nullptr, &morphemes};
  const PairScore inserted = scorer.Score(targetOnly, detail);
  EXPECT_EQ(inserted.status, PairStatus::TargetOnly);
  EXPECT_EQ(inserted.chars, (ErrorCounts{0, 0, 0, 2}));
  EXPECT_EQ(inserted.chars.rate(), std::nullopt);
  EXPECT_EQ(inserted.morphemes, (ErrorCounts{0, 0, 0, 3}));
}

TEST(StatsTest, ClassifiesReferenceCharacters) {
  const std::pair<std::u32string, ScoreClass> cases[] = {
      {U"漢字々〆𠮷", ScoreClass::Kanji},
      {U"ひらがなゝ", ScoreClass::Hiragana},
      {U"カタカナーｶｰ", ScoreClass::Katakana},
      {U"AzＡé", ScoreClass::Latin},
      {U"09０", ScoreClass::Digit},
      {U"、。「」!+€", ScoreClass::Punctuation},
      {U" \t\u3000", ScoreClass::Whitespace},
      {U"αЖ한\u3099", ScoreClass::Other},
  };
  for (const auto& [chars, expected] : cases) {
    for (char32_t c : chars) {
      EXPECT_EQ(ClassifyForScore(c), expected) << std::hex << static_cast<std::uint32_t>(c);
    }
  }
  EXPECT_EQ(ClassifyForScore(0xD800), ScoreClass::Other);
}

// JSON read back equals the document; read with the library directly, it agrees with the
// TSV field for field.
TEST(StatsTest, JsonReadsBackAndAgreesWithTsv) {
  std::mt19937_64 random(5);
  const StatsDocument document = RandomRun(random, 200, true);
  const std::string json = WriteStatsJson(document);
  EXPECT_EQ(ReadStatsJson(json, "run.json"), document);
  // Moved pairs and their count appear only for lines aligned by content; such a file reads
  // back, and so does one written before moves were counted.
  EXPECT_EQ(json.find("moved"), std::string::npos);
  const StatsDocument aligned = RandomRun(random, 200, true, true);
  ASSERT_GT(aligned.totals.moved, 0u);
  const std::string alignedJson = WriteStatsJson(aligned);
  EXPECT_EQ(ReadStatsJson(alignedJson, "aligned.json"), aligned);
  nlohmann::json older = nlohmann::json::parse(alignedJson);
  older["totals"].erase("moved");
  for (auto& pair : older["pairs"]) pair.erase("moved");
  EXPECT_EQ(ReadStatsJson(older.dump(), "older.json").totals.moved, 0u);

  const nlohmann::json parsed = nlohmann::json::parse(json);
  EXPECT_EQ(parsed["format"], "sorowa-stats");
  EXPECT_EQ(parsed["version"], 1);
  EXPECT_LE(parsed["confusions"]["substitutions"].size(), 50u);
  std::istringstream tsv(WriteStatsTsv(document));
  std::string row;
  std::getline(tsv, row);
  EXPECT_EQ(row,
            "source\ttarget\tstatus\tchars_n\tchars_s\tchars_d\tchars_i\tchars_distance\t"
            "chars_rate\tmorphemes_n\tmorphemes_s\tmorphemes_d\tmorphemes_i\t"
            "morphemes_distance\tmorphemes_rate");
  auto expectCounts = [](const nlohmann::json& counts, const std::vector<std::string>& fields,
                         std::size_t at) {
    std::size_t k = at;
    for (const char* key : {"n", "s", "d", "i", "distance"}) {
      EXPECT_EQ(std::stoull(fields[k++]), counts[key].get<std::uint64_t>()) << key;
    }
    if (counts["rate"].is_null()) {
      EXPECT_EQ(fields[k], "");
    } else {
      EXPECT_EQ(std::stod(fields[k]), counts["rate"].get<double>());
    }
  };
  auto split = [](const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    return fields;
  };
  for (const nlohmann::json& pair : parsed["pairs"]) {
    ASSERT_TRUE(std::getline(tsv, row));
    const auto fields = split(row);
    ASSERT_EQ(fields.size(), 15u);
    EXPECT_EQ(fields[0], pair["source"]);
    EXPECT_EQ(fields[1], pair["target"]);
    EXPECT_EQ(fields[2], pair["status"]);
    expectCounts(pair["chars"], fields, 3);
    expectCounts(pair["morphemes"], fields, 9);
  }
  ASSERT_TRUE(std::getline(tsv, row));
  const auto total = split(row);
  EXPECT_EQ(total[0], "total");
  expectCounts(parsed["totals"]["chars"], total, 3);
  expectCounts(parsed["totals"]["morphemes"], total, 9);
  EXPECT_FALSE(std::getline(tsv, row));
}

// Paths are bytes: quotes, tabs and bytes that are not UTF-8 must not break either format.
TEST(StatsTest, OddPathsStayReadable) {
  StatsDocument document;
  document.source = "dir/\"q\"\t\xFF.txt";
  document.target = "plain.txt";
  const StatsDocument back = ReadStatsJson(WriteStatsJson(document), "odd.json");
  EXPECT_EQ(back.source, "dir/\"q\"\t\xEF\xBF\xBD.txt");
  EXPECT_EQ(back.target, "plain.txt");
  StatsDocument many;
  AddFailedDocument(many, document.source, "t", "line 1\nline 2");
  const std::string tsv = WriteStatsTsv(many);
  EXPECT_NE(tsv.find("dir/\"q\"\\t\xFF.txt\tt\tline 1\\nline 2\t"), std::string::npos) << tsv;
}

// Documents scored in shards, written, read back and merged, give what one run over all
// of them gives; so do merges of merges.
TEST(StatsTest, MergedShardsEqualOneRun) {
  std::mt19937_64 random(17);
  std::vector<StatsDocument> runs;
  StatsDocument oneRun;
  oneRun.manyDocuments = true;
  oneRun.options.morphemes = true;
  for (int k = 0; k < 7; ++k) {
    runs.push_back(RandomRun(random, 1 + random() % 40, true));
    runs.back().source = "doc" + std::to_string(k) + ".txt";
    AddDocument(oneRun, runs.back());
  }
  AddFailedDocument(oneRun, "bad.txt", "bad.txt", "cannot read 'bad.txt'");

  auto shard = [&](std::size_t from, std::size_t to, bool failed) {
    StatsDocument part;
    part.manyDocuments = true;
    part.options.morphemes = true;
    for (std::size_t k = from; k < to; ++k) AddDocument(part, runs[k]);
    if (failed) AddFailedDocument(part, "bad.txt", "bad.txt", "cannot read 'bad.txt'");
    return ReadStatsJson(WriteStatsJson(part), "shard.json");
  };
  const std::vector<StatsDocument> shards{shard(0, 3, false), shard(3, 4, false),
                                          shard(4, 7, true)};
  const StatsDocument merged = MergeStats(shards, {"a.json", "b.json", "c.json"});
  EXPECT_EQ(merged, oneRun);
  EXPECT_EQ(ReadStatsJson(WriteStatsJson(merged), "merged.json"), oneRun);
  // A run over one Source and one Target merges as one document.
  const StatsDocument nested =
      MergeStats({MergeStats({shards[0]}, {"a.json"}),
                  ReadStatsJson(WriteStatsJson(runs[3]), "d.json"), shards[2]},
                 {"ab.json", "d.json", "c.json"});
  EXPECT_EQ(nested, oneRun);
}

TEST(StatsTest, MergeRefusesOtherOptions) {
  std::mt19937_64 random(3);
  StatsDocument a = RandomRun(random, 5, false);
  StatsDocument b = RandomRun(random, 5, false);
  b.options.normalization.foldKana = true;
  try {
    MergeStats({a, b}, {"a.json", "b.json"});
    FAIL() << "merged documents of other options";
  } catch (const StatsFormatError& e) {
    EXPECT_NE(std::string(e.what()).find("b.json was scored with other options than a.json"),
              std::string::npos)
        << e.what();
  }
}

// Broken documents give an error that names the file and what is wrong.
TEST(StatsTest, ReaderNamesWhatIsWrong) {
  std::mt19937_64 random(8);
  const std::string good = WriteStatsJson(RandomRun(random, 3, false));
  auto edit = [&](const std::function<void(nlohmann::json&)>& change) {
    nlohmann::json j = nlohmann::json::parse(good);
    change(j);
    return j.dump();
  };
  const std::pair<std::string, std::string> cases[] = {
      {"", "in.json: not valid JSON: "},
      {"{\"format\": \"sorowa-stats\", \"version\": 1,", "in.json: not valid JSON: "},
      {"[1, 2]", "in.json: expected an object"},
      {std::string(100, '[') + std::string(100, ']'), "in.json: nested deeper"},
      {"{\"format\": \"other\"}", "in.json: not a stats document"},
      {edit([](nlohmann::json& j) { j["version"] = 2; }), "in.json: stats format version 2 is not"},
      {edit([](nlohmann::json& j) { j["totals"].erase("chars"); }),
       "in.json: totals: missing field \"chars\""},
      {edit([](nlohmann::json& j) { j["totals"]["chars"]["n"] = -1; }),
       "in.json: totals.chars.n: expected"},
      {edit([](nlohmann::json& j) { j["totals"]["chars"]["n"] = 1.5; }),
       "in.json: totals.chars.n: expected"},
      {edit([](nlohmann::json& j) {
         j["totals"]["chars"]["n"] = j["totals"]["chars"]["n"].get<int>() + 1;
       }),
       "in.json: totals: not the sum of the pairs"},
      {edit([](nlohmann::json& j) { j["pairs"][0]["chars"]["distance"] = 12345; }),
       "in.json: pairs[0].chars: distance is not s + d + i"},
      {edit([](nlohmann::json& j) { j["pairs"][0]["status"] = "moved"; }),
       "in.json: pairs[0].status: unknown status \"moved\""},
      {edit([](nlohmann::json& j) {
         j["confusion_counts"]["deletions"].push_back({{"char", "ab"}, {"count", 1}});
       }),
       "in.json: confusion_counts.deletions.char: expected one character"},
      {edit([](nlohmann::json& j) {
         j["confusion_counts"]["insertions"].push_back({{"char", "\xE2\x82\xAC"}, {"count", 1}});
       }),
       "in.json: confusion_counts: the counts do not add up"},
      {edit([](nlohmann::json& j) {
         j["classes"]["kanji"]["n"] = 0;
         j["classes"]["kanji"]["errors"] = 1;
       }),
       "in.json: classes.kanji: more errors than characters"},
      {edit([](nlohmann::json& j) {
         j["options"]["units"] = {"chars", "words"};
       }),
       "in.json: options.units: unexpected unit \"words\""},
      {edit([](nlohmann::json& j) { j["documents"] = nlohmann::json::array(); }),
       "in.json: expected either \"pairs\" or \"documents\""},
      {edit([](nlohmann::json& j) { j["pairs"][0]["source"] = "4-4"; }),
       "in.json: pairs[0].source: expected a line number"},
      {edit([](nlohmann::json& j) { j["pairs"][1]["target"] = "07"; }),
       "in.json: pairs[1].target: expected a line number"},
      {edit([](nlohmann::json& j) { j["pairs"][2]["target"] = "3+"; }),
       "in.json: pairs[2].target: expected a line number"},
      {edit([](nlohmann::json& j) { j["pairs"][0]["moved"] = true; }),
       "in.json: pairs[0].moved: a moved pair, but lines were not aligned"},
      {edit([](nlohmann::json& j) { j["totals"]["moved"] = 0; }),
       "in.json: totals.moved: moved pairs, but lines were not aligned"},
  };
  for (const auto& [text, expected] : cases) {
    try {
      ReadStatsJson(text, "in.json");
      ADD_FAILURE() << "accepted: " << text.substr(0, 200);
    } catch (const StatsFormatError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, expected.size()), expected) << e.what();
    }
  }
}

TEST(StatsTest, SummaryGivesRatesAndTopConfusions) {
  StatsDocument document;
  PairScorer scorer;
  PairDetail detail;
  AddPair(document, scorer.Score({"1", "1", u"一二三", u"ー二三"}, detail), detail);
  AddPair(document, scorer.Score({"2", "-", u"の", std::nullopt}, detail), detail);
  EXPECT_EQ(FormatSummary(document),
            "pairs: 2, changed: 1, unpaired: Source 1 / Target 0\n"
            "character error rate: 50.00 % (2 of 4: 1 substituted, 1 deleted, 0 inserted)\n"
            "top confusions: 一 -> ー (1), の deleted (1)\n");
}

}  // namespace
}  // namespace sorowa
