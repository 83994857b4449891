#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <optional>

class QMimeData;

namespace sorowa {

// The text that a paste or a drop of data may insert: its plain-text form. Formatted text
// gives its characters without formatting; data without a plain-text form gives nothing, and
// so does a list of files whose only text is those files' names.
std::optional<QString> PlainTextOf(const QMimeData& data);

// One of the two text editors: plain text only, no wrapping, so that each displayed line is
// one text line, and no context menu. A text with a line longer than kLongLine characters
// is wrapped instead (see FitWrapModeToLines).
class PlainTextEditor : public QPlainTextEdit {
  Q_OBJECT

 public:
  static constexpr int kLongLine = 4000;

  explicit PlainTextEditor(QWidget* parent = nullptr);

  // The characters exactly as typed, lines separated by LF. Unlike toPlainText(), this keeps
  // no-break spaces and line separators (U+2028) as they are: the comparison must see them.
  QString Text() const;
  // Replaces the whole text as one step that Undo can take back. Leaves the editor alone
  // when the text would not change, so the caret and the scroll position stay.
  void ReplaceText(const QString& text);
  // The number of lines as a file counts them: every line break ends one, and text after
  // the last break makes one more. An empty editor has none, "a\n" one.
  int LineCount() const;
  // The height the editor asks the layout for; 0 keeps the widget's default.
  void SetPreferredHeight(int height) {
    preferredHeight_ = height;
    updateGeometry();
  }
  QSize sizeHint() const override;

 protected:
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Wraps the lines while one of them is longer than kLongLine; checked when the text is
  // replaced or pasted, which is how such lines arrive.
  void FitWrapModeToLines();

  int preferredHeight_ = 0;
};

}  // namespace sorowa
