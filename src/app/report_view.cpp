#include "app/report_view.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QUrlQuery>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <algorithm>

#include "align/report_buffer.h"
#include "app/print_layout.h"
#include "app/report_text_search.h"
#include "app/text_convert.h"
#include "compare/review_html.h"

namespace sorowa {
namespace {

// What stands for a table too big to show: the table's caption, its size and what to do. On
// a review page it is a pair's row that is too big, and the notice takes its place in the
// pairs' table.
QByteArray TooBigNotice(QFile& file, qint64 from, qint64 to, int pair, bool review) {
  file.seek(from);
  const QByteArray start = file.read(std::min<qint64>(to - from, 4096));
  // The caption is the report's own text, escaped as it is there.
  constexpr QByteArrayView kCaption = "<span class=\"caption\">";
  QByteArray caption;
  const qsizetype at = start.indexOf(kCaption);
  const qsizetype end = at < 0 ? -1 : start.indexOf("</span>", at);
  if (end > at) caption = start.mid(at + kCaption.size(), end - at - kCaption.size());
  const QString size =
      QLocale(QLocale::Japanese).toString(static_cast<double>(to - from) / (1 << 20), 'f', 1);
  const QString what =
      caption.isEmpty()
          ? QStringLiteral("組 %1 ").arg(pair + 1)
          : QStringLiteral("組 %1 の表「%2」").arg(pair + 1).arg(QString::fromUtf8(caption));
  QString notice =
      QStringLiteral(
          "<p>%1は %2 MB あり、この画面には大きすぎるため表示していません"
          "（表示するとブラウザが何 GB ものメモリーを使い、長く止まります）。</p>"
          "<p>上の［ブラウザで開く］でレポート全体をブラウザで開けます。［保存］はこのまま"
          "使えます。</p>")
          .arg(what, size);
  if (review) notice = QStringLiteral("<tr><td colspan=\"6\">%1</td></tr>\n").arg(notice);
  return notice.toUtf8();
}

// Serves one part of a report file: the file's head, a byte range of whole pairs or tables,
// the foot; for printing, the pairs are laid out for paper; for a table too big to show, a
// notice. Everything it needs is in the URL, so one handler serves every view.
class ReportPartHandler : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

  void requestStarted(QWebEngineUrlRequestJob* job) override {
    const QUrlQuery query(job->requestUrl());
    QFile file(QString::fromUtf8(QByteArray::fromBase64(
        query.queryItemValue(QStringLiteral("file")).toLatin1(), QByteArray::Base64UrlEncoding)));
    const qint64 headEnd = query.queryItemValue(QStringLiteral("head")).toLongLong();
    const qint64 from = query.queryItemValue(QStringLiteral("from")).toLongLong();
    const qint64 to = query.queryItemValue(QStringLiteral("to")).toLongLong();
    const qint64 foot = query.queryItemValue(QStringLiteral("foot")).toLongLong();
    if (!file.open(QIODevice::ReadOnly) || from < headEnd || to < from || foot < to ||
        foot > file.size()) {
      job->fail(QWebEngineUrlRequestJob::UrlNotFound);
      return;
    }
    QByteArray bytes = file.read(headEnd);
    if (query.hasQueryItem(QStringLiteral("notice"))) {
      bytes += TooBigNotice(file, from, to, query.queryItemValue(QStringLiteral("pair")).toInt(),
                            query.hasQueryItem(QStringLiteral("review")));
      file.seek(foot);
      bytes += file.readAll();
      auto* buffer = new QBuffer(job);
      buffer->setData(bytes);
      job->reply(QByteArrayLiteral("text/html;charset=UTF-8"), buffer);
      return;
    }
    file.seek(from);
    const QByteArray pairs = file.read(to - from);
    file.seek(foot);
    const QByteArray footBytes = file.readAll();
    if (query.hasQueryItem(QStringLiteral("review"))) {
      // A review page prints with its own style sheet. Printed in several runs, only the
      // first keeps the page's head with the figures: the runs are joined into one document.
      if (query.hasQueryItem(QStringLiteral("print")) && from > headEnd) {
        const qsizetype start = bytes.indexOf("<header id=\"top\">");
        const qsizetype end = bytes.indexOf("</header>\n");
        if (start >= 0 && end > start) bytes.remove(start, end + 10 - start);
      }
      bytes += pairs;
    } else if (query.hasQueryItem(QStringLiteral("print"))) {
      bytes += QByteArrayView(PrintStylesheet());
      const std::string printed = RewriteForPrint(
          std::string_view(pairs.constData(), static_cast<std::size_t>(pairs.size())));
      bytes += QByteArrayView(printed.data(), static_cast<qsizetype>(printed.size()));
    } else {
      bytes += pairs;
    }
    bytes += footBytes;
    auto* buffer = new QBuffer(job);
    buffer->setData(bytes);
    job->reply(QByteArrayLiteral("text/html;charset=UTF-8"), buffer);
  }
};

}  // namespace

