// The window on the offscreen platform: its start-up state, counters, keys, layout, paste
// filter, and the Compare, Save and Print commands with every dialog answered by a fake.
#include "app/main_window.h"

#include <signal.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "app/compare_status.h"
#include "app/dialogs.h"
#include "app/main_menu.h"
#include "app/pair_list.h"
#include "app/pair_navigator.h"
#include "app/plain_text_editor.h"
#include "app/report_index.h"
#include "app/report_saver.h"
#include "app/report_view.h"
#include "app/startup.h"
#include "app/stop_signal_watcher.h"
#include "compare/report_store.h"
#include "fake_dialogs.h"
#include "process/stop_signals.h"
#include "text/text_file.h"

using sorowa::MainWindow;
using sorowa::PlainTextEditor;
using sorowa::ReportView;
using sorowa::testing::FakeDialogs;

namespace {

// Points TMPDIR somewhere for the life of the object, as the process-wide report store
// reads it at every write.
class ScopedTmpDir {
 public:
  explicit ScopedTmpDir(const QByteArray& path)
      : old_(qgetenv("TMPDIR")), had_(qEnvironmentVariableIsSet("TMPDIR")) {
    qputenv("TMPDIR", path);
  }
  ~ScopedTmpDir() {
    if (had_) {
      qputenv("TMPDIR", old_);
    } else {
      qunsetenv("TMPDIR");
    }
  }

 private:
  QByteArray old_;
  bool had_;
};

QStringList ReportFiles(const QString& directory) {
  return QDir(directory).entryList({QStringLiteral("*.htm")}, QDir::Files, QDir::Name);
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void StartUpState();
  void ScreenAndTabOrder();
  void CountersFollowTheText_data();
  void CountersFollowTheText();
  void CounterUpdatesWhileTyping();
  void EscapeDoesNothing();
  void MnemonicsReachTheirControls();
  void LayoutAfterResize_data();
  void LayoutAfterResize();
  void WindowKeepsItsMinimumSize();
  void PlainTextOfMimeData_data();
  void PlainTextOfMimeData();
  void PasteInsertsPlainTextOnly_data();
  void PasteInsertsPlainTextOnly();
  void DropOfFilesInsertsNothing();
  void EditorsShowNoContextMenu();
  void EditorKeepsSpecialCharacters();
  void CompareWritesReportIntoTmpDir();
  void StatusLineSumsUpTheCompare_data();
  void StatusLineSumsUpTheCompare();
  void StatusLineShowsTheScores_data();
  void StatusLineShowsTheScores();
  void CompareFailureShowsErrorBox_data();
  void CompareFailureShowsErrorBox();
  void CompareShowsBusyCursorAndEngineMessages();
  void CancelKeepsEarlierReport();
  void ClosingDuringCompareCancelsIt();
  void SaveAndPrintWithoutReport();
  void SaveCopiesShownReport();
  void SaveFailureShowsErrorBox();
  void OpenFileFindsOrTakesTheEncoding_data();
  void OpenFileFindsOrTakesTheEncoding();
  void CommandLineFilesAreOpenedAndCompared();
  void MenuKeysAndMnemonicsDoNotClash();
  void PairListRows_data();
  void PairListRows();
  void NextAndPreviousChange();
  void SettingsSurviveARestart();
  void TooBigReportOffersTheBrowser();
  // Last: the signal's handler is process-wide and leaves the default action behind.
  void StopSignalCancelsCompareAndCloses();

 private:
  template <typename T>
  T* Child(const char* name) const {
    T* child = window_->findChild<T*>(QLatin1String(name));
    if (child == nullptr) qFatal("no child %s", name);
    return child;
  }
  PlainTextEditor* Source() const { return Child<PlainTextEditor>("sourceEditor"); }
  PlainTextEditor* Target() const { return Child<PlainTextEditor>("targetEditor"); }
  ReportView* View() const { return Child<ReportView>("reportView"); }
  QString RunCompareInto(const QString& directory);
  // A child's rectangle in the window's coordinates, however deep it sits.
  QRect InWindow(const QWidget* widget) const {
    return QRect(widget->mapTo(window_.get(), QPoint(0, 0)), widget->size());
  }

  std::unique_ptr<QTemporaryDir> tmp_;
  std::unique_ptr<FakeDialogs> dialogs_;
  std::unique_ptr<sorowa::TempReportStore> store_;
  std::unique_ptr<MainWindow> window_;
};

void MainWindowTest::init() {
  tmp_ = std::make_unique<QTemporaryDir>();
  QVERIFY(tmp_->isValid());
  dialogs_ = std::make_unique<FakeDialogs>();
  store_ = std::make_unique<sorowa::TempReportStore>(tmp_->path().toStdString());
  window_ = std::make_unique<MainWindow>(*dialogs_, *store_);
}

void MainWindowTest::cleanup() {
  window_.reset();
  store_.reset();
  dialogs_.reset();
  tmp_.reset();
}

QString MainWindowTest::RunCompareInto(const QString& directory) {
  const QStringList before = ReportFiles(directory);
  window_->Compare();
  QStringList after = ReportFiles(directory);
  for (const QString& name : before) after.removeOne(name);
  return after.size() == 1 ? QDir(directory).filePath(after.front()) : QString();
}

void MainWindowTest::StartUpState() {
  QCOMPARE(window_->windowTitle(), QStringLiteral("Sorowa 1.0"));
  QVERIFY(!window_->windowIcon().isNull());

  QCOMPARE(Child<QPushButton>("compareButton")->text(), QStringLiteral("比較(&C)"));
  QCOMPARE(Child<QPushButton>("saveButton")->text(), QStringLiteral("保存(&S)"));
  QCOMPARE(Child<QPushButton>("printButton")->text(), QStringLiteral("印刷(&P)"));
  QCOMPARE(Child<QLabel>("sourceCaption")->text(), QStringLiteral("Source"));
  QCOMPARE(Child<QLabel>("targetCaption")->text(), QStringLiteral("Target"));

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

  QCOMPARE(Child<QLabel>("sourceLineCount")->text(), QStringLiteral("1"));
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), QStringLiteral("1"));
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

  // Tab visits the controls in the original dialog's order, which puts the pseudo-bunsetsu
  // DP box last of the five although it stands in the middle of the row; the pairing box
  // follows it.
  const QStringList expected = {"sourceEditor",     "targetEditor",        "compareButton",
                                "charDpBox",        "morphemeDpBox",       "pseudoBunsetsuMatchBox",
                                "morphemeMatchBox", "reportView",          "saveButton",
                                "printButton",      "pseudoBunsetsuDpBox", "alignLinesBox"};
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
  QTest::newRow("empty") << QString() << "1";
  QTest::newRow("one line") << "吾輩は猫である"
                            << "1";
  QTest::newRow("LF") << "a\nb"
                      << "2";
  QTest::newRow("trailing LF") << "a\n"
                               << "2";
  QTest::newRow("CR LF") << "a\r\nb\r\n"
                         << "3";
  QTest::newRow("CR alone") << "x\ry"
                            << "2";
  QTest::newRow("blank lines") << "\n\n\n"
                               << "4";
  QTest::newRow("long line does not wrap") << QString(5000, QChar(u'あ')) << "1";
}

