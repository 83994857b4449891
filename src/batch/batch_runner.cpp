#include "batch/batch_runner.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "base/file_identity.h"
#include "base/quoted_name.h"
#include "batch/batch_index.h"
#include "batch/results_folder.h"
#include "compare/compare_errors.h"
#include "compare/compare_line_pairs.h"
#include "compare/report_store.h"
#include "compare/report_stream.h"
#include "formats/read_document.h"
#include "score/stats_json.h"
#include "segment/morph_analyzer.h"
#include "text/text_file.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string ReportName(const BatchDocument& document) { return document.name + ".htm"; }

// What became of one document.
struct DocumentRun {
  StatsDocument stats;
  std::string error;
  bool reportWritten = false;
  bool finished = false;  // false for a document never started, or cancelled
};

// A document's text: a text file decoded in the encoding asked, a document read, with the
// page of each line in pages where the format has pages. Only a regular file is read, and it
// is opened without waiting, so that a FIFO cannot hold up the run.
std::u16string ReadSide(const std::string& path, const std::string& encoding,
                        std::optional<InputFormat> asked, bool keepRuby,
                        std::vector<std::uint32_t>& pages) {
  const std::string bytes = ReadRegularFileBytes(path);
  const InputFormat format = asked ? *asked : DetectInputFormat(bytes);
  if (format == InputFormat::Text) return DecodeAsAsked(bytes, encoding, path);
  ReadOptions options;
  options.keepRuby = keepRuby;
  ExtractedText document = ReadDocument(bytes, format, path, options);
  std::u16string text = JoinLines(document);
  pages = std::move(document.pages);
  return text;
}

// Compares and scores one document on the calling thread, its report going to its file as
// it is written. A failure is the document's error; a cancelled document stays unfinished,
// its partial report removed.
void RunDocument(const BatchDocument& document, const BatchOptions& options, ResultsFolder& folder,
                 MorphAnalyzer* analyzer, const std::atomic<bool>& stop, DocumentRun& run) {
  if (!document.error.empty()) {
    run.error = document.error;
    run.finished = true;
    return;
  }
  if (!run.error.empty()) {  // refused before the run started
    run.finished = true;
    return;
  }
  try {
    CompareOptions compare = options.compare;
    const std::u16string source =
        ReadSide(document.source, options.sourceEncoding, options.sourceFormat, options.keepRuby,
                 compare.sourcePages);
    const std::u16string target =
        ReadSide(document.target, options.targetEncoding, options.targetFormat, options.keepRuby,
                 compare.targetPages);

    CompareHooks hooks;
    hooks.threads = 1;
    hooks.analyzer = analyzer;
    hooks.progress = [&stop](std::size_t, std::size_t) {
      if (stop) throw CompareCancelled();
    };
    std::unique_ptr<ReportWriter> writer;
    std::optional<ReportStream> stream;
    if (options.compare.writeTables) {
      writer = folder.Begin(ReportName(document), "the report");
      stream.emplace(*writer, options.compare.report);
      hooks.reportBytes = [&stream](std::string_view bytes) { stream->Append(bytes); };
    }
    compare.sourceName = document.source;
    compare.targetName = document.target;
    std::string unused;  // with a report, every byte goes through reportBytes
    CompareResult result = CompareLinePairs(source, target, unused, compare, hooks);
    if (writer) {
      stream->Finish();
      writer->Commit();
      run.reportWritten = true;
    }
    if (!result.scores) {
      run.error = result.scoresError;
    } else {
      run.stats = std::move(*result.scores);
      run.stats.source = document.source;
      run.stats.target = document.target;
    }
  } catch (const CompareCancelled&) {
    return;
  } catch (const std::bad_alloc&) {
    run.error = "there is not enough memory to compare this document";
  } catch (const std::exception& error) {
    run.error = error.what();
  }
  run.finished = true;
}

// Runs the documents on worker threads, each with an analyser of its own, and reports
// progress from the calling thread.
class DocumentPool {
 public:
  DocumentPool(const std::vector<BatchDocument>& documents, const BatchOptions& options,
               ResultsFolder& folder, std::vector<DocumentRun>& runs)
      : documents_(documents), options_(options), folder_(folder), runs_(runs) {}

  ~DocumentPool() {
    stop_ = true;
    for (std::thread& thread : threads_) thread.join();
  }

