#include "app/plain_text_editor.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>

namespace sorowa {
namespace {

// File managers put the dragged or copied files' paths or URLs into text/plain as well.
// Such text names the files; it is not text the user meant to compare.
bool TextOnlyNamesUrls(const QString& text, const QList<QUrl>& urls) {
  const QStringList lines =
      text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
  if (lines.isEmpty()) return true;
  for (const QString& line : lines) {
    const QString item = line.trimmed();
    bool named = false;
    for (const QUrl& url : urls) {
      if (item == url.toString() || item == url.toEncoded() ||
          (url.isLocalFile() && item == url.toLocalFile())) {
        named = true;
        break;
      }
    }
    if (!named) return false;
  }
  return true;
}

}  // namespace

std::optional<QString> PlainTextOf(const QMimeData& data) {
  if (!data.hasText()) return std::nullopt;
  QString text = data.text();
  if (text.isEmpty()) return std::nullopt;
  if (data.hasUrls() && TextOnlyNamesUrls(text, data.urls())) return std::nullopt;
  return text;
}

PlainTextEditor::PlainTextEditor(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setWordWrapMode(QTextOption::NoWrap);
  setContextMenuPolicy(Qt::NoContextMenu);
  // Tab moves on to the next control, as in the rest of the window; Ctrl+Tab types a tab.
  setTabChangesFocus(true);
}

QString PlainTextEditor::Text() const {
  const QTextDocument* doc = document();
  QString text;
  text.reserve(doc->characterCount());
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    if (block != doc->begin()) text += QLatin1Char('\n');
    text += block.text();
  }
  return text;
}

int PlainTextEditor::LineCount() const {
  // The document keeps a block after the last line break, empty when the text ends in one.
  return blockCount() - (document()->lastBlock().length() == 1 ? 1 : 0);
}

void PlainTextEditor::ReplaceText(const QString& text) {
  QString asStored = text;
  // The document splits lines at CR LF, CR and LF alike and stores the break, not the
  // characters; compare in the form Text() returns.
  asStored.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  asStored.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  if (asStored == Text()) return;

  QTextCursor cursor(document());
  cursor.beginEditBlock();
  cursor.select(QTextCursor::Document);
  cursor.insertText(asStored);
  cursor.endEditBlock();
  cursor.movePosition(QTextCursor::Start);
  setTextCursor(cursor);
  FitWrapModeToLines();
}

void PlainTextEditor::FitWrapModeToLines() {
  int longest = 0;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    longest = std::max(longest, block.length() - 1);  // without the line break
  }
  // Unwrapped, every line is laid out whole to find the widest, and each visible one is
  // shaped anew at every paint: for lines of a hundred thousand characters that takes
  // seconds each time. Wrapped, only the lines in view are laid out, a screen line at a
  // time. Nobody reads such a line by scrolling sideways anyway.
  const bool wrap = longest > kLongLine;
  setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  setWordWrapMode(wrap ? QTextOption::WrapAnywhere : QTextOption::NoWrap);
}

bool PlainTextEditor::canInsertFromMimeData(const QMimeData* source) const {
  return source != nullptr && PlainTextOf(*source).has_value();
}

void PlainTextEditor::insertFromMimeData(const QMimeData* source) {
  if (source == nullptr) return;
  if (const std::optional<QString> text = PlainTextOf(*source)) {
    insertPlainText(*text);
    FitWrapModeToLines();
  }
}

void PlainTextEditor::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Tab && event->modifiers() == Qt::ControlModifier) {
    insertPlainText(QStringLiteral("\t"));
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

QSize PlainTextEditor::sizeHint() const {
  QSize size = QPlainTextEdit::sizeHint();
  if (preferredHeight_ > 0) size.setHeight(preferredHeight_);
  return size;
}

}  // namespace sorowa