void MainWindowTest::CountersFollowTheText() {
  QFETCH(QString, text);
  QFETCH(QString, count);
  window_->show();
  Source()->setPlainText(text);
  QCOMPARE(Child<QLabel>("sourceLineCount")->text(), count);
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), QStringLiteral("1"));
  window_->SetEditorText(sorowa::Editor::Target, text.toStdU16String());
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), count);
}

void MainWindowTest::CounterUpdatesWhileTyping() {
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  Target()->setFocus();
  QTest::keyClicks(Target(), QStringLiteral("abc"));
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), QStringLiteral("1"));
  QTest::keyClick(Target(), Qt::Key_Return);
  QTest::keyClick(Target(), Qt::Key_Return);
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), QStringLiteral("3"));
  QTest::keyClick(Target(), Qt::Key_Backspace);
  QCOMPARE(Child<QLabel>("targetLineCount")->text(), QStringLiteral("2"));
  QCOMPARE(Child<QLabel>("sourceLineCount")->text(), QStringLiteral("1"));
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
  QCOMPARE(letters.size(), 9);
  // Alt+S is Save and Alt+P Print, which have nothing to act on yet.
  QTest::keyClick(window, Qt::Key_S, Qt::AltModifier);
  QTRY_COMPARE(dialogs_->errors.size(), 1);
  QTest::keyClick(window, Qt::Key_P, Qt::AltModifier);
  QTRY_COMPARE(dialogs_->errors.size(), 2);
  QVERIFY(dialogs_->errors.at(1).text.contains(QStringLiteral("印刷")));
  // Alt+C runs Compare.
  QTest::keyClick(window, Qt::Key_C, Qt::AltModifier);
  QTRY_VERIFY(View()->HasReport());
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

void MainWindowTest::CompareWritesReportIntoTmpDir() {
  // The real process-wide store, pointed at a private temporary directory.
  QTemporaryDir tmpDir;
  ScopedTmpDir scoped(QFile::encodeName(tmpDir.path()));
  window_ = std::make_unique<MainWindow>(*dialogs_, sorowa::ProcessReportStore());
  window_->show();

  Source()->setPlainText(QStringLiteral("吾輩は猫である。\r\n\r\n名前はまだ無い。"));
  Target()->setPlainText(QStringLiteral("吾輩は犬である。\n名前はもう有る。\n"));
  Child<QCheckBox>("charDpBox")->setChecked(true);
  QTest::mouseClick(Child<QPushButton>("compareButton"), Qt::LeftButton);

  const QStringList files = ReportFiles(tmpDir.path());
  QCOMPARE(files.size(), 1);
  const QString path = QDir(tmpDir.path()).filePath(files.front());
  QVERIFY(QRegularExpression(QStringLiteral("^s[0-9a-v]+\\.[0-9a-v]*\\.htm$"))
              .match(files.front())
              .hasMatch());
  const QByteArray report = ReadAll(path);
  QVERIFY(report.startsWith("<html><meta"));
  QVERIFY(report.endsWith("</body></html>"));
  QCOMPARE(report.count("<hr><br>"), 2);
  QVERIFY(report.contains(QStringLiteral("猫").toUtf8()));
  QVERIFY(report.contains("class=\"different\""));

  // The editors hold the normalised texts; the view was given the file by its path.
  QCOMPARE(Source()->Text(), QStringLiteral("吾輩は猫である。\n名前はまだ無い。\n"));
  QCOMPARE(Target()->Text(), QStringLiteral("吾輩は犬である。\n名前はもう有る。\n"));
  QCOMPARE(Child<QLabel>("sourceLineCount")->text(), QStringLiteral("3"));
  QCOMPARE(View()->ReportPath(), path);
  QTRY_COMPARE_WITH_TIMEOUT(View()->url(), QUrl::fromLocalFile(path), 20000);
  QVERIFY(dialogs_->errors.isEmpty());
}

void MainWindowTest::StatusLineSumsUpTheCompare_data() {
  QTest::addColumn<QString>("source");
  QTest::addColumn<QString>("target");
  QTest::addColumn<bool>("alignLines");
  QTest::addColumn<QString>("status");
  const QString three = QStringLiteral("吾輩は猫である。\n\n名前はまだ無い。\n猫だ。");
  QTest::newRow("by position")
      << three << QStringLiteral("吾輩は猫である。") << false
      << QStringLiteral(
             "相違のある行の組 0 / 1 · 文字誤り率 57.89 % (形態素 57.14 %) · 未対応 ソース 2 / "
             "ターゲット 0 · "
             "ソースがターゲットより 2 行多く、"
             "ソースの 3–4 行目は比較していません。「行を対応付け」をオンにすると内容で行を対応付"
             "けます。");
  QTest::newRow("by content") << three << QStringLiteral("吾輩は猫である。") << true
                              << QStringLiteral(
                                     "相違のある行の組 2 / 3 · 文字誤り率 57.89 % (形態素 "
                                     "57.14 %) · 未対応 ソース 2 / ターゲット 0");
  QTest::newRow("empty target")
      << QStringLiteral("猫だ。") << QStringLiteral("\n\n") << false
      << QStringLiteral(
             "相違のある行の組 0 / 0 · 文字誤り率 100.00 % (形態素 100.00 %) · 未対応 ソース 1 / "
             "ターゲット 0 · "
             "ターゲットに行がありません。ソースの 1 "
             "行目は比較していません。");
}

