// Times printing a report to PDF, the way Print does it now and the way it did before, in
// the same sitting, the two interleaved. Run under a display, for example
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/sorowa_print_bench --rounds 3
// Options: --pairs N (300), --char-dp (add the character table), --rounds N (3),
// --methods new,old,page (all three), --keep DIR (write the report and PDFs there, to look
// at, for example with pdftoppm, rather than into a temporary folder). It writes the report of N
// pairs of generated prose like lines, 40 to 200 characters long plus one line of 309 characters,
// with one character in twelve changed, and prints it to A4 PDF files in a temporary folder:
//   new   Print as the window does it (runs of pairs laid out for paper, printed side by
//         side, joined);
//   old   the page loaded whole, wide tables laid out again in parts by a script in the
//         page, printed in one run (what Print did before);
//   page  the page loaded whole and printed as it is (wide tables cut off at the margin).
// For each print: the time to the PDF, its size and pages (pdfinfo), and the processor
// time of this process and its browser processes, which says how much of the time was
// waiting for a busy machine.
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/plain_text_editor.h"
#include "app/report_printer.h"
#include "app/report_view.h"
#include "app/startup.h"
#include "compare/report_store.h"

namespace {

// The print dialog answered with a PDF file; nothing else is asked.
class PdfDialogs : public sorowa::Dialogs {
 public:
  QString pdf;
  void ShowError(QWidget*, const QString& text, const QString& details) override {
    std::fprintf(stderr, "error: %s %s\n", qPrintable(text), qPrintable(details));
  }
  void ShowMessage(QWidget*, const QString& text) override {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
  }
  QString AskSavePath(QWidget*, const QString&) override { return QString(); }
  bool AskPrintSettings(QWidget*, QPrinter& printer) override {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return true;
  }
  std::optional<sorowa::OpenChoice> AskOpenPath(QWidget*, const QString&, const QString&) override {
    return std::nullopt;
  }
  bool AskOpenInBrowser(QWidget*, const QString&) override { return false; }
};

// The same texts as the window's end-to-end print test.
std::pair<QString, QString> RevisedTexts(int count) {
  static const QString kChars = QStringLiteral(
      "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわを"
      "ん日本語文章東京大学研究開発情報処理機械翻訳評価結果方法問題解決時間空間世界社会経済");
  QRandomGenerator random(300);
  const QString widest = QString(300, QChar(u'長')) + QStringLiteral("末尾の十文字です。\n");
  QString source = widest;
  QString target = widest;
  for (int i = 0; i < count; ++i) {
    const int length = 40 + random.bounded(161);
    for (int k = 0; k < length; ++k) {
      const QChar c = kChars.at(random.bounded(kChars.size()));
      source += c;
      target += random.bounded(12) == 0 ? kChars.at(random.bounded(kChars.size())) : c;
    }
    source += QStringLiteral("。\n");
    target += QStringLiteral("。\n");
  }
  return {source, target};
}

// Processor seconds of this process and its descendants (the browser's processes).
double TreeCpuSeconds() {
  std::map<int, int> parent;
  std::map<int, double> cpu;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool number = false;
    const int pid = entry.toInt(&number);
    if (!number) continue;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 15) continue;
    parent[pid] = fields[1].toInt();
    // utime, stime, and those of waited-for children
    cpu[pid] = (fields[11].toDouble() + fields[12].toDouble() + fields[13].toDouble() +
                fields[14].toDouble()) /
               tick;
  }
  double sum = 0;
  const int self = getpid();
  for (const auto& [pid, seconds] : cpu) {
    int p = pid;
    for (int depth = 0; p > 1 && p != self && depth < 64; ++depth) {
      p = parent.count(p) != 0 ? parent[p] : 0;
    }
    if (p == self) sum += seconds;
  }
  return sum;
}

