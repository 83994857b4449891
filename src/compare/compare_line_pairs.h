#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/long_work.h"
#include "compare/compare_options.h"
#include "compare/compare_result.h"
#include "compare/report_document.h"
#include "pairing/line_pair.h"
#include "segment/morph_backend.h"

namespace sorowa {

class MorphAnalyzer;

struct CompareHooks {
  // Messages from the analyser, such as MeCab's start-up error. May be empty.
  MessageSink showMessage;
  // Called on the calling thread before each pair (done of total), again about every 100 ms
  // while a pair takes long, and once at the end (total of total). It may throw, e.g.
  // CompareCancelled, to end the command. May be empty.
  std::function<void(std::size_t done, std::size_t total)> progress;
  // Called on the calling thread, about every 100 ms, while the pair next in line is held up
  // by a table estimated to take kLongWorkSeconds or more: its pair, lengths, estimate and
  // the share done. It may throw, as progress may. May be empty.
  std::function<void(const LongWorkStatus& status)> longWork;
  // Takes the report's bytes (UTF-8) in order as they are ready, a run of pairs or about a
  // megabyte of one long pair at a time, so that no report ever sits whole in memory; the
  // report argument then gets none of them. Called on the calling thread; it may throw to
  // end the command. May be empty: the bytes are appended to the report argument.
  std::function<void(std::string_view bytes)> reportBytes;
  // How many threads write line pairs at once; 0 lets the engine choose. The report is the
  // same whatever the number.
  std::size_t threads = 0;
  // The morphological back-end; empty means the one this build links in.
  MorphBackendFactory morphBackendFactory;
  // An analyser already set up for Japanese, used instead of setting one up for this Compare
  // (extra threads get clones of it): a run over many documents loads the dictionary once
  // per thread, not once per document. Not owned; showMessage then goes unused.
  MorphAnalyzer* analyzer = nullptr;
};

// Whether a Compare with these options sets the morphological analyser up.
bool CompareNeedsAnalyzer(const CompareOptions& options);

// Pairs the lines of the two texts and appends to report (UTF-8), per pair, the tables the options
// ask for, each followed by <br>, then <hr><br>. Lines are paired by position (surplus lines of the
// longer text are left out) or, with alignLines, by content (every line shows up, a line
// with no counterpart alone). Joined lines are compared as one text. With normalisation
// on, each line is normalised first and a line left empty takes no part, as an empty line
// never does; the others keep their line numbers. Returns the pairs written, what became
// of each side's lines and, when asked for, the scores.
//
// With options.report Review the report gets the whole review page instead (src/compare/
// review_page.h), head and end included: its head gives the figures of all pairs, so every
// pair is scored before the first row is written. It has a row for every pair, the surplus
// lines of pairing by position too, since each counts in the figures; the result lists
// them as pairs of their own, after the others.
CompareResult CompareLinePairs(const std::u16string& sourceText, const std::u16string& targetText,
                               std::string& report, const CompareOptions& options,
                               const CompareHooks& hooks = {});

// The same over a pairing the caller chose, in indices into the lines SplitLines gives (after
// normalisation, without the lines it emptied); options.alignLines only says how the result
// describes it. A pair naming a line the texts
// do not have throws std::logic_error before anything is written.
CompareResult CompareLinePairs(const std::u16string& sourceText, const std::u16string& targetText,
                               const LinePairing& pairing, std::string& report,
                               const CompareOptions& options, const CompareHooks& hooks = {});

}  // namespace sorowa
