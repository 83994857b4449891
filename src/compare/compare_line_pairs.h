#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "compare/compare_options.h"
#include "compare/compare_result.h"
#include "compare/report_document.h"
#include "pairing/line_pair.h"
#include "segment/morph_backend.h"

namespace sorowa {

struct CompareHooks {
  // Messages from the analyser, such as MeCab's start-up error. May be empty.
  MessageSink showMessage;
  // Called on the calling thread before each pair (done of total), again about every 100 ms
  // while a pair takes long, and once at the end (total of total). It may throw, e.g.
  // CompareCancelled, to end the command. May be empty.
  std::function<void(std::size_t done, std::size_t total)> progress;
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
};

// Pairs the lines of the two texts and appends to report (UTF-8), per pair, the tables the options
// ask for, each followed by <br>, then <hr><br>. Lines are paired by position (surplus lines of the
// longer text are left out) or, with alignLines, by content (every line shows up, a line
// with no counterpart alone). Joined lines are compared as one text. Returns the pairs
// written and what became of each side's lines.
CompareResult CompareLinePairs(const std::u16string& sourceText, const std::u16string& targetText,
                               std::string& report, const CompareOptions& options,
                               const CompareHooks& hooks = {});

// The same over a pairing the caller chose, in indices into the lines SplitLines gives;
// options.alignLines only says how the result describes it. A pair naming a line the texts
// do not have throws std::logic_error before anything is written.
CompareResult CompareLinePairs(const std::u16string& sourceText, const std::u16string& targetText,
                               const LinePairing& pairing, std::string& report,
                               const CompareOptions& options, const CompareHooks& hooks = {});

}  // namespace sorowa
