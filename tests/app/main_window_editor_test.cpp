// The editors take plain text only: from the clipboard, from a drop, never a context menu,
// and every code unit of what they are given.

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "main_window_test.h"

void MainWindowTest::PlainTextOfMimeData_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<bool>("accepted");
  QTest::addColumn<QString>("text");
  QTest::newRow("HTML and text") << "html+text" << true << "太字と斜体";
  QTest::newRow("HTML only") << "html" << false << QString();
  QTest::newRow("image only") << "image" << false << QString();
  QTest::newRow("URLs only") << "urls" << false << QString();
  QTest::newRow("files with their names as text") << "files+names" << false << QString();
  QTest::newRow("URL with other text") << "url+title" << true << "例のページ";
  QTest::newRow("empty text") << "empty" << false << QString();
}

void MainWindowTest::PlainTextOfMimeData() {
  QFETCH(QString, kind);
  QFETCH(bool, accepted);
  QFETCH(QString, text);
  QMimeData data;
  if (kind == QLatin1String("html+text")) {
    data.setHtml(QStringLiteral("<b>太字</b>と<i>斜体</i>"));
    data.setText(QStringLiteral("太字と斜体"));
  } else if (kind == QLatin1String("html")) {
    data.setHtml(QStringLiteral("<p>形式だけ</p>"));
  } else if (kind == QLatin1String("image")) {
    data.setImageData(QImage(8, 8, QImage::Format_RGB32));
  } else if (kind == QLatin1String("urls")) {
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/home/user/a.txt")),
                  QUrl(QStringLiteral("https://example.org/"))});
  } else if (kind == QLatin1String("files+names")) {
    // What file managers put on the clipboard for copied files.
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/home/user/原文.txt"))});
    data.setText(QStringLiteral("/home/user/原文.txt\n"));
  } else if (kind == QLatin1String("url+title")) {
    data.setUrls({QUrl(QStringLiteral("https://example.org/"))});
    data.setText(QStringLiteral("例のページ"));
  } else {
    data.setText(QString());
  }
  const std::optional<QString> result = sorowa::PlainTextOf(data);
  QCOMPARE(result.has_value(), accepted);
  if (accepted) QCOMPARE(*result, text);
}

void MainWindowTest::PasteInsertsPlainTextOnly_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("inserted");
  QTest::newRow("HTML and text") << "html"
                                 << "見出しと本文";
  QTest::newRow("image only") << "image" << QString();
  QTest::newRow("URLs only") << "urls" << QString();
}

void MainWindowTest::PasteInsertsPlainTextOnly() {
  QFETCH(QString, kind);
  QFETCH(QString, inserted);
  auto* data = new QMimeData;  // the clipboard takes it over
  if (kind == QLatin1String("html")) {
    data->setHtml(QStringLiteral("<h1 style='color:red'>見出し</h1><img src='x.png'>と本文"));
    data->setText(QStringLiteral("見出しと本文"));
  } else if (kind == QLatin1String("image")) {
    data->setImageData(QImage(4, 4, QImage::Format_ARGB32));
  } else {
    data->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/source.txt"))});
  }
  QApplication::clipboard()->setMimeData(data);

  window_->show();
  Source()->setPlainText(QStringLiteral("前"));
  Source()->moveCursor(QTextCursor::End);
  Source()->paste();
  QCOMPARE(Source()->toPlainText(), QStringLiteral("前") + inserted);
  // Nothing but characters went in: no images, no character formats.
  QVERIFY(!Source()->toPlainText().contains(QChar::ObjectReplacementCharacter));
  QTextCursor cursor(Source()->document());
  cursor.movePosition(QTextCursor::End);
  QVERIFY(!cursor.charFormat().foreground().color().isValid() ||
          cursor.charFormat().foreground().color() != QColor(Qt::red));
  QVERIFY(dialogs_->errors.isEmpty());
  QVERIFY(dialogs_->messages.isEmpty());
}

void MainWindowTest::DropOfFilesInsertsNothing() {
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/target.txt"))});
  QMimeData text;
  text.setText(QStringLiteral("落とした文"));

  QWidget* viewport = Target()->viewport();
  const QPoint at(10, 10);
  for (QMimeData* data : {&files, &text}) {
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    if (data == &files) QVERIFY(Target()->toPlainText().isEmpty());
  }
  QCOMPARE(Target()->toPlainText(), QStringLiteral("落とした文"));
}

void MainWindowTest::EditorsShowNoContextMenu() {
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  for (PlainTextEditor* editor : {Source(), Target()}) {
    QCOMPARE(editor->contextMenuPolicy(), Qt::NoContextMenu);
    const QPoint at(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, editor->viewport()->mapToGlobal(at));
    QApplication::sendEvent(editor->viewport(), &event);
    QApplication::processEvents();
    QVERIFY(QApplication::activePopupWidget() == nullptr);
  }
}

void MainWindowTest::EditorKeepsSpecialCharacters() {
  // No-break spaces and U+2028 are characters of the line; toPlainText() would turn them
  // into a space and a line break and change what gets compared.
  const QString text = QStringLiteral("a\u00a0b\u2028c\nd");
  window_->SetEditorText(sorowa::Editor::Source, text.toStdU16String());
  QCOMPARE(QString::fromStdU16String(window_->EditorText(sorowa::Editor::Source)), text);
  // The editor hands text on as a copy of its code units, a lone surrogate included.
  const std::u16string lone = {u'x', char16_t(0xD800), u'y'};
  window_->SetEditorText(sorowa::Editor::Target, lone);
  QCOMPARE(window_->EditorText(sorowa::Editor::Target), lone);
}