// What Print did before: wide DP tables cut into tables that fit, one under another, and
// matching tables let wrap, by a script in the loaded page.
const char kWrapTables[] = R"JS((function (avail) {
  const plans = [];
  for (const t of Array.from(document.getElementsByTagName('table'))) {
    if (t.getBoundingClientRect().width <= avail) continue;
    const rows = Array.from(t.rows);
    if (rows.length === 0) continue;
    if (t.querySelector('td.le')) { plans.push({table: t, wrap: true}); continue; }
    const first = rows[0].cells[0];
    const caption = first && first.rowSpan > 1 ? first : null;
    const captionWidth = caption ? caption.getBoundingClientRect().width : 0;
    const columns = rows.map(r => Array.from(r.cells).filter(c => c !== caption));
    const n = Math.max(...columns.map(c => c.length));
    const chunks = [];
    let start = 0, used = captionWidth;
    for (let k = 0; k < n; k++) {
      let w = 0;
      for (const c of columns) if (c[k]) w = Math.max(w, c[k].getBoundingClientRect().width);
      if (k > start && used + w > avail) { chunks.push([start, k]); start = k; used = captionWidth; }
      used += w;
    }
    chunks.push([start, n]);
    plans.push({table: t, rows, caption, columns, chunks});
  }
  for (const p of plans) {
    const t = p.table;
    if (p.wrap) {
      for (const td of t.querySelectorAll('td.le')) { td.style.whiteSpace = 'normal'; td.style.wordBreak = 'break-all'; }
      t.style.width = avail + 'px';
      continue;
    }
    const pieces = document.createDocumentFragment();
    p.chunks.forEach(([a, b], i) => {
      const part = t.cloneNode(false);
      p.rows.forEach((r, ri) => {
        const tr = r.cloneNode(false);
        if (ri === 0 && p.caption) tr.appendChild(i === 0 ? p.caption : p.caption.cloneNode(true));
        for (let k = a; k < b; k++) if (p.columns[ri][k]) tr.appendChild(p.columns[ri][k]);
        part.appendChild(tr);
      });
      pieces.appendChild(part);
      if (i + 1 < p.chunks.length) pieces.appendChild(document.createElement('br'));
    });
    t.parentNode.replaceChild(pieces, t);
  }
  return plans.length;
})(%1))JS";

// Loads the report whole into a view of its own and prints it in one run, with the old
// script first when wrap is set. Returns false on failure.
bool PrintWhole(const QString& report, const QString& pdf, bool wrap) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const QPageLayout layout = printer.pageLayout();
  QWebEngineView view;
  view.resize(1000, 700);
  view.setAttribute(Qt::WA_DontShowOnScreen);
  view.show();
  QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
  QSignalSpy printed(view.page(), &QWebEnginePage::pdfPrintingFinished);
  view.load(QUrl::fromLocalFile(report));
  if (!loaded.wait(600000) || !loaded.first().first().toBool()) return false;
  if (wrap) {
    const double width = layout.paintRect(QPageLayout::Point).width() * 96.0 / 72.0 - 8.0;
    bool done = false;
    view.page()->runJavaScript(QString::fromLatin1(kWrapTables).arg(width, 0, 'f', 1),
                               [&done](const QVariant&) { done = true; });
    QElapsedTimer waited;
    waited.start();
    while (!done && waited.elapsed() < 600000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (!done) return false;
  }
  view.page()->printToPdf(pdf, layout);
  return printed.wait(600000) && printed.first().at(1).toBool();
}

