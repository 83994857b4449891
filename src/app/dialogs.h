#pragma once

#include <QString>

class QPrinter;
class QWidget;

namespace sorowa {

// Every modal dialog the window opens goes through here, so that tests can answer them
// without a blocking event loop.
class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A failure that ended a command: a critical box with a stop icon. details may be empty.
  virtual void ShowError(QWidget* parent, const QString& text, const QString& details) = 0;
  // A message from the engine (such as MeCab's start-up error): no title, one OK button.
  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
  // Returns the chosen file, or an empty string when the user cancels.
  virtual QString AskSavePath(QWidget* parent, const QString& suggestedPath) = 0;
  // Lets the user set up printer; false when the user cancels.
  virtual bool AskPrintSettings(QWidget* parent, QPrinter& printer) = 0;
};

// The real dialogs.
class StandardDialogs final : public Dialogs {
 public:
  void ShowError(QWidget* parent, const QString& text, const QString& details) override;
  void ShowMessage(QWidget* parent, const QString& text) override;
  QString AskSavePath(QWidget* parent, const QString& suggestedPath) override;
  bool AskPrintSettings(QWidget* parent, QPrinter& printer) override;
};

}  // namespace sorowa