// After each Compare the line under the report says how many pairs were written and how
// many lines of each side have no partner, and why when lines were left out.
void MainWindowTest::StatusLineSumsUpTheCompare() {
  QFETCH(QString, source);
  QFETCH(QString, target);
  QFETCH(bool, alignLines);
  QFETCH(QString, status);
  Source()->setPlainText(source);
  Target()->setPlainText(target);
  Child<QCheckBox>("alignLinesBox")->setChecked(alignLines);
  QCOMPARE(window_->IsOptionChecked(sorowa::OptionId::AlignLines), alignLines);
  QVERIFY(!RunCompareInto(tmp_->path()).isEmpty());
  QCOMPARE(Child<QLabel>("compareStatus")->text(), status);
  QVERIFY(dialogs_->errors.isEmpty());
}

void MainWindowTest::StatusLineShowsTheScores_data() {
  QTest::addColumn<int>("n");  // reference characters
  QTest::addColumn<int>("distance");
  QTest::addColumn<int>("morphemeN");  // -1: no morpheme figures
  QTest::addColumn<int>("morphemeDistance");
  QTest::addColumn<bool>("failed");
  QTest::addColumn<QString>("scores");  // what follows the counts
  QTest::newRow("none asked") << -1 << 0 << -1 << 0 << false << QString();
  QTest::newRow("characters") << 400 << 5 << -1 << 0 << false
                              << QStringLiteral(" · 文字誤り率 1.25 %");
  QTest::newRow("with morphemes") << 3 << 2 << 200 << 3 << false
                                  << QStringLiteral(" · 文字誤り率 66.67 % (形態素 1.50 %)");
  QTest::newRow("more errors than characters")
      << 1 << 3 << 0 << 2 << false << QStringLiteral(" · 文字誤り率 300.00 %");
  QTest::newRow("no reference characters") << 0 << 4 << 0 << 2 << false << QString();
  QTest::newRow("a pair too long to score")
      << -1 << 0 << -1 << 0 << true
      << QStringLiteral(" · 長すぎる行の組があり、文字誤り率を計算できませんでした");
}

// The corpus rates are the summed distances over the summed reference lengths.
void MainWindowTest::StatusLineShowsTheScores() {
  QFETCH(int, n);
  QFETCH(int, distance);
  QFETCH(int, morphemeN);
  QFETCH(int, morphemeDistance);
  QFETCH(bool, failed);
  QFETCH(QString, scores);
  sorowa::CompareResult result;
  result.pairs.resize(1);
  result.source.lines = 1;
  result.target.lines = 1;
  if (n >= 0) {
    result.scores.emplace();
    result.scores->totals.chars.n = static_cast<std::uint64_t>(n);
    result.scores->totals.chars.insertions = static_cast<std::uint64_t>(distance);
    if (morphemeN >= 0) {
      result.scores->totals.morphemes = sorowa::ErrorCounts{
          static_cast<std::uint64_t>(morphemeN), static_cast<std::uint64_t>(morphemeDistance)};
    }
  }
  if (failed) result.scoresError = "line pair 1 cannot be scored: too long";
  // With a pair's score at hand, the count says how many pairs differ.
  const bool counted = result.scores.has_value();
  if (counted) {
    sorowa::PairScore changed;
    changed.status = sorowa::PairStatus::Changed;
    result.scores->pairs.push_back(changed);
  }
  QCOMPARE(sorowa::CompareStatusText(result),
           (counted ? QStringLiteral("相違のある行の組 1 / 1") : QStringLiteral("行の組 1")) +
               scores + QStringLiteral(" · 未対応 ソース 0 / ターゲット 0"));
}

void MainWindowTest::CompareFailureShowsErrorBox_data() {
  QTest::addColumn<QString>("kind");
  QTest::newRow("missing directory") << "missing";
  QTest::newRow("not a directory") << "file";
  QTest::newRow("read-only directory") << "readonly";
}