  // Starts one thread per analyser (null analysers when none is needed).
  void Start(std::vector<MorphAnalyzer*> analyzers) {
    for (MorphAnalyzer* analyzer : analyzers) {
      try {
        threads_.emplace_back([this, analyzer] { Work(analyzer); });
      } catch (const std::system_error& error) {
        if (threads_.empty()) throw ThreadNotStartedError(error, "to compare the documents");
        break;  // the threads running do all the documents
      }
    }
  }

  // Waits for every document, or for a stop asked through progress; true when stopped.
  bool Wait(const std::function<bool(std::size_t, std::size_t)>& progress) {
    using namespace std::chrono_literals;
    const std::size_t total = documents_.size();
    std::unique_lock lock(mutex_);
    for (;;) {
      const std::size_t done = done_;
      if (done == total) break;
      finished_.wait_for(lock, 100ms, [&] { return done_ != done; });
      lock.unlock();
      const bool go = !progress || progress(done_, total);
      lock.lock();
      if (!go) {
        stop_ = true;
        break;
      }
    }
    lock.unlock();
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
    if (stop_) return true;
    if (progress) progress(total, total);
    return false;
  }

 private:
  void Work(MorphAnalyzer* analyzer) {
    for (;;) {
      const std::size_t index = next_.fetch_add(1);
      if (index >= documents_.size() || stop_) return;
      RunDocument(documents_[index], options_, folder_, analyzer, stop_, runs_[index]);
      if (!runs_[index].finished) return;  // cancelled
      {
        std::lock_guard lock(mutex_);
        ++done_;
      }
      finished_.notify_all();
    }
  }

  const std::vector<BatchDocument>& documents_;
  const BatchOptions& options_;
  ResultsFolder& folder_;
  std::vector<DocumentRun>& runs_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable finished_;
  std::size_t done_ = 0;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stop_{false};
};

// The three files written once all documents are done.
constexpr const char* kSummaryNames[] = {"stats.json", "stats.tsv", "index.html"};

// Two files of a run cannot take one name, and a report cannot go into a folder where
// another file of the run goes: a document named x and one named x.htm/y, or a Source
// subfolder called stats.json. Whichever came first, one would fail at random or the
// summary would be lost at the end, so the document that needs the folder fails now, before
// anything is run, and says why. Returns each document's error, empty for most.
std::vector<std::string> ReportNameClashes(const std::vector<BatchDocument>& documents,
                                           const fs::path& outDir) {
  std::unordered_map<std::string, std::string> files;
  for (const char* name : kSummaryNames) files[name] = std::string("the batch's ") + name;
  for (const BatchDocument& document : documents) {
    if (!document.error.empty()) continue;  // writes no report
    files.emplace(ReportName(document), "the report of " + QuoteName(document.name));
  }
  std::vector<std::string> errors(documents.size());
  for (std::size_t k = 0; k < documents.size(); ++k) {
    if (!documents[k].error.empty()) continue;
    const std::string report = ReportName(documents[k]);
    for (std::size_t slash = report.find('/'); slash != std::string::npos;
         slash = report.find('/', slash + 1)) {
      const auto taken = files.find(report.substr(0, slash));
      if (taken == files.end()) continue;
      errors[k] = "the report " + QuoteName((outDir / report).string()) +
                  " would need the folder " + QuoteName((outDir / taken->first).string()) +
                  ", where " + taken->second + " goes";
      break;
    }
  }
  return errors;
}

// Refuses the run when a file it would write is one of the documents' own files: renamed over
// it, the result would take the document's place.
void CheckInputsKept(const std::vector<BatchDocument>& documents, const ResultsFolder& folder,
                     bool reports) {
  std::vector<std::pair<FileIdentity, std::string>> inputs;
  for (const BatchDocument& document : documents) {
    for (const std::string* path : {&document.source, &document.target}) {
      const std::optional<FileIdentity> identity = IdentityOf(*path);
      if (identity && identity->regular) inputs.emplace_back(*identity, *path);
    }
  }
  const auto check = [&](const std::string& name) {
    const std::optional<struct stat> entry = folder.Entry(name);
    if (!entry || !S_ISREG(entry->st_mode)) return;
    for (const auto& [identity, path] : inputs) {
      if (identity.device == entry->st_dev && identity.inode == entry->st_ino) {
        throw BatchConflictError(QuoteName((folder.path() / name).string()) +
                                 " would be replaced by a result, but it is the document file " +
                                 QuoteName(path) + "; choose another results folder");
      }
    }
  };
  for (const char* name : kSummaryNames) check(name);
  if (!reports) return;
  for (const BatchDocument& document : documents) check(ReportName(document));
}

std::string ClockText(std::chrono::seconds time) {
  const auto seconds = time.count();
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  }
  return text;
}

}  // namespace

