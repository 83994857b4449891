// The window's start-up state, its line counters, its layout at any size, and the keys
// and menus that reach its controls.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSplitter>
#include <QTest>

#include "app/main_menu.h"
#include "main_window_test.h"

void MainWindowTest::StartUpState() {
  QCOMPARE(window_->windowTitle(), QStringLiteral("Sorowa 1.0"));
  QVERIFY(!window_->windowIcon().isNull());

  QCOMPARE(Child<QPushButton>("compareButton")->text(), QStringLiteral("比較(&C)"));
  QCOMPARE(Child<QPushButton>("saveButton")->text(), QStringLiteral("保存(&S)"));
  QCOMPARE(Child<QPushButton>("printButton")->text(), QStringLiteral("印刷(&P)"));
  QCOMPARE(Child<QLabel>("sourceCaption")->text(), QStringLiteral("ソース"));
  QCOMPARE(Child<QLabel>("targetCaption")->text(), QStringLiteral("ターゲット"));

  struct Box {
    const char* name;
    const char* caption;
    bool checked;
  };
  const Box boxes[] = {
      {"charDpBox", "文字&&DP(&D)", false},
      {"morphemeDpBox", "形態素&&DP(&K)", true},
      {"pseudoBunsetsuDpBox", "疑似文節&&DP(&G)", true},
      {"pseudoBunsetsuMatchBox", "疑似文節(&B)", true},
      {"morphemeMatchBox", "形態素(&M)", true},
      {"alignLinesBox", "行を対応付け(&L)", false},
  };
  for (const Box& box : boxes) {
    auto* widget = Child<QCheckBox>(box.name);
    QCOMPARE(widget->text(), QString::fromUtf8(box.caption));
    QCOMPARE(widget->isChecked(), box.checked);
    QVERIFY(!widget->isTristate());
  }
  QCOMPARE(window_->IsOptionChecked(sorowa::OptionId::CharDp), false);
  QCOMPARE(window_->IsOptionChecked(sorowa::OptionId::MorphemeDp), true);
  QCOMPARE(window_->IsOptionChecked(sorowa::OptionId::PseudoBunsetsuDp), true);
  QCOMPARE(window_->IsOptionChecked(sorowa::OptionId::PseudoBunsetsuMatch), true);
  QCOMPARE(window_->IsOptionChecked(sorowa::OptionId::MorphemeMatch), true);
  QCOMPARE(window_->IsOptionChecked(sorowa::OptionId::AlignLines), false);
  // Every Compare scores its pairs; morphemes are scored while a morpheme table needs them.
  QVERIFY(window_->IsOptionChecked(sorowa::OptionId::Scores));
  QVERIFY(!window_->IsOptionChecked(sorowa::OptionId::NoReport));
  for (const char* box : {"morphemeDpBox", "morphemeMatchBox"}) {
    QVERIFY(window_->IsOptionChecked(sorowa::OptionId::MorphemeScores));
    Child<QCheckBox>(box)->setChecked(false);
  }
  QVERIFY(!window_->IsOptionChecked(sorowa::OptionId::MorphemeScores));
  QVERIFY(Child<QLabel>("compareStatus")->text().isEmpty());

  QCOMPARE(Child<QLabel>("sourceLineCount")->text(), QStringLiteral("0"));
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), QStringLiteral("0"));
  QVERIFY(Source()->toPlainText().isEmpty());
  QVERIFY(Target()->toPlainText().isEmpty());
  QVERIFY(!View()->HasReport());
  QVERIFY(View()->url().isEmpty());
  QCOMPARE(Source()->lineWrapMode(), QPlainTextEdit::NoWrap);
  QCOMPARE(Target()->lineWrapMode(), QPlainTextEdit::NoWrap);
}

