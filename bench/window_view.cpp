// Times how long the window takes from 比較 to the report shown, as 対照表示 and as 表形式,
// the two views interleaved round after round. Run under a display, for example
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/sorowa_window_bench --lines 20000
// Options: --lines N (20000), --rounds N (3). The texts are N lines of 40 to 80 random kana
// and kanji with one character in twelve changed in the Target, as the window's end-to-end
// test makes them. For each view: the median seconds from pressing 比較 until the view has
// loaded the report (its first part, for a report shown in parts), and the report's size.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/plain_text_editor.h"
#include "app/report_view.h"
#include "app/startup.h"
#include "compare/report_store.h"

namespace {

class NoDialogs : public sorowa::Dialogs {
 public:
  void ShowError(QWidget*, const QString& text, const QString& details) override {
    std::fprintf(stderr, "error: %s %s\n", qPrintable(text), qPrintable(details));
  }
  void ShowMessage(QWidget*, const QString& text) override {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
  }
  QString AskSavePath(QWidget*, const QString&) override { return QString(); }
  bool AskPrintSettings(QWidget*, QPrinter&) override { return false; }
  std::optional<sorowa::OpenChoice> AskOpenPath(QWidget*, const QString&, const QString&) override {
    return std::nullopt;
  }
  bool AskOpenInBrowser(QWidget*, const QString&) override { return false; }
};

std::pair<QString, QString> RevisedTexts(int count) {
  static const QString kChars = QStringLiteral(
      "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわを"
      "ん日本語文章東京大学研究開発情報処理機械翻訳評価結果方法問題解決時間空間世界社会経済");
  QRandomGenerator random(7);
  QString source;
  QString target;
  for (int i = 0; i < count; ++i) {
    const int length = 40 + random.bounded(41);
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

int Option(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (qstrcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  sorowa::PrepareWebEngine();
  QApplication app(argc, argv);
  const int lines = Option(argc, argv, "--lines", 20000);
  const int rounds = Option(argc, argv, "--rounds", 3);

  QTemporaryDir reports;
  sorowa::TempReportStore store(reports.path().toStdString());
  NoDialogs dialogs;
  sorowa::MainWindow window(dialogs, store);
  window.resize(1200, 800);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  const auto [source, target] = RevisedTexts(lines);
  window.findChild<sorowa::PlainTextEditor*>(QStringLiteral("sourceEditor"))->setPlainText(source);
  window.findChild<sorowa::PlainTextEditor*>(QStringLiteral("targetEditor"))->setPlainText(target);
  auto* view = window.findChild<sorowa::ReportView*>(QStringLiteral("reportView"));

  const char* names[] = {"対照表示", "表形式"};
  const char* actions[] = {"reviewViewAction", "tablesViewAction"};
  std::vector<double> seconds[2];
  qint64 bytes[2] = {0, 0};
  bool paged[2] = {false, false};
  for (int round = 0; round < rounds; ++round) {
    for (int kind = 0; kind < 2; ++kind) {
      window.findChild<QAction*>(QLatin1String(actions[kind]))->setChecked(true);
      QSignalSpy loaded(view, &QWebEngineView::loadFinished);
      QElapsedTimer timer;
      timer.start();
      window.Compare();
      if (!loaded.wait(300000) || !loaded.takeFirst().at(0).toBool()) {
        std::fprintf(stderr, "the report did not load\n");
        return 1;
      }
      seconds[kind].push_back(static_cast<double>(timer.elapsed()) / 1000.0);
      bytes[kind] = QFileInfo(view->ReportPath()).size();
      paged[kind] = view->IsPaged();
    }
  }
  for (int kind = 0; kind < 2; ++kind) {
    std::vector<double>& s = seconds[kind];
    std::sort(s.begin(), s.end());
    std::printf("%s: %d lines shown after %.2f s (median of %d; %.1f MB, %s)\n", names[kind], lines,
                s[s.size() / 2], rounds, static_cast<double>(bytes[kind]) / 1e6,
                paged[kind] ? "in parts" : "whole");
  }
  return 0;
}