void MainWindowTest::CompareFailureShowsErrorBox() {
  QFETCH(QString, kind);
  QTemporaryDir good;
  QTemporaryDir bad;
  QString badPath;
  if (kind == QLatin1String("missing")) {
    badPath = bad.filePath(QStringLiteral("gone"));
  } else if (kind == QLatin1String("file")) {
    badPath = bad.filePath(QStringLiteral("plain-file"));
    QFile file(badPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
  } else if (geteuid() == 0) {
    // Permission bits do not stop root; /proc refuses new files to everyone.
    badPath = QStringLiteral("/proc/self");
  } else {
    badPath = bad.path();
    QVERIFY(QFile::setPermissions(badPath, QFile::ReadOwner | QFile::ExeOwner));
  }

  window_ = std::make_unique<MainWindow>(*dialogs_, sorowa::ProcessReportStore());
  window_->show();
  Source()->setPlainText(QStringLiteral("一行目\n\n二行目"));
  Target()->setPlainText(QStringLiteral("一行目\n二行目"));
  QString shown;
  {
    ScopedTmpDir scoped(QFile::encodeName(good.path()));
    window_->Compare();
    shown = View()->ReportPath();
    QVERIFY(!shown.isEmpty());
  }
  Source()->setPlainText(QStringLiteral("三行目\r\n\r\n"));
  {
    ScopedTmpDir scoped(QFile::encodeName(badPath));
    window_->Compare();
  }
  QFile::setPermissions(bad.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

  QCOMPARE(dialogs_->errors.size(), 1);
  QCOMPARE(dialogs_->errors.front().text, QStringLiteral("比較を最後まで行えませんでした。"));
  QCOMPARE(dialogs_->cursorsWhileShown, QList<Qt::CursorShape>{Qt::ArrowCursor});
  // In Japanese, naming the place.
  QVERIFY2(dialogs_->errors.front().details.contains(QStringLiteral("レポート")) ||
               dialogs_->errors.front().details.contains(QStringLiteral("一時フォルダー")),
           qPrintable(dialogs_->errors.front().details));
  QVERIFY(!dialogs_->errors.front().details.contains(QStringLiteral("cannot")));
  // Nothing else changed: the earlier report stays, the editors keep the normalised text,
  // the window stays open.
  QCOMPARE(View()->ReportPath(), shown);
  QCOMPARE(Source()->Text(), QStringLiteral("三行目\n"));
  QVERIFY(window_->isVisible());
  QCOMPARE(ReportFiles(good.path()).size(), 1);
  if (kind != QLatin1String("readonly") || geteuid() != 0) {
    QVERIFY(ReportFiles(badPath).isEmpty());
  }
}

void MainWindowTest::CompareShowsBusyCursorAndEngineMessages() {
  bool busyDuringCompare = false;
  window_->SetMorphBackendFactory([&](const sorowa::MessageSink& show) {
    const QCursor* cursor = QApplication::overrideCursor();
    busyDuringCompare = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
    show({"MeCab", "辞書が見つかりません"});
    return std::unique_ptr<sorowa::MorphBackend>();
  });
  Source()->setPlainText(QStringLiteral("あ"));
  Target()->setPlainText(QStringLiteral("い"));
  window_->Compare();
  QVERIFY(busyDuringCompare);
  QVERIFY(QApplication::overrideCursor() == nullptr);
  QCOMPARE(dialogs_->messages, QStringList{QStringLiteral("辞書が見つかりません")});
  // The box itself waits for the user and shows the ordinary arrow.
  QCOMPARE(dialogs_->cursorsWhileShown, QList<Qt::CursorShape>{Qt::ArrowCursor});
  QVERIFY(dialogs_->errors.isEmpty());
  QCOMPARE(ReportFiles(tmp_->path()).size(), 1);
}

void MainWindowTest::CancelKeepsEarlierReport() {
  window_->show();
  Source()->setPlainText(QStringLiteral("短い\n"));
  Target()->setPlainText(QStringLiteral("短く\n"));
  const QString first = RunCompareInto(tmp_->path());
  QVERIFY(!first.isEmpty());

  QString many;
  for (int i = 0; i < 3000; ++i) many += QStringLiteral("行%1の文です\n\n").arg(i);
  Source()->setPlainText(many);
  Target()->setPlainText(many);

  // The dialog appears at once and the first chance to press Cancel is taken.
  window_->SetProgressDelay(std::chrono::milliseconds(0));
  QString label;
  bool modal = false;
  QTimer::singleShot(0, window_.get(), [&] {
    auto* dialog = window_->findChild<QProgressDialog*>();
    if (dialog == nullptr) return;
    label = dialog->labelText();
    modal = dialog->isModal() || dialog->windowModality() != Qt::NonModal;
    auto* cancel = dialog->findChild<QPushButton*>();
    if (cancel != nullptr) QTest::mouseClick(cancel, Qt::LeftButton);
  });
  const QString second = RunCompareInto(tmp_->path());

  QVERIFY2(label.contains(QStringLiteral("/ 3000")), qPrintable(label));
  QVERIFY(modal);
  QVERIFY(second.isEmpty());
  QCOMPARE(ReportFiles(tmp_->path()).size(), 1);
  QCOMPARE(View()->ReportPath(), first);
  QVERIFY(dialogs_->errors.isEmpty());
  QVERIFY(window_->findChild<QProgressDialog*>() == nullptr);
  QVERIFY(QApplication::overrideCursor() == nullptr);
  // The editors were normalised before the pairs were compared, and stay so.
  QCOMPARE(Source()->blockCount(), 3001);
}

void MainWindowTest::ClosingDuringCompareCancelsIt() {
  window_->show();
  QString many;
  for (int i = 0; i < 3000; ++i) many += QStringLiteral("閉じる前の行%1\n").arg(i);
  Source()->setPlainText(many);
  Target()->setPlainText(many);
  window_->SetProgressDelay(std::chrono::milliseconds(0));
  bool visibleAfterClose = true;
  QTimer::singleShot(0, window_.get(), [&] {
    window_->close();
    // Compare is still on the stack; the window must not go away under it.
    visibleAfterClose = window_->isVisible();
  });
  const QString written = RunCompareInto(tmp_->path());
  QVERIFY(visibleAfterClose);
  QVERIFY(written.isEmpty());
  QVERIFY(!window_->isVisible());
  QVERIFY(dialogs_->errors.isEmpty());
}

void MainWindowTest::SaveAndPrintWithoutReport() {
  window_->show();
  QTest::mouseClick(Child<QPushButton>("saveButton"), Qt::LeftButton);
  QCOMPARE(dialogs_->errors.size(), 1);
  QVERIFY(dialogs_->errors.at(0).text.contains(QStringLiteral("保存するレポートがまだありません")));
  QVERIFY(dialogs_->suggestedPaths.isEmpty());

  QTest::mouseClick(Child<QPushButton>("printButton"), Qt::LeftButton);
  QCOMPARE(dialogs_->errors.size(), 2);
  QVERIFY(dialogs_->errors.at(1).text.contains(QStringLiteral("印刷するレポートがまだありません")));
  QCOMPARE(dialogs_->printDialogs, 0);
}

void MainWindowTest::SaveCopiesShownReport() {
  Source()->setPlainText(QStringLiteral("保存する文\n"));
  Target()->setPlainText(QStringLiteral("保存した文\n"));
  const QString report = RunCompareInto(tmp_->path());
  QVERIFY(!report.isEmpty());

  // Cancelling the dialog writes nothing.
  window_->Save();
  QCOMPARE(dialogs_->suggestedPaths.size(), 1);
  QVERIFY(dialogs_->errors.isEmpty());

  QTemporaryDir out;
  dialogs_->savePath = out.filePath(QStringLiteral("結果.html"));
  // An existing file is replaced as a whole.
  QFile existing(dialogs_->savePath);
  QVERIFY(existing.open(QIODevice::WriteOnly));
  existing.write(QByteArray(100000, 'x'));
  existing.close();

  window_->Save();
  QCOMPARE(dialogs_->suggestedPaths.size(), 2);
  // No file was opened: the name says so, with today's date.
  QCOMPARE(QFileInfo(dialogs_->suggestedPaths.back()).fileName(),
           QStringLiteral("sorowa-比較-%1.htm").arg(QDate::currentDate().toString(Qt::ISODate)));
  QVERIFY(dialogs_->errors.isEmpty());
  QCOMPARE(ReadAll(dialogs_->savePath), ReadAll(report));
}

void MainWindowTest::SaveFailureShowsErrorBox() {
  Source()->setPlainText(QStringLiteral("あ"));
  Target()->setPlainText(QStringLiteral("い"));
  const QString report = RunCompareInto(tmp_->path());
  QVERIFY(!report.isEmpty());

  dialogs_->savePath = tmp_->filePath(QStringLiteral("no/such/folder/report.htm"));
  window_->Save();
  QCOMPARE(dialogs_->errors.size(), 1);
  QCOMPARE(dialogs_->errors.front().text, QStringLiteral("レポートを保存できませんでした。"));
  QVERIFY(dialogs_->errors.front().details.contains(QStringLiteral("report.htm")));

  // The shown report has gone from the temporary directory: the copy fails cleanly and
  // leaves nothing behind.
  QVERIFY(QFile::remove(report));
  dialogs_->savePath = tmp_->filePath(QStringLiteral("copy.htm"));
  window_->Save();
  QCOMPARE(dialogs_->errors.size(), 2);
  QVERIFY(!QFile::exists(dialogs_->savePath));
}

void MainWindowTest::OpenFileFindsOrTakesTheEncoding_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<int>("chosen");  // -1: found from the bytes
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("label");  // the encoding shown, or part of the error
  const QString text =
      QStringLiteral("吾輩は猫である。名前はまだ無い。\nどこで生れたかとんと見当がつかぬ。\n");
  auto encode = [&text](const char* name) { return QStringEncoder(name).encode(text); };
  // Qt knows UTF-8 and UTF-16 itself; the others come from the sample written by iconv.
  QTest::newRow("UTF-8") << text.toUtf8() << -1 << text << "UTF-8";
  QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << -1 << text
                                  << "BOM";
  QTest::newRow("UTF-16LE") << QByteArray("\xFF\xFE") + encode("UTF-16LE") << -1 << text
                            << "UTF-16LE";
  QTest::newRow("UTF-16BE") << QByteArray("\xFE\xFF") + encode("UTF-16BE") << -1 << text
                            << "UTF-16BE";
  QTest::newRow("CP932") << QByteArray(
                                "\x8C\xE1\x94y\x82\xCD\x94L\x82\xC5\x82\xA0\x82\xE9\x81"
                                "B\x96\xBC\x91O\x82\xCD\x82\xDC\x82\xBE\x96\xB3\x82\xA2\x81"
                                "B\x0A")
                         << -1 << QStringLiteral("吾輩は猫である。名前はまだ無い。\n") << "CP932";
  QTest::newRow("EUC-JP")
      << QByteArray(
             "\xB8\xE3\xC7\xDA\xA4\xCF\xC7\xAD\xA4\xC7\xA4\xA2\xA4\xEB\xA1\xA3\xCC\xBE\xC1\xB0\xA4"
             "\xCF\xA4\xDE\xA4\xC0\xCC\xB5\xA4\xA4\xA1\xA3\x0A")
      << -1 << QStringLiteral("吾輩は猫である。名前はまだ無い。\n") << "EUC-JP";
  QTest::newRow("ISO-2022-JP") << QByteArray("\x1B$B8cGZ$OG-$G$\x22$k!#\x1B(B\x0A") << -1
                               << QStringLiteral("吾輩は猫である。\n") << "ISO-2022-JP";
  // Two bytes that are half-width katakana in CP932 and あ in EUC-JP: the choice decides.
  QTest::newRow("chosen encoding") << QByteArray("\xA4\xA2") << int(sorowa::TextEncoding::EucJp)
                                   << QStringLiteral("あ") << "EUC-JP";
  QTest::newRow("undecodable") << QByteArray("abc\xFF\xFE\xFD") << int(sorowa::TextEncoding::Utf8)
                               << QString() << "3 バイト目";
  QTest::newRow("over the limit") << QByteArray() << -1 << QString() << "256.0 MB";
}

void MainWindowTest::OpenFileFindsOrTakesTheEncoding() {
  QFETCH(QByteArray, bytes);
  QFETCH(int, chosen);
  QFETCH(QString, text);
  QFETCH(QString, label);
  const QString path = tmp_->filePath(QStringLiteral("原稿.txt"));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  // A sparse file just over the limit: refused before anything is read.
  if (bytes.isEmpty()) QVERIFY(file.resize(sorowa::kMaxOpenedFileBytes + 1));
  file.close();

  window_->SetEditorText(sorowa::Editor::Source, u"前の文");
  dialogs_->openChoice.path = path;
  if (chosen >= 0) dialogs_->openChoice.encoding = static_cast<sorowa::TextEncoding>(chosen);
  window_->AskAndOpen(sorowa::Editor::Source);
  QCOMPARE(dialogs_->openTitles, QStringList{QStringLiteral("ソースを開く")});

  const QString shown = Child<QLabel>("sourceFile")->text();
  if (text.isEmpty()) {
    // An error box in Japanese with the path and the offset or size; the text stays.
    QCOMPARE(dialogs_->errors.size(), 1);
    QCOMPARE(dialogs_->errors.front().text, QStringLiteral("ファイルを開けませんでした。"));
    QVERIFY2(dialogs_->errors.front().details.contains(label),
             qPrintable(dialogs_->errors.front().details));
    QVERIFY(dialogs_->errors.front().details.contains(QStringLiteral("原稿.txt")));
    QCOMPARE(Source()->Text(), QStringLiteral("前の文"));
    QVERIFY(shown.isEmpty());
  } else {
    QVERIFY(dialogs_->errors.isEmpty());
    QCOMPARE(Source()->Text(), text);
    QVERIFY2(shown.startsWith(QStringLiteral("原稿.txt")) && shown.contains(label),
             qPrintable(shown));
    // Undo brings the earlier text back.
    Source()->undo();
    QCOMPARE(Source()->Text(), QStringLiteral("前の文"));
  }
}

void MainWindowTest::CommandLineFilesAreOpenedAndCompared() {
  const QString source = tmp_->filePath(QStringLiteral("old.txt"));
  const QString target = tmp_->filePath(QStringLiteral("new.txt"));
  {
    QFile s(source);
    QVERIFY(s.open(QIODevice::WriteOnly));
    s.write(QByteArray("\x8C\xC3\x82\xA2\x94\xC5\x0A"));  // 古い版 in CP932
    QFile t(target);
    QVERIFY(t.open(QIODevice::WriteOnly));
    t.write(QStringLiteral("新しい版\n").toUtf8());
  }
  window_->OpenFromCommandLine({source, target});
  QVERIFY(dialogs_->errors.isEmpty());
  QCOMPARE(Source()->Text(), QStringLiteral("古い版\n"));
  QCOMPARE(ReportFiles(tmp_->path()).size(), 1);
  QVERIFY(View()->HasReport());

  // A file that cannot be read: its error box, that editor left as it was, no Compare.
  window_ = std::make_unique<MainWindow>(*dialogs_, *store_);
  window_->OpenFromCommandLine({tmp_->filePath(QStringLiteral("missing.txt")), target});
  QCOMPARE(dialogs_->errors.size(), 1);
  QVERIFY(dialogs_->errors.front().details.contains(QStringLiteral("missing.txt")));
  QVERIFY(Source()->Text().isEmpty());
  QCOMPARE(Target()->Text(), QStringLiteral("新しい版\n"));
  QCOMPARE(ReportFiles(tmp_->path()).size(), 1);
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
                                        {"Ctrl+F", "findAction"}};
  QCOMPARE(shortcuts, expected);
  // The option items follow the boxes both ways.
  auto* charDp = Child<QAction>("charDpBoxAction");
  charDp->trigger();
  QVERIFY(Child<QCheckBox>("charDpBox")->isChecked());
  Child<QCheckBox>("charDpBox")->setChecked(false);
  QVERIFY(!charDp->isChecked());
}