BatchOutcome RunBatch(const std::vector<BatchDocument>& documents, const BatchOptions& options,
                      const BatchHooks& hooks) {
  ResultsFolder folder(options.outDir);
  CheckInputsKept(documents, folder, options.compare.writeTables);
  std::vector<DocumentRun> runs(documents.size());
  if (options.compare.writeTables) {
    std::vector<std::string> clashes = ReportNameClashes(documents, options.outDir);
    for (std::size_t k = 0; k < documents.size(); ++k) runs[k].error = std::move(clashes[k]);
  }

  BatchOptions effective = options;
  if (effective.compare.scores == ScoreUnits::None) effective.compare.scores = ScoreUnits::Chars;

  // One analyser set up here, so its start-up message shows once, and a clone of it for
  // every other thread. Without a back-end there are no morpheme figures for any document.
  const bool needsAnalyzer = CompareNeedsAnalyzer(effective.compare);
  std::unique_ptr<MorphAnalyzer> first;
  if (needsAnalyzer) {
    first = std::make_unique<MorphAnalyzer>(hooks.showMessage, hooks.morphBackendFactory);
    first->SetLanguage(0);
    if (!first->hasBackend() && effective.compare.scores == ScoreUnits::CharsAndMorphemes) {
      effective.compare.scores = ScoreUnits::Chars;
    }
  }
  std::size_t threads = options.threads;
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(documents.size(), 1));
  std::vector<std::unique_ptr<MorphAnalyzer>> others;
  std::vector<MorphAnalyzer*> analyzers{first.get()};
  while (analyzers.size() < threads) {
    if (first) {
      std::unique_ptr<MorphAnalyzer> clone = first->CloneForThread();
      if (!clone) {
        // A back-end that cannot be shared (or none): each thread sets up its own, quietly.
        clone = std::make_unique<MorphAnalyzer>(MessageSink(), hooks.morphBackendFactory);
        clone->SetLanguage(0);
      }
      others.push_back(std::move(clone));
    }
    analyzers.push_back(first ? others.back().get() : nullptr);
  }

  BatchOutcome outcome;
  {
    DocumentPool pool(documents, effective, folder, runs);
    pool.Start(std::move(analyzers));
    outcome.stopped = pool.Wait(hooks.progress);
  }

  StatsDocument& stats = outcome.stats;
  stats.manyDocuments = true;
  stats.options.normalization = effective.compare.normalization;
  stats.options.alignLines = effective.compare.alignLines;
  stats.options.morphemes = effective.compare.scores == ScoreUnits::CharsAndMorphemes;
  if (stats.options.morphemes) stats.totals.morphemes.emplace();
  std::vector<BatchDocument> listed;
  std::vector<bool> hasReport;
  for (std::size_t k = 0; k < documents.size(); ++k) {
    DocumentRun& run = runs[k];
    if (!run.finished) continue;
    if (run.error.empty()) {
      AddDocument(stats, run.stats);
    } else {
      AddFailedDocument(stats, documents[k].source, documents[k].target, run.error);
      ++outcome.failed;
    }
    listed.push_back(documents[k]);
    hasReport.push_back(run.reportWritten);
  }
  if (outcome.stopped) return outcome;

  // All three or none: a full disk, or a failure half-way, must not leave new stats beside
  // an old index.
  folder.WriteTogether(
      {{kSummaryNames[0], "the stats", WriteStatsJson(stats)},
       {kSummaryNames[1], "the stats", WriteStatsTsv(stats)},
       {kSummaryNames[2], "the results page",
        WriteBatchIndex(stats, listed, hasReport, options.compare.report == ReportKind::Review)}});
  return outcome;
}

std::string FormatBatchProgress(std::size_t done, std::size_t total, Clock::duration elapsed) {
  constexpr std::size_t kBar = 24;
  const std::size_t filled = total == 0 ? kBar : std::min(kBar, done * kBar / total);
  std::string line = "[" + std::string(filled, '#') + std::string(kBar - filled, '.') + "] " +
                     std::to_string(done) + "/" + std::to_string(total) + " documents, " +
                     ClockText(std::chrono::duration_cast<std::chrono::seconds>(elapsed)) +
                     " elapsed";
  if (done > 0 && done < total) {
    const auto left = elapsed * static_cast<long long>(total - done) / static_cast<long long>(done);
    line +=
        ", about " + ClockText(std::chrono::duration_cast<std::chrono::seconds>(left)) + " left";
  }
  return line;
}

}  // namespace sorowa