int PdfPages(const QString& pdf) {
  QProcess info;
  info.start(QStringLiteral("pdfinfo"), {pdf});
  if (!info.waitForFinished(60000)) return -1;
  for (const QByteArray& line : info.readAllStandardOutput().split('\n')) {
    if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
  }
  return -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  sorowa::PrepareWebEngine();
  QApplication app(argc, argv);
  int pairs = 300;
  int rounds = 3;
  bool charDp = false;
  QString keep;
  QStringList methods{QStringLiteral("new"), QStringLiteral("old"), QStringLiteral("page")};
  const QStringList arguments = QApplication::arguments();
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--pairs") && i + 1 < arguments.size()) {
      pairs = arguments[++i].toInt();
    } else if (argument == QLatin1String("--rounds") && i + 1 < arguments.size()) {
      rounds = arguments[++i].toInt();
    } else if (argument == QLatin1String("--methods") && i + 1 < arguments.size()) {
      methods = arguments[++i].split(u',');
    } else if (argument == QLatin1String("--char-dp")) {
      charDp = true;
    } else if (argument == QLatin1String("--keep") && i + 1 < arguments.size()) {
      keep = arguments[++i];
    } else {
      std::fprintf(stderr,
                   "usage: sorowa_print_bench [--pairs N] [--rounds N] [--char-dp] "
                   "[--methods new,old,page] [--keep DIR]\n");
      return 2;
    }
  }

  QTemporaryDir temporary;
  const QDir folder(keep.isEmpty() ? temporary.path() : keep);
  if (!folder.mkpath(QStringLiteral("."))) return 1;
  PdfDialogs dialogs;
  sorowa::TempReportStore store(folder.path().toStdString());
  sorowa::MainWindow window(dialogs, store);
  window.resize(1000, 700);
  window.show();
  window.findChild<QCheckBox*>(QStringLiteral("charDpBox"))->setChecked(charDp);
  const auto [source, target] = RevisedTexts(pairs);
  window.findChild<sorowa::PlainTextEditor*>(QStringLiteral("sourceEditor"))->setPlainText(source);
  window.findChild<sorowa::PlainTextEditor*>(QStringLiteral("targetEditor"))->setPlainText(target);
  auto* view = window.findChild<sorowa::ReportView*>(QStringLiteral("reportView"));
  QSignalSpy shown(view, &sorowa::ReportView::PageLoaded);
  window.Compare();
  if (!shown.wait(600000)) return 1;
  const QString report = view->ReportPath();
  QFile load(QStringLiteral("/proc/loadavg"));
  std::printf("report: %d pairs%s, %lld bytes; load average %s", pairs,
              charDp ? " with the character table" : "", QFileInfo(report).size(),
              load.open(QIODevice::ReadOnly) ? load.readLine().constData() : "?\n");

  auto* printer = window.findChild<sorowa::ReportPrinter*>();
  std::map<QString, std::vector<double>> times;
  std::map<QString, std::vector<double>> cpus;
  for (int round = 1; round <= rounds; ++round) {
    for (const QString& method : methods) {
      const QString pdf = folder.filePath(QStringLiteral("%1-%2.pdf").arg(method).arg(round));
      const double cpuBefore = TreeCpuSeconds();
      QElapsedTimer clock;
      clock.start();
      bool ok = false;
      if (method == QLatin1String("new")) {
        dialogs.pdf = pdf;
        QSignalSpy finished(printer, &sorowa::ReportPrinter::Finished);
        window.Print();
        ok = finished.wait(600000) && finished.first().first().toBool();
      } else {
        ok = PrintWhole(report, pdf, method == QLatin1String("old"));
      }
      const double seconds = clock.elapsed() / 1000.0;
      // A browser process that has ended counts in the time of the one that waited for it.
      const double cpu = TreeCpuSeconds() - cpuBefore;
      if (!ok) {
        std::printf("%-4s round %d: failed\n", qPrintable(method), round);
        return 1;
      }
      times[method].push_back(seconds);
      cpus[method].push_back(cpu);
      std::printf("%-4s round %d: %6.1f s  %5.1f MB  %3d pages  processor %.1f s\n",
                  qPrintable(method), round, seconds, QFileInfo(pdf).size() / 1e6, PdfPages(pdf),
                  cpu);
      std::fflush(stdout);
    }
  }
  for (const QString& method : methods) {
    std::printf("%-4s median %6.1f s (processor %.1f s)\n", qPrintable(method),
                Median(times[method]), Median(cpus[method]));
  }
  return 0;
}