void MainWindowTest::ScreenAndTabOrder() {
  window_->resize(1000, 700);  // wide enough for the button row on one line
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));

  // Left to right along the button row.
  const char* row[] = {"compareButton",
                       "saveButton",
                       "printButton",
                       "charDpBox",
                       "morphemeDpBox",
                       "pseudoBunsetsuDpBox",
                       "pseudoBunsetsuMatchBox",
                       "morphemeMatchBox",
                       "alignLinesBox"};
  for (std::size_t i = 0; i + 1 < std::size(row); ++i) {
    const QRect left = InWindow(Child<QWidget>(row[i]));
    const QRect right = InWindow(Child<QWidget>(row[i + 1]));
    QVERIFY2(left.right() < right.left(), row[i + 1]);
  }

  // Tab visits the controls as they stand on screen, and leaves the list of pairs (which
  // has rows once there is a report) as it leaves any other control.
  Source()->setPlainText(QStringLiteral("一行目\n二行目\n"));
  Target()->setPlainText(QStringLiteral("一行目\n二行め\n"));
  window_->Compare();
  const QStringList expected = {"sourceEditor",
                                "targetEditor",
                                "compareButton",
                                "saveButton",
                                "printButton",
                                "charDpBox",
                                "morphemeDpBox",
                                "pseudoBunsetsuDpBox",
                                "pseudoBunsetsuMatchBox",
                                "morphemeMatchBox",
                                "alignLinesBox",
                                "changedOnlyBox",
                                "pairOrder",
                                "pairList",
                                "reportView",
                                "sourceEditor"};
  auto nameOf = [this](QWidget* widget) {
    // The view takes focus through the browser widget inside it.
    if (widget != nullptr && widget == View()->focusProxy()) return View()->objectName();
    return widget != nullptr ? widget->objectName() : QString();
  };
  // The browser widget inside the view arrives after the window is shown.
  QTRY_VERIFY(View()->focusProxy() != nullptr);
  QApplication::processEvents();
  QStringList visited;
  Source()->setFocus();
  QTRY_VERIFY(Source()->hasFocus());
  visited << nameOf(QApplication::focusWidget());
  for (int i = 1; i < expected.size(); ++i) {
    QWidget* before = QApplication::focusWidget();
    QTest::keyClick(before, Qt::Key_Tab);
    // The page decides in its own process whether Tab leaves it, and answers later.
    (void)QTest::qWaitFor([before] { return QApplication::focusWidget() != before; }, 5000);
    visited << nameOf(QApplication::focusWidget());
  }
  QCOMPARE(visited, expected);
}

void MainWindowTest::CountersFollowTheText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("count");
  QTest::addColumn<bool>("wraps");
  QTest::newRow("empty") << QString() << "0" << false;
  QTest::newRow("one line") << "吾輩は猫である"
                            << "1" << false;
  QTest::newRow("LF") << "a\nb"
                      << "2" << false;
  // A line break ends a line; it does not start one.
  QTest::newRow("trailing LF") << "a\n"
                               << "1" << false;
  QTest::newRow("CR LF") << "a\r\nb\r\n"
                         << "2" << false;
  QTest::newRow("CR alone") << "x\ry"
                            << "2" << false;
  QTest::newRow("blank lines") << "\n\n\n"
                               << "3" << false;
  QTest::newRow("long line") << QString(PlainTextEditor::kLongLine, QChar(u'あ')) << "1" << false;
  // A line too long to lay out whole at every paint is wrapped.
  QTest::newRow("too long a line")
      << QStringLiteral("短い\n") + QString(PlainTextEditor::kLongLine + 1, QChar(u'あ')) << "2"
      << true;
}

void MainWindowTest::CountersFollowTheText() {
  QFETCH(QString, text);
  QFETCH(QString, count);
  QFETCH(bool, wraps);
  window_->show();
  Source()->setPlainText(text);
  QCOMPARE(Child<QLabel>("sourceLineCount")->text(), count);
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), QStringLiteral("0"));
  window_->SetEditorText(sorowa::Editor::Target, text.toStdU16String());
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), count);
  QCOMPARE(Target()->lineWrapMode(), wraps ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void MainWindowTest::CounterUpdatesWhileTyping() {
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  Target()->setFocus();
  QTest::keyClick(Target(), Qt::Key_A);
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), QStringLiteral("1"));
  QTest::keyClicks(Target(), QStringLiteral("bc"));
  QTest::keyClick(Target(), Qt::Key_Return);
  QTest::keyClick(Target(), Qt::Key_Return);
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), QStringLiteral("2"));
  QTest::keyClick(Target(), Qt::Key_X);
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), QStringLiteral("3"));
  QTest::keyClick(Target(), Qt::Key_Backspace);
  QTest::keyClick(Target(), Qt::Key_Backspace);
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), QStringLiteral("1"));
  QCOMPARE(Child<QLabel>("sourceLineCount")->text(), QStringLiteral("0"));
}

void MainWindowTest::EscapeDoesNothing() {
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  Source()->setPlainText(QStringLiteral("本文"));
  for (const char* name : {"sourceEditor", "compareButton", "charDpBox"}) {
    QWidget* target = Child<QWidget>(name);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Escape);
    QVERIFY2(window_->isVisible(), name);
  }
  QTest::keyClick(window_.get(), Qt::Key_Escape);
  QVERIFY(window_->isVisible());
  QCOMPARE(Source()->toPlainText(), QStringLiteral("本文"));
  QVERIFY(!Child<QCheckBox>("charDpBox")->isChecked());
  QVERIFY(dialogs_->errors.isEmpty());
}

