#pragma once

#include <QString>
#include <optional>

#include "formats/input_format.h"
#include "text/text_encoding.h"

class QPrinter;
class QWidget;

namespace sorowa {

// A file the user chose to open, with the encoding and the format picked in the dialog;
// none means that they are to be found from the file's bytes. keepRuby keeps the ruby of a
// Word or OpenDocument file.
struct OpenChoice {
  QString path;
  std::optional<TextEncoding> encoding;
  std::optional<InputFormat> format;
  bool keepRuby = false;
};

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
  // A text file or a document to open, starting in folder; nothing when the user cancels.
  virtual std::optional<OpenChoice> AskOpenPath(QWidget* parent, const QString& title,
                                                const QString& folder) = 0;
  // The report is too big for the view: true when the user wants it opened in the browser.
  virtual bool AskOpenInBrowser(QWidget* parent, const QString& text) = 0;
};

// The real dialogs.
class StandardDialogs final : public Dialogs {
 public:
  void ShowError(QWidget* parent, const QString& text, const QString& details) override;
  void ShowMessage(QWidget* parent, const QString& text) override;
  QString AskSavePath(QWidget* parent, const QString& suggestedPath) override;
  bool AskPrintSettings(QWidget* parent, QPrinter& printer) override;
  std::optional<OpenChoice> AskOpenPath(QWidget* parent, const QString& title,
                                        const QString& folder) override;
  bool AskOpenInBrowser(QWidget* parent, const QString& text) override;
};

// The window's name of an encoding ("Shift_JIS (CP932)", "UTF-8 (BOM 付き)").
QString EncodingLabel(TextEncoding encoding);

// The window's name of a document format ("PDF", "Word (.docx)").
QString FormatLabel(InputFormat format);

}  // namespace sorowa