void MainWindowTest::PairListRows_data() {
  QTest::addColumn<QString>("source");  // the editors after the Compare
  QTest::addColumn<QString>("target");
  QTest::addColumn<QString>("pairs");   // as the pairs file lists them
  QTest::addColumn<QString>("cells");   // per pair: d when the report shows a change there
  QTest::addColumn<QString>("scores");  // the scores' pairs with reference length/distance
  QTest::addColumn<QString>("rows");    // the list's Source, Target, mark and error rate
  QTest::newRow("by position, an empty line skipped")
      << "甲\n乙\n丙\n"
      << "甲\n乙二\n丙\n"
      << "1\t1\n3\t2\n4\t3\n"
      << "sds" << QString() << "1\t1\t同一\n3\t2\t相違\n4\t3\t同一\n";
  QTest::newRow("lone lines, the pairs after them still matched")
      << "甲\n乙\n丙\n"
      << "甲\n丁\n丙\n"
      << "1\t1\n2\t-\n-\t2\n3\t3\n"
      << "sdds" << QString() << "1\t1\t同一\n2\t-\tソースのみ\n-\t2\tターゲットのみ\n3\t3\t同一\n";
  QTest::newRow("two lines compared joined") << "甲乙\n丙丁\n"
                                             << "甲\n乙\n丙\n戊\n"
                                             << "1\t1+2\n2\t3+4\n"
                                             << "sd" << QString() << "1\t1+2\t同一\n2\t3+4\t相違\n";
  QTest::newRow("texts differ where no table shows it") << "甲乙\n"
                                                        << "乙甲\n"
                                                        << "1\t1\n"
                                                        << "s" << QString() << "1\t1\t相違\n";
  QTest::newRow("an editor changed since: the report decides")
      << "甲\n乙"
      << "甲\n乙\n"
      << "1\t1\n2\t2\n"
      << "ds" << QString() << "1\t1\t相違\n2\t2\t同一\n";
  // The scores saw the normalised texts: a pair the editors show different can be identical.
  // The surplus line the report leaves out is scored after the pairs and not listed.
  QTest::newRow("scores give state and rate") << "ｱｲ\n乙丙丁\n戊\n"
                                              << "アイ\n乙丙\n"
                                              << "1\t1\n2\t2\n"
                                              << "ss"
                                              << "1\t1\t2/0\n2\t2\t3/1\n3\t-\t1/1\n"
                                              << "1\t1\t同一\t0.0%\n2\t2\t相違\t33.3%\n";
  QTest::newRow("a pair with no reference characters has no rate")
      << "甲\n"
      << "甲\n乙\n"
      << "1\t1\n-\t2\n"
      << "sd"
      << "1\t1\t1/0\n-\t2\t0/1\n"
      << "1\t1\t同一\t0.0%\n-\t2\tターゲットのみ\t\n";
  // Scores that do not belong to these pairs are not shown at all.
  QTest::newRow("scores of other pairs") << "甲\n乙\n"
                                         << "甲\n丙\n"
                                         << "1\t1\n2\t2\n"
                                         << "sd"
                                         << "1\t1\t1/0\n2\t3\t1/1\n"
                                         << "1\t1\t同一\n2\t2\t相違\n";
}