void MainWindowTest::MnemonicsReachTheirControls() {
  window_->show();
  QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  Source()->setFocus();
  // Through the window, as the key would come from the keyboard, so shortcuts apply. A
  // mnemonic presses its button with a short animation, so the click lands a little later.
  QWindow* window = window_->windowHandle();
  QTest::keyClick(window, Qt::Key_D, Qt::AltModifier);
  QTRY_VERIFY(Child<QCheckBox>("charDpBox")->isChecked());
  QTest::keyClick(window, Qt::Key_G, Qt::AltModifier);
  QTRY_VERIFY(!Child<QCheckBox>("pseudoBunsetsuDpBox")->isChecked());
  QTest::keyClick(window, Qt::Key_L, Qt::AltModifier);
  QTRY_VERIFY(Child<QCheckBox>("alignLinesBox")->isChecked());
  // No two buttons or boxes share a mnemonic letter.
  QSet<QChar> letters;
  for (const QAbstractButton* button : window_->findChildren<QAbstractButton*>()) {
    const QString text = QString(button->text()).remove(QStringLiteral("&&"));
    const qsizetype at = text.indexOf(QLatin1Char('&'));
    if (at < 0 || at + 1 >= text.size()) continue;
    const QChar letter = text.at(at + 1).toUpper();
    QVERIFY2(!letters.contains(letter), qPrintable(button->objectName()));
    letters.insert(letter);
  }
  QCOMPARE(letters.size(), 10);  // the nine of the button row and 再比較
  // Alt+C runs Compare; then Alt+S is Save and Alt+P Print (SaveAndPrintWithoutReport: not
  // before).
  QTest::keyClick(window, Qt::Key_C, Qt::AltModifier);
  QTRY_VERIFY(View()->HasReport());
  QTest::keyClick(window, Qt::Key_S, Qt::AltModifier);
  QTRY_COMPARE(dialogs_->suggestedPaths.size(), 1);
  QTest::keyClick(window, Qt::Key_P, Qt::AltModifier);
  QTRY_COMPARE(dialogs_->printDialogs, 1);
  QVERIFY(dialogs_->errors.isEmpty());
}

void MainWindowTest::LayoutAfterResize_data() {
  QTest::addColumn<QSize>("size");
  QTest::newRow("minimum") << QSize(0, 0);
  QTest::newRow("medium") << QSize(900, 600);
  QTest::newRow("wide") << QSize(1601, 700);
  QTest::newRow("tall") << QSize(800, 1200);
}

void MainWindowTest::LayoutAfterResize() {
  QFETCH(QSize, size);
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  window_->resize(size.expandedTo(window_->minimumSize()));
  QTRY_COMPARE(window_->size(), size.expandedTo(window_->minimumSize()));
  QApplication::processEvents();

  const QRect source = InWindow(Source());
  const QRect target = InWindow(Target());
  const QRect view = InWindow(View());
  const QRect compare = InWindow(Child<QWidget>("compareButton"));
  const int width = window_->width();

  // Ten lines where there is room, never less than the old fixed height.
  QVERIFY(source.height() >= MainWindow::kEditorHeight);
  if (window_->height() >= 600) {
    QVERIFY(source.height() >= MainWindow::kEditorLines * Source()->fontMetrics().lineSpacing());
  }
  QCOMPARE(target.height(), source.height());
  QVERIFY2(qAbs(source.width() - target.width()) <= 1,
           qPrintable(QStringLiteral("%1 vs %2").arg(source.width()).arg(target.width())));
  QCOMPARE(source.top(), target.top());
  QVERIFY(source.right() < target.left());
  // Together with the margins and the gap between them, the editors span the window.
  QVERIFY(source.left() <= 10);
  QVERIFY(target.right() >= width - 11);
  QVERIFY(source.width() * 2 >= width - 30);

  for (const auto& [counterName, editor] :
       {std::pair{"sourceLineCount", source}, std::pair{"targetLineCount", target}}) {
    const QLabel* counter = Child<QLabel>(counterName);
    QVERIFY(counter->alignment() & Qt::AlignRight);
    QCOMPARE(InWindow(counter).right(), editor.right());
    QVERIFY(InWindow(counter).bottom() < editor.top());
  }
  QCOMPARE(InWindow(Child<QLabel>("targetCaption")).left(), target.left());
  QCOMPARE(compare.left(), source.left());

  QVERIFY(compare.top() > source.bottom());
  QVERIFY(view.top() > compare.bottom());
  // The report and the list of pairs beside it share the width.
  const QRect pairs = InWindow(Child<QWidget>("pairList"));
  QVERIFY(pairs.right() < view.left());
  QVERIFY(view.right() - pairs.left() >= width - 20);
  // The status line sits under the view, along the window's bottom edge.
  const QRect status = InWindow(Child<QLabel>("compareStatus"));
  QVERIFY(status.top() > view.bottom());
  QVERIFY(status.top() - view.bottom() <= 10);
  QVERIFY(status.bottom() >= window_->height() - 11);
  QCOMPARE(status.left(), pairs.left());
}

