#include "app/startup.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>
#include <cstring>

#include "app/report_view.h"

namespace sorowa {
namespace {

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

DisplayEnvironment CurrentDisplayEnvironment(int argc, char** argv) {
  DisplayEnvironment environment;
  environment.display = std::getenv("DISPLAY");
  environment.waylandDisplay = std::getenv("WAYLAND_DISPLAY");
  environment.qpaPlatform = std::getenv("QT_QPA_PLATFORM");
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0 ||
        std::strncmp(argv[i], "-platform=", 10) == 0) {
      environment.platformArgument = true;
    }
  }
  return environment;
}

std::string MissingDisplayMessage(const DisplayEnvironment& environment) {
  if (IsSet(environment.display) || IsSet(environment.waylandDisplay) ||
      IsSet(environment.qpaPlatform) || environment.platformArgument) {
    return {};
  }
  return "sorowa: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
         "Sorowa is a desktop program and needs a graphical session to show its window.\n"
         "To compare two texts without one, use the command-line program sorowa-compare,\n"
         "which writes the same HTML report (see sorowa-compare --help).\n";
}

void PrepareWebEngine() {
  if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  }
  // Qt WebEngine shares OpenGL contexts with the widgets; it must be said before the
  // application object exists.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // Big reports are shown in parts through their own URL scheme, which must be known
  // before the browser starts.
  ReportView::RegisterReportScheme();
}

void InstallJapaneseQtTranslations(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qt"),
                       QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) {
    icon.addFile(QStringLiteral(":/sorowa/sorowa-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace sorowa