void MainWindowTest::PairListRows() {
  QFETCH(QString, source);
  QFETCH(QString, target);
  QFETCH(QString, pairs);
  QFETCH(QString, cells);
  QFETCH(QString, scores);
  QFETCH(QString, rows);
  QString html = QStringLiteral("<html><head></head><body>");
  for (QChar cell : cells) {
    html += QStringLiteral("<table><tr><td class=\"%1\">x</td></tr></table><hr><br>")
                .arg(cell == u'd' ? QStringLiteral("different") : QStringLiteral("same"));
  }
  html += QStringLiteral("</body></html>");
  const QString path = tmp_->filePath(QStringLiteral("report.htm"));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(html.toUtf8());
  file.close();

  sorowa::CompareResult result;
  auto side = [](const QString& text) {
    sorowa::PairSide side;
    if (text == QStringLiteral("-")) return side;
    for (const QString& line : text.split(u'+')) side.lines[side.count++] = line.toULong();
    return side;
  };
  for (const QString& line : pairs.split(u'\n', Qt::SkipEmptyParts)) {
    const QStringList sides = line.split(u'\t');
    result.pairs.push_back({side(sides.at(0)), side(sides.at(1))});
  }
  if (!scores.isEmpty()) {
    result.scores.emplace();
    for (const QString& line : scores.split(u'\n', Qt::SkipEmptyParts)) {
      const QStringList fields = line.split(u'\t');
      const QStringList counts = fields.at(2).split(u'/');
      sorowa::PairScore score;
      score.source = fields.at(0).toStdString();
      score.target = fields.at(1).toStdString();
      score.chars.n = counts.at(0).toULong();
      const std::uint64_t distance = counts.at(1).toULong();
      if (score.source == "-") {
        score.status = sorowa::PairStatus::TargetOnly;
        score.chars.insertions = distance;
      } else if (score.target == "-") {
        score.status = sorowa::PairStatus::SourceOnly;
        score.chars.deletions = distance;
      } else {
        score.status = distance == 0 ? sorowa::PairStatus::Identical : sorowa::PairStatus::Changed;
        score.chars.substitutions = distance;
      }
      result.scores->pairs.push_back(score);
    }
  }
  result.source.lines = source.split(u'\n', Qt::SkipEmptyParts).size();
  result.target.lines = target.split(u'\n', Qt::SkipEmptyParts).size();
  const QTextDocument sourceDocument(source);
  const QTextDocument targetDocument(target);
  sorowa::PairListModel model;
  model.SetRows(
      sorowa::PairRows(result, sourceDocument, targetDocument, sorowa::ReportIndex::Build(path)));
  QString shown;
  for (int row = 0; row < model.rowCount(); ++row) {
    for (int column : {sorowa::PairListModel::kSource, sorowa::PairListModel::kTarget,
                       sorowa::PairListModel::kState, sorowa::PairListModel::kErrorRate}) {
      if (column == sorowa::PairListModel::kErrorRate && !model.HasErrorRates()) continue;
      if (column != sorowa::PairListModel::kSource) shown += u'\t';
      shown += model.index(row, column).data().toString();
    }
    shown += u'\n';
  }
  QCOMPARE(shown, rows);
}