void ReportView::RegisterReportScheme() {
  if (QWebEngineUrlScheme::schemeByName(kScheme).name() == kScheme) return;
  QWebEngineUrlScheme scheme(kScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
  QWebEngineUrlScheme::registerScheme(scheme);
}

ReportView::ReportView(QWidget* parent) : QWebEngineView(parent) {
  QWebEngineProfile* profile = page()->profile();
  if (profile->urlSchemeHandler(kScheme) == nullptr) {
    profile->installUrlSchemeHandler(kScheme, new ReportPartHandler(profile));
  }
  // The page's back and forward history could bring an older report back into view; keep
  // track of what is actually shown, so that Save copies that one.
  connect(this, &QWebEngineView::urlChanged, this, [this](const QUrl& url) {
    if (url.isLocalFile()) reportPath_ = url.toLocalFile();
  });
  connect(page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    if (!loading_ || info.url() != expected_) return;
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) EndLoad(true);
    // A load replaced by a newer request ends as "stopped", not "failed", and is no error.
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
      EndLoad(false);
      emit ReportLoadFailed(
          QStringLiteral("%1 を読み込めませんでした（エラー番号 %2）。ファイルが消されたか、"
                         "読めなくなっています。")
              .arg(reportPath_)
              .arg(info.errorCode()));
    }
  });
  connect(page(), &QWebEnginePage::renderProcessTerminated, this,
          [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
            // Whatever was loading will not arrive.
            if (loading_) EndLoad(false);
            shownPage_ = -1;
            if (status == QWebEnginePage::NormalTerminationStatus || !HasReport()) return;
            // Almost always memory: the page's elements did not fit in the browser's heap.
            emit ReportTooBig(reportPath_, index_.fileSize());
          });
}

void ReportView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = pageAction(QWebEnginePage::Copy);
  copy->setText(QStringLiteral("コピー(&C)"));
  menu.addAction(copy);
  QAction* selectAll = pageAction(QWebEnginePage::SelectAll);
  selectAll->setText(QStringLiteral("すべて選択(&A)"));
  menu.addAction(selectAll);
  menu.exec(event->globalPos());
}

void ReportView::ShowReport(const QString& filePath) {
  reportPath_ = filePath;
  index_ = ReportIndex::Build(filePath, kPageBytes);
  shownPage_ = -1;
  loading_ = false;  // whatever was loading belongs to the report before
  PlanParts();
  if (!IsPaged()) {
    ++serial_;
    Load(0, QUrl::fromLocalFile(filePath));
    return;
  }
  ShowPage(0);
}

