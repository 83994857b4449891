#pragma once

#include <QCoreApplication>
#include <QIcon>
#include <string>

namespace sorowa {

// Where the process can find a display, as the environment and the command line tell.
struct DisplayEnvironment {
  const char* display = nullptr;         // DISPLAY
  const char* waylandDisplay = nullptr;  // WAYLAND_DISPLAY
  const char* qpaPlatform = nullptr;     // QT_QPA_PLATFORM
  bool platformArgument = false;         // -platform on the command line
};

DisplayEnvironment CurrentDisplayEnvironment(int argc, char** argv);

// An English message for the terminal when the window cannot be shown for want of a
// display; empty when a display or an explicit platform is there.
std::string MissingDisplayMessage(const DisplayEnvironment& environment);

// Must run before the QApplication is created. Chromium, inside the report view, refuses to
// start as root with its sandbox on, so root sessions (containers, CI) run it without.
void PrepareWebEngine();

// Qt's own dialogs (file, print, message box buttons) speak the window's language, Japanese,
// where Qt's translations are installed; otherwise they stay in English.
void InstallJapaneseQtTranslations(QCoreApplication& app);

QIcon AppIcon();

}  // namespace sorowa