void MainWindowTest::NextAndPreviousChange() {
  window_->resize(900, 600);
  window_->show();
  Source()->setPlainText(QStringLiteral("同じ行\n\n変わる行\n同じ二行目\n最後に変わる\n"));
  Target()->setPlainText(QStringLiteral("同じ行\n替わる行\n同じ二行目\n最後で変わる\n"));
  QSignalSpy loaded(View(), &ReportView::PageLoaded);
  window_->Compare();
  QVERIFY(loaded.wait(30000));
  auto* list = Child<sorowa::PairList>("pairList");
  QCOMPARE(list->model()->rowCount(), 4);
  QCOMPARE(list->model()->index(1, sorowa::PairListModel::kSource).data().toString(), "3");
  QCOMPARE(list->model()->index(1, sorowa::PairListModel::kTarget).data().toString(), "2");
  QCOMPARE(list->model()->index(1, sorowa::PairListModel::kState).data().toString(), "相違");
  // Every Compare of the window scores its pairs: 変わる → 替わる is one of four characters.
  QVERIFY(!list->isColumnHidden(sorowa::PairListModel::kErrorRate));
  QCOMPARE(list->model()->index(1, sorowa::PairListModel::kErrorRate).data().toString(), "25.0%");

  auto* navigator = window_->findChild<sorowa::PairNavigator*>();
  QSignalSpy shown(navigator, &sorowa::PairNavigator::PairShown);
  QSignalSpy none(navigator, &sorowa::PairNavigator::NoFurtherChange);
  QWindow* window = window_->windowHandle();
  const QList<int> expected{1, 3};
  for (int pair : expected) {
    QTest::keyClick(window, Qt::Key_F8);
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), expected.indexOf(pair) + 1, 10000);
    QCOMPARE(shown.last().at(0).toInt(), pair);
    QCOMPARE(list->currentIndex().row(), pair);
  }
  QTest::keyClick(window, Qt::Key_F8);
  QTRY_COMPARE_WITH_TIMEOUT(none.size(), 1, 10000);
  QTest::keyClick(window, Qt::Key_F8, Qt::ShiftModifier);
  QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 3, 10000);
  QCOMPARE(shown.last().at(0).toInt(), 1);
  // Choosing a row in the list moves the report there.
  list->selectRow(2);
  QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 4, 10000);
  QCOMPARE(shown.last().at(0).toInt(), 2);

  // Ctrl+F opens the find bar; the browser counts the matches in the page.
  QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
  auto* field = Child<QLineEdit>("findField");
  QTRY_VERIFY(field->isVisible());
  field->setText(QStringLiteral("最後"));
  QTRY_VERIFY_WITH_TIMEOUT(Child<QLabel>("findMatches")->text().endsWith(QStringLiteral("件")),
                           10000);
  const QString count = Child<QLabel>("findMatches")->text();
  QVERIFY2(count.startsWith(QStringLiteral("1 / ")) && !count.startsWith(QStringLiteral("1 / 0")),
           qPrintable(count));
  // Escape in the field closes the bar.
  QTest::keyClick(field, Qt::Key_Escape);
  QVERIFY(!Child<QWidget>("findBar")->isVisible());

  // Rows without scores hide the column again.
  list->Model().SetRows(std::vector<sorowa::PairRow>(1));
  QVERIFY(list->isColumnHidden(sorowa::PairListModel::kErrorRate));
}

