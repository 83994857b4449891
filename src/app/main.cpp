#include <QApplication>
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
  QApplication::setApplicationName(QStringLiteral("Sorowa"));
  QApplication::setApplicationVersion(QStringLiteral("1.0"));
  QApplication::setDesktopFileName(QStringLiteral("sorowa"));
  QApplication::setWindowIcon(sorowa::AppIcon());
  sorowa::InstallJapaneseQtTranslations(app);
  // After the application object: on Unix it sets the C locale from the environment.
  sorowa::InstallJapaneseLocale();

  sorowa::StandardDialogs dialogs;
  sorowa::MainWindow window(dialogs, sorowa::ProcessReportStore());
  window.show();
  return app.exec();
}
