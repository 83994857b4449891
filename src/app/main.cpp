#include <QApplication>
#include <QSettings>
#include <QTimer>
#include <cstdio>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "compare/japanese_locale.h"
#include "compare/report_store.h"

int main(int argc, char** argv) {
  const std::string noDisplay =
      sorowa::MissingDisplayMessage(sorowa::CurrentDisplayEnvironment(argc, argv));
  if (!noDisplay.empty()) {
    std::fputs(noDisplay.c_str(), stderr);
    return 1;
  }

  sorowa::PrepareWebEngine();
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Sorowa"));
  QApplication::setApplicationName(QStringLiteral("Sorowa"));
  QApplication::setApplicationVersion(QStringLiteral("1.0"));
  QApplication::setDesktopFileName(QStringLiteral("sorowa"));
  QApplication::setWindowIcon(sorowa::AppIcon());
  sorowa::InstallJapaneseQtTranslations(app);
  // After the application object: on Unix it sets the C locale from the environment.
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
  window.show();
  if (!files.isEmpty()) {
    QTimer::singleShot(0, &window, [&window, files] { window.OpenFromCommandLine(files); });
  }
  return app.exec();
}