void MainWindowTest::SettingsSurviveARestart() {
  // Boxes and the normalisation items of the menu, each turned away from its default.
  struct Option {
    const char* name;
    sorowa::OptionId id;
    bool checked;
  };
  const Option options[] = {
      {"charDpBox", sorowa::OptionId::CharDp, true},
      {"morphemeMatchBox", sorowa::OptionId::MorphemeMatch, false},
      {"alignLinesBox", sorowa::OptionId::AlignLines, true},
      {"normalizeNfkcAction", sorowa::OptionId::NormalizeNfkc, true},
      {"foldKanaAction", sorowa::OptionId::FoldKana, true},
      {"ignoreSpaceAction", sorowa::OptionId::IgnoreSpace, true},
      {"ignorePunctuationAction", sorowa::OptionId::IgnorePunctuation, true},
  };
  const QString file = tmp_->filePath(QStringLiteral("sorowa.ini"));
  QByteArray geometry;
  {
    QSettings settings(file, QSettings::IniFormat);
    MainWindow first(*dialogs_, *store_);
    first.UseSettings(&settings);
    first.show();
    for (const Option& option : options) {
      QObject* control = first.findChild<QObject*>(QLatin1String(option.name));
      QVERIFY2(control != nullptr, option.name);
      QCOMPARE(first.IsOptionChecked(option.id), !option.checked);
      control->setProperty("checked", option.checked);
    }
    first.resize(700, 500);
    QTRY_COMPARE(first.size(), QSize(700, 500));
    first.findChild<QSplitter*>(QStringLiteral("reportSplitter"))->setSizes({250, 400});
    geometry = first.saveGeometry();
    first.close();
  }
  QSettings settings(file, QSettings::IniFormat);
  MainWindow second(*dialogs_, *store_);
  second.UseSettings(&settings);
  for (const Option& option : options) QCOMPARE(second.IsOptionChecked(option.id), option.checked);
  QVERIFY(second.IsOptionChecked(sorowa::OptionId::MorphemeDp));
  QCOMPARE(second.size(), QSize(700, 500));
  QCOMPARE(second.findChild<QSplitter*>(QStringLiteral("reportSplitter"))->sizes().front(), 250);

  // The Save dialog starts in the folder last used, named after the Source file.
  const QString source = tmp_->filePath(QStringLiteral("第一稿.txt"));
  QFile text(source);
  QVERIFY(text.open(QIODevice::WriteOnly));
  text.write("a\n");
  text.close();
  QVERIFY(second.OpenFile(sorowa::Editor::Source, source));
  second.SetEditorText(sorowa::Editor::Target, u"b\n");
  second.Compare();
  second.Save();
  QCOMPARE(dialogs_->suggestedPaths.back(),
           QDir(tmp_->path())
               .filePath(QStringLiteral("sorowa-第一稿-%1.htm")
                             .arg(QDate::currentDate().toString(Qt::ISODate))));
  QCOMPARE(settings.value(QStringLiteral("files/lastFolder")).toString(), tmp_->path());
}

void MainWindowTest::TooBigReportOffersTheBrowser() {
  // One pair larger than any part the view shows: said in Japanese with the path and size.
  const QString path = tmp_->filePath(QStringLiteral("huge.htm"));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("<html><head></head><body><table><tr><td class=\"same\">");
  file.write(QByteArray(ReportView::kMaxPageBytes + 1, 'x'));
  file.write("</td></tr></table><hr><br></body></html>");
  file.close();
  window_->ShowReport(std::filesystem::path(path.toStdString()));
  QCOMPARE(dialogs_->browserQuestions.size(), 1);
  QVERIFY(dialogs_->browserQuestions.front().contains(QStringLiteral("huge.htm")));
  QVERIFY(dialogs_->browserQuestions.front().contains(QStringLiteral("48.0 MB")));
  // Save still copies the whole file.
  dialogs_->savePath = tmp_->filePath(QStringLiteral("copy.htm"));
  window_->Save();
  QCOMPARE(QFileInfo(dialogs_->savePath).size(), QFileInfo(path).size());
}

void MainWindowTest::StopSignalCancelsCompareAndCloses() {
  sorowa::StopSignalWatcher watcher;
  connect(&watcher, &sorowa::StopSignalWatcher::StopRequested, window_.get(),
          &MainWindow::CloseForStopSignal);
  window_->show();
  QString source;
  QString target;
  for (int i = 0; i < 20000; ++i) {
    source += QStringLiteral("止める前の行%1は長い\n").arg(i);
    target += QStringLiteral("止めた後の行%1は短い\n").arg(i);
  }
  Source()->setPlainText(source);
  Target()->setPlainText(target);
  window_->SetProgressDelay(std::chrono::milliseconds(0));
  // As a logout or kill would, while the Compare writes its report.
  QTimer::singleShot(0, window_.get(), [] { ::raise(SIGTERM); });
  const QString written = RunCompareInto(tmp_->path());
  QVERIFY(written.isEmpty());
  QCOMPARE(sorowa::StopSignal(), SIGTERM);
  QVERIFY(!window_->isVisible());
  QVERIFY(window_->findChild<QProgressDialog*>() == nullptr);
  QCOMPARE(QDir(tmp_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
  QVERIFY(dialogs_->errors.isEmpty());
}

int main(int argc, char** argv) {
  sorowa::PrepareWebEngine();
  QApplication app(argc, argv);
  MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