void ReportView::PlanParts() {
  Part whole;
  whole.endPair = index_.pairCount();
  parts_ = {whole};
  paged_ = false;
  if (!index_.ok()) return;
  qint64 largest = 0;
  for (int pair = 0; pair < index_.pairCount(); ++pair) {
    largest = std::max(largest, index_.pairEnd(pair) - index_.pairStart(pair));
  }
  if (index_.fileSize() <= kDirectLoadBytes && largest <= kPageBytes) return;

  paged_ = true;
  parts_.clear();
  for (int pair = 0; pair < index_.pairCount(); ++pair) {
    const qint64 from = index_.pairStart(pair);
    const qint64 to = index_.pairEnd(pair);
    if (to - from > kPageBytes) {
      AddPairInTables(pair);
      continue;
    }
    Part* last = parts_.isEmpty() ? nullptr : &parts_.last();
    if (last != nullptr && last->tables.count == 0 && to - last->from <= kPageBytes) {
      last->endPair = pair + 1;
      last->to = to;
      continue;
    }
    Part part;
    part.firstPair = pair;
    part.endPair = pair + 1;
    part.from = from;
    part.to = to;
    parts_.push_back(part);
  }
  if (parts_.isEmpty()) parts_ = {whole};
}

void ReportView::AddPairInTables(int pair) {
  QVector<qint64> ends = index_.TableEnds(pair);
  ends.push_back(index_.pairEnd(pair));
  const int count = static_cast<int>(ends.size());
  qint64 start = index_.pairStart(pair);
  for (int table = 0; table < count; ++table) {
    const qint64 end = ends[table];
    Part* last = parts_.isEmpty() ? nullptr : &parts_.last();
    // Tables of the same pair share a part while they fit in one; a table too big to show
    // stands alone.
    const bool tooBig = end - start > kMaxTableBytes;
    if (!tooBig && last != nullptr && last->firstPair == pair && !last->tooBig &&
        end - last->from <= kPageBytes) {
      last->to = end;
      last->tables.end = table + 1;
    } else {
      Part part;
      part.firstPair = pair;
      part.endPair = pair + 1;
      part.from = start;
      part.to = end;
      // A pair of one table (every row of a review page) is a part of whole pairs.
      if (count > 1) part.tables = {table, table + 1, count};
      part.tooBig = tooBig;
      parts_.push_back(part);
    }
    start = end;
  }
}

void ReportView::Load(int page, const QUrl& url) {
  requestedPage_ = page;
  loading_ = true;
  expected_ = url;
  load(expected_);
  emit PageRequested(page);
}

void ReportView::EndLoad(bool ok) {
  loading_ = false;
  shownPage_ = ok ? requestedPage_ : -1;
  emit PageLoaded(requestedPage_, ok);
}

int ReportView::PageOfPair(int pair) const {
  const auto after = std::upper_bound(parts_.begin(), parts_.end(), pair,
                                      [](int p, const Part& part) { return p < part.endPair; });
  return std::clamp(static_cast<int>(after - parts_.begin()), 0, PageCount() - 1);
}

ReportView::TableRange ReportView::PageTables(int page) const { return parts_.value(page).tables; }

int ReportView::PageAtOffset(qint64 offset) const {
  const auto after = std::upper_bound(parts_.begin(), parts_.end(), offset,
                                      [](qint64 at, const Part& part) { return at < part.from; });
  return std::max(0, static_cast<int>(after - parts_.begin()) - 1);
}

QUrl ReportView::PageUrl(int page) const {
  const Part& part = parts_[page];
  QUrl url;
  url.setScheme(QString::fromLatin1(kScheme));
  // The report's file name makes the part's URL differ from every earlier report's.
  url.setPath(QStringLiteral("/%1-part-%2.htm")
                  .arg(QFileInfo(reportPath_).completeBaseName())
                  .arg(page + 1));
  QUrlQuery query;
  query.addQueryItem(QStringLiteral("file"),
                     QString::fromLatin1(reportPath_.toUtf8().toBase64(
                         QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)));
  query.addQueryItem(QStringLiteral("head"), QString::number(index_.headEnd()));
  query.addQueryItem(QStringLiteral("from"), QString::number(part.from));
  query.addQueryItem(QStringLiteral("to"), QString::number(part.to));
  query.addQueryItem(QStringLiteral("foot"), QString::number(index_.footStart()));
  if (part.tooBig) {
    query.addQueryItem(QStringLiteral("notice"), QStringLiteral("1"));
    query.addQueryItem(QStringLiteral("pair"), QString::number(part.firstPair));
  }
  if (index_.isReview()) query.addQueryItem(QStringLiteral("review"), QStringLiteral("1"));
  url.setQuery(query);
  return url;
}

