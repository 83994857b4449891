#include "app/report_view.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QFile>
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
#include "app/text_convert.h"
#include "compare/review_html.h"

namespace sorowa {
namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringAsciiCase(char a, char b) { return AsciiLower(a) == AsciiLower(b); }

// Whether the bytes at offset are page text rather than inside a tag.
bool IsText(std::string_view bytes, std::size_t offset) {
  const std::size_t mark = bytes.find_last_of("<>", offset == 0 ? 0 : offset - 1);
  return offset == 0 || mark == std::string_view::npos || bytes[mark] == '>';
}

// Where needle first occurs as page text in bytes[from, to), or npos; the last such place
// when backward.
std::size_t FindText(std::string_view bytes, std::string_view needle, std::size_t from,
                     std::size_t to, bool backward) {
  const std::string_view range = bytes.substr(0, to);
  if (!backward) {
    auto at = range.begin() + static_cast<std::ptrdiff_t>(from);
    for (;;) {
      at = std::search(at, range.end(), needle.begin(), needle.end(), SameIgnoringAsciiCase);
      if (at == range.end()) return std::string_view::npos;
      const auto offset = static_cast<std::size_t>(at - range.begin());
      if (IsText(bytes, offset)) return offset;
      ++at;
    }
  }
  auto end = range.end();
  const auto begin = range.begin() + static_cast<std::ptrdiff_t>(from);
  for (;;) {
    const auto at = std::find_end(begin, end, needle.begin(), needle.end(), SameIgnoringAsciiCase);
    if (at == end) return std::string_view::npos;
    const auto offset = static_cast<std::size_t>(at - range.begin());
    if (IsText(bytes, offset)) return offset;
    end = at + static_cast<std::ptrdiff_t>(needle.size()) - 1;
  }
}

// Serves one part of a report file: the file's head, a byte range of whole pairs, the foot;
// for printing, the pairs are laid out for paper. Everything it needs is in the URL, so one
// handler serves every view.
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
    if (info.url() != expected_) return;
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) emit PageLoaded(page_, true);
    // A load replaced by a newer Compare ends as "stopped", not "failed", and is no error.
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
      emit PageLoaded(page_, false);
      emit ReportLoadFailed(
          QStringLiteral("%1 を読み込めませんでした（エラー番号 %2）。ファイルが消されたか、"
                         "読めなくなっています。")
              .arg(reportPath_)
              .arg(info.errorCode()));
    }
  });
  connect(page(), &QWebEnginePage::renderProcessTerminated, this,
          [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
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
  ++serial_;
  index_ = ReportIndex::Build(filePath);
  pageStarts_ = {0};
  page_ = 0;
  if (!index_.ok() || index_.fileSize() <= kDirectLoadBytes) {
    expected_ = QUrl::fromLocalFile(filePath);
    load(expected_);
    return;
  }
  qint64 pageBytes = 0;
  for (int pair = 0; pair < index_.pairCount(); ++pair) {
    const qint64 size = index_.pairEnd(pair) - index_.pairStart(pair);
    if (pageBytes > 0 && pageBytes + size > kPageBytes) {
      pageStarts_.push_back(pair);
      pageBytes = 0;
    }
    pageBytes += size;
  }
  ShowPage(0);
}

int ReportView::PageEndPair(int page) const {
  return page + 1 < pageStarts_.size() ? pageStarts_[page + 1] : index_.pairCount();
}

int ReportView::PageOfPair(int pair) const {
  const auto after = std::upper_bound(pageStarts_.begin(), pageStarts_.end(), pair);
  return std::max(0, static_cast<int>(after - pageStarts_.begin()) - 1);
}

QUrl ReportView::PageUrl(int page) const {
  return RangeUrl(PageFirstPair(page), PageEndPair(page), false,
                  QStringLiteral("/part-%1-%2.htm").arg(serial_).arg(page + 1));
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
  const auto start = static_cast<std::size_t>(index_.pairStart(PageFirstPair(page)));
  const auto end = static_cast<std::size_t>(
      PageEndPair(page) > PageFirstPair(page) ? index_.pairEnd(PageEndPair(page) - 1) : start);
  const auto head = static_cast<std::size_t>(index_.headEnd());
  const auto foot = static_cast<std::size_t>(index_.footStart());
  // The rest of the report in that direction, then round from the other end.
  std::size_t found = backward ? FindText(bytes, needle, head, start, true)
                               : FindText(bytes, needle, end, foot, false);
  if (found == std::string_view::npos) {
    found = backward ? FindText(bytes, needle, end, foot, true)
                     : FindText(bytes, needle, head, start, false);
  }
  if (found == std::string_view::npos) return -1;
  return PageOfPair(index_.PairAt(static_cast<qint64>(found)));
}

void ReportView::ShowPage(int page) {
  if (pageStarts_.size() <= 1 && !(index_.ok() && index_.fileSize() > kDirectLoadBytes)) return;
  page = std::clamp(page, 0, PageCount() - 1);
  page_ = page;
  const int first = PageFirstPair(page);
  const int end = PageEndPair(page);
  const qint64 bytes = end > first ? index_.pairEnd(end - 1) - index_.pairStart(first) : 0;
  if (bytes > kMaxPageBytes) {
    emit ReportTooBig(reportPath_, index_.fileSize());
    return;
  }
  expected_ = PageUrl(page);
  load(expected_);
}

}  // namespace sorowa
