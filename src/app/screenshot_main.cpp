// Makes the picture of the window for the documentation: opens two files into the editors,
// runs Compare, moves to the first change, waits for the report to be drawn and saves the
// window as a PNG.
// Usage: sorowa_screenshot SOURCE.txt TARGET.txt OUTPUT.png [WIDTHxHEIGHT [review]]
// With "review", the report is shown as 対照表示 and the picture is of the page alone, from
// its head with the figures on.
#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/report_view.h"
#include "app/startup.h"
#include "compare/report_store.h"
#include "process/japanese_locale.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs("usage: sorowa_screenshot SOURCE TARGET OUTPUT.png [WIDTHxHEIGHT [review]]\n",
               stderr);
    return 2;
  }
  sorowa::PrepareWebEngine();
  QApplication app(argc, argv);
  sorowa::InstallJapaneseLocale();
  QApplication::setWindowIcon(sorowa::AppIcon());
  sorowa::InstallJapaneseQtTranslations(app);

  QSize size(960, 640);
  if (argc > 4) {
    const QStringList parts = QString::fromLocal8Bit(argv[4]).split(QLatin1Char('x'));
    if (parts.size() == 2) size = QSize(parts[0].toInt(), parts[1].toInt());
  }

  QTemporaryDir reports;
  sorowa::TempReportStore store(reports.path().toStdString());
  sorowa::StandardDialogs dialogs;
  sorowa::MainWindow window(dialogs, store);
  if (!window.OpenFile(sorowa::Editor::Source, QString::fromLocal8Bit(argv[1])) ||
      !window.OpenFile(sorowa::Editor::Target, QString::fromLocal8Bit(argv[2]))) {
    return 1;
  }
  const bool review = argc > 5 && QString::fromLocal8Bit(argv[5]) == QStringLiteral("review");
  if (review) {
    window.findChild<QAction*>(QStringLiteral("reviewViewAction"))->setChecked(true);
  }
  window.resize(size);
  window.move(0, 0);
  window.show();

  const QString output = QString::fromLocal8Bit(argv[3]);
  auto* view = window.findChild<sorowa::ReportView*>(QStringLiteral("reportView"));
  int status = 1;
  bool moved = false;
  QObject::connect(view, &QWebEngineView::loadFinished, &app, [&](bool ok) {
    if (!ok) {
      std::fputs("sorowa_screenshot: the report did not load\n", stderr);
      app.exit(1);
      return;
    }
    if (!moved && !review) {
      moved = true;
      window.NextChange();
    }
    // Give the compositor a moment to put the page on the screen.
    QTimer::singleShot(2500, &app, [&] {
      const QPixmap picture = review ? view->grab() : window.screen()->grabWindow(window.winId());
      status = picture.save(output, "PNG") ? 0 : 1;
      app.exit(status);
    });
  });
  QTimer::singleShot(500, &window, &sorowa::MainWindow::Compare);
  QTimer::singleShot(60000, &app, [&] {
    std::fputs("sorowa_screenshot: timed out\n", stderr);
    app.exit(1);
  });
  app.exec();
  return status;
}
