#pragma once

#include <QString>
#include <QWebEngineView>

#include "app/report_index.h"

namespace sorowa {

// The embedded browser that shows the report files. It remembers which report file it shows,
// so that Save and Print know whether there is anything to act on.
//
// A report up to kDirectLoadBytes is loaded by its path as it is. A bigger one would not fit
// in the browser's memory as one page (its tables become millions of elements), so it is
// shown in parts of whole line pairs: each part is the report's own head, a run of its pairs
// and its foot, read from the file as it is when the part is shown. A pair bigger than a
// part is shown a few whole tables at a time, and a table too big for the browser is
// replaced by a notice (PageTooBig). Printing reads its parts the same way.
class ReportView : public QWebEngineView {
  Q_OBJECT

 public:
  static constexpr qint64 kDirectLoadBytes = qint64{8} << 20;
  static constexpr qint64 kPageBytes = qint64{4} << 20;
  // A single table bigger than this is not shown. The browser's renderer holds about 190 MB
  // per MB of a wide DP table (Qt WebEngine 6.4: a 10.6 MB table of 400,000 cells took it to
  // 2 GB and 20 s), so this keeps it near 1.3 GB.
  static constexpr qint64 kMaxTableBytes = qint64{6} << 20;
  // The URL scheme of the parts; registered by RegisterReportScheme before the application
  // object exists.
  static constexpr const char* kScheme = "sorowa-report";
  static void RegisterReportScheme();

  explicit ReportView(QWidget* parent = nullptr);

  // Loads the file by its path, with nothing else in the request, or its first part when
  // the file is big. Returns at once.
  void ShowReport(const QString& filePath);

  bool HasReport() const { return !reportPath_.isEmpty(); }
  // The report file shown now; empty before the first Compare.
  QString ReportPath() const { return reportPath_; }
  const ReportIndex& Index() const { return index_; }

  // Whether the report is shown in parts (perhaps one: a pair whose only table is too big).
  bool IsPaged() const { return paged_; }
  int PageCount() const { return static_cast<int>(parts_.size()); }
  // The part on screen: the last one whose load completed; -1 before the first.
  int ShownPage() const { return shownPage_; }
  // The part asked for last; the shown one unless a load is under way.
  int RequestedPage() const { return requestedPage_; }
  bool IsLoading() const { return loading_; }
  int PageFirstPair(int page) const { return parts_.value(page).firstPair; }
  // One past the last pair of the page.
  int PageEndPair(int page) const { return parts_.value(page).endPair; }
  // The first part that shows the pair.
  int PageOfPair(int pair) const;
  // For a part that holds some of the tables of one big pair: the first (from 0), one past
  // the last, and how many the pair has. Zeros for a part of whole pairs.
  struct TableRange {
    int first = 0;
    int end = 0;
    int count = 0;
  };
  TableRange PageTables(int page) const;
  // Whether the part is a table too big to show, replaced by a notice.
  bool PageTooBig(int page) const { return parts_.value(page).tooBig; }
  // Asks for a part. The last request wins: a part asked for while another loads replaces
  // it, and asking again for the part that is loading lets that load go on. Every request,
  // and every new report, gets a new number (RequestSerial), and only the latest request's
  // load ends in PageLoaded; whoever made an earlier one knows from the number that it has
  // been overtaken.
  void ShowPage(int page);
  quint64 RequestSerial() const { return serial_; }
  // The nearest part after page (before it when backward, going round past the last or
  // first part) whose pairs show text, as typed or in other case of Latin letters; -1 when
  // no other part does. Read from the report file as the page shows it: text that runs
  // over two cells of a row is found too.
  int PageWithText(const QString& text, int page, bool backward) const;
  // The pairs first to end (one past the last) of the shown report, laid out for paper
  // (see print_layout.h), as a page of their own. The report file is read when the page
  // loads.
  QUrl PrintUrl(int first, int end) const;

 protected:
  // Only what makes sense for a report: copying. Back, forward and reload would show some
  // other page than the last Compare's report.
  void contextMenuEvent(QContextMenuEvent* event) override;

 signals:
  // The shown report could not be loaded; description is in Japanese.
  void ReportLoadFailed(const QString& description);
  // The report, or one of its pairs, is too big to be shown here.
  void ReportTooBig(const QString& path, qint64 size);
  // A part (or a new report) has been asked for and is loading.
  void PageRequested(int page);
  // The part last asked for (or the whole of a small report) has been loaded.
  void PageLoaded(int page, bool ok);

 private:
  // A part: a byte range of the report between its head and foot.
  struct Part {
    int firstPair = 0;
    int endPair = 0;
    qint64 from = 0;
    qint64 to = 0;
    TableRange tables;
    bool tooBig = false;
  };

  void PlanParts();
  void AddPairInTables(int pair);
  int PageAtOffset(qint64 offset) const;
  QUrl PageUrl(int page) const;
  QUrl RangeUrl(int first, int end, bool print, const QString& name) const;
  void Load(int page, const QUrl& url);
  void EndLoad(bool ok);

  QString reportPath_;
  ReportIndex index_;
  QVector<Part> parts_;  // one when the report is shown whole
  bool paged_ = false;
  int requestedPage_ = 0;
  int shownPage_ = -1;
  bool loading_ = false;
  QUrl expected_;  // what the view was last asked to load
  quint64 serial_ = 0;
};

}  // namespace sorowa
