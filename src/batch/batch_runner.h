#pragma once

// A run over many documents: every document compared and scored, on all cores, with its
// report and the figures of all of them in one results folder.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/batch_documents.h"
#include "compare/compare_options.h"
#include "formats/input_format.h"
#include "score/stats_document.h"
#include "segment/morph_backend.h"

namespace sorowa {

struct BatchOptions {
  // Tables, pairing, normalisation and score units of every document. Scores are always
  // computed (characters at least); without tables no report is written.
  CompareOptions compare;
  // As the command line takes them: empty for UTF-8, "auto" to detect, or an iconv name.
  std::string sourceEncoding;
  std::string targetEncoding;
  // The format of each side's files; nothing finds each file's from its content.
  std::optional<InputFormat> sourceFormat;
  std::optional<InputFormat> targetFormat;
  bool keepRuby = false;
  std::filesystem::path outDir;
  // Documents compared at once; 0 means one per core. Each document runs on one thread.
  std::size_t threads = 0;
};

struct BatchHooks {
  // The analyser's start-up message (MeCab missing, say), shown once.
  MessageSink showMessage;
  // Called on the calling thread after each document and about every 100 ms: documents done
  // of all. Returning false stops the run: no document starts any more, the running ones
  // are cancelled and their partial reports removed.
  std::function<bool(std::size_t done, std::size_t total)> progress;
  // The morphological back-end; empty means the one this build links in.
  MorphBackendFactory morphBackendFactory;
};

// The run would replace one of its documents' files with a result; nothing was run.
class BatchConflictError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct BatchOutcome {
  // The documents in their order, each with its totals or its error, and the sums.
  StatsDocument stats;
  std::size_t failed = 0;
  // Stopped through the progress hook before every document had finished.
  bool stopped = false;
};

// Compares and scores every document, writing its report to <outDir>/<name>.htm (unless the
// options write no tables) and, once all have finished, stats.json, stats.tsv and
// index.html into outDir (with review pages, the index draws its charts too); every file is
// replaced atomically, the three summary files only once all three are written, and no link
// inside outDir is followed (ResultsFolder). A document that fails (a file missing,
// unreadable, not a regular file or not in its encoding, a pair over the memory limit, a
// report whose name clashes with another file of the run) is recorded with its message and
// the others go on. When stopped, the reports finished so far stay and the three summary
// files are not written. Throws BatchConflictError, before anything is run, when a result
// would replace a document's file; ResultsFolderError when outDir cannot be made or another
// run holds it; and ReportWriteError when a summary file cannot be written.
BatchOutcome RunBatch(const std::vector<BatchDocument>& documents, const BatchOptions& options,
                      const BatchHooks& hooks = {});

// A progress line for a terminal: a bar, documents done of all, the time elapsed and, once
// something is done, an estimate of the time left.
std::string FormatBatchProgress(std::size_t done, std::size_t total,
                                std::chrono::steady_clock::duration elapsed);

}  // namespace sorowa
