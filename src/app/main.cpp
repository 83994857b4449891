#include <QApplication>
#include <QSettings>
#include <QTimer>
#include <cstdio>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/stop_signal_watcher.h"
#include "compare/report_store.h"
#include "process/japanese_locale.h"
#include "process/stop_signals.h"

namespace {

int RunWindow(int argc, char** argv) {
  sorowa::PrepareWebEngine();
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Sorowa"));
  QApplication::setApplicationName(QStringLiteral("Sorowa"));
  QApplication::setApplicationVersion(QStringLiteral("1.0"));
  QApplication::setDesktopFileName(QStringLiteral("sorowa"));
  QApplication::setWindowIcon(sorowa::AppIcon());
  sorowa::InstallJapaneseQtTranslations(app);
  // After the application object, which sets the C locale from the environment on Unix, and
  // once only: setting the locale is not safe while the report view's threads run.
  sorowa::InstallJapaneseLocale();

  // sorowa [SOURCE [TARGET]]: the arguments Qt has not taken for itself.
  QStringList files = QApplication::arguments().mid(1);
  if (!files.isEmpty() &&
      (files.front() == QLatin1String("--help") || files.front() == QLatin1String("-h"))) {
    std::fputs(
        "Usage: sorowa [SOURCE [TARGET]]\n"
        "Opens the Sorowa window. With SOURCE, that file is opened into the Source editor;\n"
        "with SOURCE and TARGET, both are opened and compared at once. The encoding of each\n"
        "file is found from its bytes (UTF-8, UTF-16 with BOM, Shift_JIS, EUC-JP, ISO-2022-JP).\n",
        stdout);
    return 0;
  }

  QSettings settings;
  sorowa::StandardDialogs dialogs;
  sorowa::MainWindow window(dialogs, sorowa::ProcessReportStore());
  window.UseSettings(&settings);
  // After the window, and with it the report view, exists: nothing set up later replaces
  // the handlers.
  sorowa::StopSignalWatcher stopSignals;
  QObject::connect(&stopSignals, &sorowa::StopSignalWatcher::StopRequested, &window,
                   &sorowa::MainWindow::CloseForStopSignal);
  window.show();
  if (!files.isEmpty()) {
    QTimer::singleShot(0, &window, [&window, files] { window.OpenFromCommandLine(files); });
  }
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string noDisplay =
      sorowa::MissingDisplayMessage(sorowa::CurrentDisplayEnvironment(argc, argv));
  if (!noDisplay.empty()) {
    std::fputs(noDisplay.c_str(), stderr);
    return 1;
  }
  const int status = RunWindow(argc, argv);
  // The window has cancelled its Compare, which took the partial report away, and closed.
  if (const int signal = sorowa::StopSignal()) sorowa::EndBySignal(signal);
  return status;
}