void MainWindowTest::WindowKeepsItsMinimumSize() {
  QCOMPARE(window_->minimumSize(), MainWindow::kMinimumSize);
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  window_->resize(200, 100);
  QApplication::processEvents();
  QVERIFY(window_->width() >= MainWindow::kMinimumSize.width());
  QVERIFY(window_->height() >= MainWindow::kMinimumSize.height());
  // Every control still shows whole: the option boxes wrap under the buttons rather than
  // being cut off, and nothing overlaps.
  const char* names[] = {"compareButton",
                         "saveButton",
                         "printButton",
                         "charDpBox",
                         "morphemeDpBox",
                         "pseudoBunsetsuDpBox",
                         "pseudoBunsetsuMatchBox",
                         "morphemeMatchBox",
                         "alignLinesBox"};
  QList<QRect> placed;
  for (const char* name : names) {
    const QWidget* widget = Child<QWidget>(name);
    const QRect rect = InWindow(widget);
    QVERIFY2(QRect(QPoint(0, 0), window_->size()).contains(rect), name);
    QVERIFY2(rect.width() >= widget->sizeHint().width(), name);
    QVERIFY2(rect.top() > Source()->geometry().bottom(), name);
    QVERIFY2(rect.bottom() < InWindow(View()).top(), name);
    for (const QRect& other : placed) QVERIFY2(!rect.intersects(other), name);
    placed << rect;
  }
}

void MainWindowTest::MenuKeysAndMnemonicsDoNotClash() {
  // Every Alt+letter of the window: the buttons' and boxes' and the menu titles'.
  QMap<QChar, QString> mnemonics;
  auto addMnemonic = [&mnemonics](const QString& text) {
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("(?<!&)&([^&])")).match(text);
    if (!match.hasMatch()) return;
    const QChar key = match.captured(1).at(0).toUpper();
    QVERIFY2(
        !mnemonics.contains(key),
        qPrintable(QStringLiteral("%1 and %2 share Alt+%3").arg(mnemonics.value(key), text, key)));
    mnemonics.insert(key, text);
  };
  for (const QAbstractButton* button : window_->findChildren<QAbstractButton*>()) {
    if (button->isVisibleTo(window_.get())) addMnemonic(button->text());
  }
  auto* menu = Child<sorowa::MainMenu>("mainMenu");
  for (QAction* title : menu->actions()) addMnemonic(title->text());
  for (QAction* item : menu->optionsMenu->actions()) addMnemonic(item->text());

  // Shortcuts are unique across the menus, and the asked-for ones are there.
  QMap<QString, QString> shortcuts;
  for (QMenu* submenu : menu->findChildren<QMenu*>()) {
    for (QAction* action : submenu->actions()) {
      const QString key = action->shortcut().toString();
      if (key.isEmpty()) continue;
      QVERIFY2(!shortcuts.contains(key), qPrintable(key));
      shortcuts.insert(key, action->objectName());
    }
  }
  const QMap<QString, QString> expected{{"Ctrl+O", "openSourceAction"},
                                        {"Ctrl+Shift+O", "openTargetAction"},
                                        {"Ctrl+Q", "quitAction"},
                                        {"F8", "nextChangeAction"},
                                        {"Shift+F8", "previousChangeAction"},
                                        {"Ctrl+F", "findAction"},
                                        {"Ctrl++", "zoomInAction"},
                                        {"Ctrl+-", "zoomOutAction"},
                                        {"Ctrl+0", "zoomResetAction"}};
  QCOMPARE(shortcuts, expected);
  // The option items follow the boxes both ways.
  auto* charDp = Child<QAction>("charDpBoxAction");
  charDp->trigger();
  QVERIFY(Child<QCheckBox>("charDpBox")->isChecked());
  Child<QCheckBox>("charDpBox")->setChecked(false);
  QVERIFY(!charDp->isChecked());
}

// The splitter under the editors makes them lower, down to two lines, and gives the room to
// the report.
void MainWindowTest::SplitterResizesTheEditors() {
  window_->resize(1000, 700);
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  const int editorBefore = Source()->height();
  const int viewBefore = View()->height();
  Child<QSplitter>("editorSplitter")->setSizes({0, 10000});
  QApplication::processEvents();
  QVERIFY2(Source()->height() < MainWindow::kEditorHeight,
           qPrintable(QString::number(Source()->height())));
  QVERIFY(Source()->height() >= 2 * Source()->fontMetrics().lineSpacing());
  QCOMPARE(Target()->height(), Source()->height());
  QCOMPARE(View()->height() - viewBefore, editorBefore - Source()->height());
}