QUrl ReportView::PrintUrl(int first, int end) const {
  return RangeUrl(first, end, true,
                  QStringLiteral("/print-%1-%2-%3.htm").arg(serial_).arg(first).arg(end));
}

QUrl ReportView::RangeUrl(int first, int end, bool print, const QString& name) const {
  QUrl url;
  url.setScheme(QString::fromLatin1(kScheme));
  url.setPath(name);
  QUrlQuery query;
  query.addQueryItem(QStringLiteral("file"),
                     QString::fromLatin1(reportPath_.toUtf8().toBase64(
                         QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)));
  query.addQueryItem(QStringLiteral("head"), QString::number(index_.headEnd()));
  query.addQueryItem(QStringLiteral("from"), QString::number(index_.pairStart(first)));
  query.addQueryItem(QStringLiteral("to"), QString::number(end > first ? index_.pairEnd(end - 1)
                                                                       : index_.pairStart(first)));
  query.addQueryItem(QStringLiteral("foot"), QString::number(index_.footStart()));
  if (print) query.addQueryItem(QStringLiteral("print"), QStringLiteral("1"));
  if (index_.isReview()) query.addQueryItem(QStringLiteral("review"), QStringLiteral("1"));
  url.setQuery(query);
  return url;
}

int ReportView::PageWithText(const QString& text, int page, bool backward) const {
  if (!IsPaged() || text.isEmpty()) return -1;
  // The report holds cell texts escaped, so the needle is escaped the same way: in the
  // tables as their cells are, on a review page as its rows are.
  std::string needle;
  if (index_.isReview()) {
    for (const char32_t c : text.toUcs4()) AppendShownChar(needle, c);
  } else {
    ReportBuffer escaped;
    escaped.AppendEscaped(ToU16String(text));
    needle = escaped.bytes();
  }
  QFile file(reportPath_);
  if (!file.open(QIODevice::ReadOnly) || file.size() != index_.fileSize()) return -1;
  const uchar* mapped = file.map(0, file.size());
  if (mapped == nullptr) return -1;
  const std::string_view bytes(reinterpret_cast<const char*>(mapped),
                               static_cast<std::size_t>(file.size()));
  const auto start = static_cast<std::size_t>(parts_.value(page).from);
  const auto end = static_cast<std::size_t>(parts_.value(page).to);
  const auto head = static_cast<std::size_t>(index_.headEnd());
  const auto foot = static_cast<std::size_t>(index_.footStart());
  const ReportTextLayout layout =
      index_.isReview() ? ReportTextLayout::Review : ReportTextLayout::Tables;
  // The rest of the report in that direction, then round from the other end.
  std::size_t found = backward ? FindReportText(bytes, needle, head, start, true, layout)
                               : FindReportText(bytes, needle, end, foot, false, layout);
  if (found == std::string_view::npos) {
    found = backward ? FindReportText(bytes, needle, end, foot, true, layout)
                     : FindReportText(bytes, needle, head, start, false, layout);
  }
  if (found == std::string_view::npos) return -1;
  return PageAtOffset(static_cast<qint64>(found));
}

void ReportView::ShowPage(int page) {
  if (!IsPaged()) return;
  page = std::clamp(page, 0, PageCount() - 1);
  ++serial_;
  if (loading_ && page == requestedPage_) return;
  Load(page, PageUrl(page));
}

}  // namespace sorowa
