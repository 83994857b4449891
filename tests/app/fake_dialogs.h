#pragma once

#include <QApplication>
#include <QCursor>
#include <QPrinter>
#include <QString>
#include <QStringList>
#include <functional>

#include "app/dialogs.h"

namespace sorowa::testing {

// Records what the window would have shown and answers its questions, so that no test ever
// waits on a modal dialog.
class FakeDialogs : public Dialogs {
 public:
  struct Error {
    QString text;
    QString details;
  };

  void ShowError(QWidget*, const QString& text, const QString& details) override {
    errors.push_back({text, details});
    RecordCursor();
  }
  void ShowMessage(QWidget*, const QString& text) override {
    messages.push_back(text);
    RecordCursor();
  }
  QString AskSavePath(QWidget*, const QString& suggestedPath) override {
    suggestedPaths.push_back(suggestedPath);
    return savePath;
  }
  bool AskPrintSettings(QWidget*, QPrinter& printer) override {
    ++printDialogs;
    if (setUpPrinter) setUpPrinter(printer);
    return acceptPrint;
  }
  std::optional<OpenChoice> AskOpenPath(QWidget*, const QString& title,
                                        const QString& folder) override {
    openTitles.push_back(title);
    openFolders.push_back(folder);
    if (openChoice.path.isEmpty()) return std::nullopt;
    return openChoice;
  }
  bool AskOpenInBrowser(QWidget*, const QString& text) override {
    browserQuestions.push_back(text);
    return false;
  }

  // The cursor shape while each box was up; Qt::ArrowCursor when no override was set.
  QList<Qt::CursorShape> cursorsWhileShown;
  QList<Error> errors;
  QStringList messages;
  QStringList suggestedPaths;
  int printDialogs = 0;
  QStringList openTitles;
  QStringList openFolders;
  QStringList browserQuestions;

  QString savePath;  // empty: the user cancels the save dialog
  bool acceptPrint = false;
  std::function<void(QPrinter&)> setUpPrinter;
  OpenChoice openChoice;  // an empty path: the user cancels the open dialog

 private:
  void RecordCursor() {
    const QCursor* cursor = QApplication::overrideCursor();
    cursorsWhileShown.push_back(cursor != nullptr ? cursor->shape() : Qt::ArrowCursor);
  }
};

}  // namespace sorowa::testing
