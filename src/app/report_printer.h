#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVector>
#include <algorithm>
#include <memory>
#include <vector>

class QPrinter;
class QProgressDialog;
class QTemporaryDir;
class QWebEngineView;
class QWidget;

namespace sorowa {

class Dialogs;
class ReportView;

// The Print command: the print dialog, then the whole report goes to paper or to a PDF file
// as vector output, laid out for paper (print_layout.h) so that nothing is cut off at the
// margin; the report view itself is left alone.
//
// The browser prints a page in one process and its time grows with the page's elements, so
// the report is cut into runs of whole pairs, at most kMaxRunBytes each, printed to PDF in
// views (and browser processes) of their own, never shown, kMaxRuns at a time; their pages
// are then joined in order. A long report takes minutes: a dialog shows how many runs are
// done and can cancel. A PDF file chosen in the print dialog is written whole or not at all.
// For a printer the PDF goes to the print system (lp), which takes PDF as it is; without
// lp the browser's own printing is used, in one run, and a report shown in parts then
// prints the part shown only (Started says which). The work runs in the background;
// Finished tells how it ended.
class ReportPrinter : public QObject {
  Q_OBJECT

 public:
  // At most this many runs are printed at once.
  static constexpr int kMaxRuns = 4;
  // A run is at least this big (bytes of the report): each costs a browser process.
  static constexpr qint64 kMinRunBytes = qint64{256} << 10;
  // And at most this big, about a part of the view, unless one pair is bigger.
  static constexpr qint64 kMaxRunBytes = qint64{4} << 20;

  ReportPrinter(ReportView& view, Dialogs& dialogs, QObject* parent = nullptr);
  ~ReportPrinter() override;

  // docName names the document for the print system, and the PDF file the dialog proposes.
  void Print(QWidget* parent, const QString& docName);
  // Stops printing without a word; nothing is written.
  void Cancel();
  bool IsPrinting() const { return printer_ != nullptr; }

  // The runs the pairs first to end (one past the last) are printed in: the first pair of
  // each run, cut where the bytes reach an even share. pairBytes gives a pair's size.
  template <typename PairBytes>
  static QVector<int> SplitIntoRuns(int first, int end, PairBytes pairBytes);

 signals:
  // The print dialog was accepted and the work begins: to a PDF file when pdf is not empty;
  // part names the pairs printed when they are not the whole report.
  void Started(const QString& pdf, const QString& part);
  void Finished(bool ok);
  void Cancelled();

 private:
  struct Run {
    QUrl url;
    QString pdf;
    std::unique_ptr<QWebEngineView> view;
    bool done = false;
  };

  void StartRuns();
  void StartRun(Run& run);
  void OnRunLoaded(Run& run, bool ok);
  void OnRunPrinted(Run& run, bool ok);
  void OnAllPrinted();
  void ShowProgress();
  void SendToPrinter(const QString& pdf);
  void OnBrowserPrinted(bool ok);
  void End(bool ok, const QString& problem = QString());

  ReportView& view_;
  Dialogs& dialogs_;
  // Must outlive the printing, which ends only with a signal.
  std::unique_ptr<QPrinter> printer_;
  std::vector<std::unique_ptr<Run>> runs_;
  std::size_t nextRun_ = 0;
  int runsDone_ = 0;
  std::unique_ptr<QTemporaryDir> spool_;
  std::unique_ptr<QProgressDialog> progress_;
  QPointer<QWidget> parent_;
};

template <typename PairBytes>
QVector<int> ReportPrinter::SplitIntoRuns(int first, int end, PairBytes pairBytes) {
  qint64 total = 0;
  for (int pair = first; pair < end; ++pair) total += pairBytes(pair);
  // As many runs as run at once while they are not too small, more when they would be too
  // big.
  const qint64 wanted = std::clamp<qint64>((total + kMinRunBytes - 1) / kMinRunBytes, 1, kMaxRuns);
  const int runs = static_cast<int>(std::clamp<qint64>((total + kMaxRunBytes - 1) / kMaxRunBytes,
                                                       wanted, std::max(1, end - first)));
  QVector<int> starts{first};
  qint64 done = 0;
  for (int pair = first; pair < end; ++pair) {
    // Cut before this pair when the runs so far hold less than their share without it.
    if (pair > first && starts.size() < runs && done * runs >= total * starts.size()) {
      starts.push_back(pair);
    }
    done += pairBytes(pair);
  }
  return starts;
}

}  // namespace sorowa
