#pragma once

// Realistic Japanese test text for the benchmarks: sentences of prose taken from the Japanese
// Debian Reference (package debian-reference-ja), and revisions of them with the edits a
// reviser makes. Everything is deterministic, so every run measures the same text.
//
// The HTML is read from SOROWA_BENCH_PROSE_DIR, by default
// /usr/share/doc/debian-reference-ja/docs. A missing corpus ends the run with a message.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace sorowa::bench {

// All sentences of the corpus in document order, each ending in 。 where the text had one.
const std::vector<std::u16string>& ProseSentences();

// The sentences of the <p> paragraphs of the HTML files in dir whose names end in suffix, in
// file name order; empty when there are none.
std::vector<std::u16string> ReadProseSentences(const std::filesystem::path& dir,
                                               const std::string& suffix);

// About approxLength characters of running prose (whole sentences), starting with sentence
// `first` of the corpus and wrapping around at its end.
std::u16string ProseLine(std::size_t first, std::size_t approxLength);

// The line revised with edits that touch about editRate of its characters: readings in
// katakana, particles dropped or inserted, neighbours swapped, characters changed.
std::u16string ReviseProse(const std::u16string& line, double editRate, std::uint64_t seed);

// count pairs (original, revised) of consecutive prose lines of about approxLength
// characters each, every one revised at editRate.
std::vector<std::pair<std::u16string, std::u16string>> ProseLinePairs(std::size_t count,
                                                                      std::size_t approxLength,
                                                                      double editRate = 0.1,
                                                                      std::uint64_t seed = 1);

// count pairs of consecutive prose lines of about approxLength characters (each a revision
// of the corpus, so that no line recurs), as a proofreading pass leaves them: about
// changedShare of the Target lines have one character changed for another of its kind, the
// rest are identical to their Source lines.
std::vector<std::pair<std::u16string, std::u16string>> ProofreadLinePairs(std::size_t count,
                                                                          std::size_t approxLength,
                                                                          double changedShare,
                                                                          std::uint64_t seed = 1);

// length code units drawn evenly from hiragana, katakana and common kanji: unrelated lines.
std::u16string RandomJapaneseLine(std::size_t length, std::uint64_t seed);

// The lines joined with line feeds, with a final line feed, as UTF-8.
std::string JoinLinesUtf8(const std::vector<std::u16string>& lines);

}  // namespace sorowa::bench
