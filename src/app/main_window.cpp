#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStringList>
#include <QStyle>
#include <QTextDocument>
#include <QTextLayout>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>
#include <utility>

#include "app/compare_progress.h"
#include "app/compare_status.h"
#include "app/dialogs.h"
#include "app/error_texts.h"
#include "app/find_bar.h"
#include "app/flow_layout.h"
#include "app/main_menu.h"
#include "app/page_bar.h"
#include "app/pair_list.h"
#include "app/pair_navigator.h"
#include "app/plain_text_editor.h"
#include "app/report_printer.h"
#include "app/report_saver.h"
#include "app/report_view.h"
#include "app/report_zoom.h"
#include "app/stale_bar.h"
#include "app/startup.h"
#include "app/status_line.h"
#include "app/temp_reports.h"
#include "app/text_convert.h"
#include "app/window_settings.h"
#include "base/decoding_error.h"
#include "compare/on_compare.h"
#include "formats/read_document.h"
#include "text/text_file.h"

namespace sorowa {
namespace {

// A file as an editor shows it: a text file decoded, or a document's lines.
struct OpenedText {
  std::u16string text;
  InputFormat format = InputFormat::Text;
  DecodedText decoded;               // a text file's encoding
  std::vector<std::uint32_t> pages;  // a document's, by line
  std::uint32_t pageCount = 0;
};

bool HasByteOrderMark(std::string_view bytes) {
  for (const std::string_view mark :
       {std::string_view("\xEF\xBB\xBF"), std::string_view("\xFF\xFE"),
        std::string_view("\xFE\xFF"), std::string_view("\0\0\xFE\xFF", 4)}) {
    if (bytes.starts_with(mark)) return true;
  }
  return false;
}

OpenedText ReadOpenedFile(const std::string& path, std::optional<TextEncoding> encoding,
                          std::optional<InputFormat> format, bool keepRuby) {
  const std::string bytes = ReadFileBytes(path, kMaxOpenedFileBytes);
  OpenedText opened;
  opened.format = format ? *format : DetectInputFormat(bytes);
  if (opened.format == InputFormat::Text) {
    try {
      opened.decoded = encoding ? DecodeAs(bytes, *encoding) : DecodeDetected(bytes);
    } catch (const InputDecodingError& error) {
      // Found from the bytes, without a byte order mark: every encoding tried failed, and
      // the one that got furthest is no better a guess than the others. The error then
      // names none (an empty encoding), and the message says that none of them reads it.
      if (!encoding && !HasByteOrderMark(bytes)) {
        throw InputDecodingError(error.offset(), {}, error.what()).InFile(path);
      }
      throw error.InFile(path);
    }
    opened.text = std::move(opened.decoded.text);
    return opened;
  }
  ReadOptions options;
  options.keepRuby = keepRuby;
  const ExtractedText document = ReadDocument(bytes, opened.format, path, options);
  // Only the lines that hold text, each ending in a line break: the text a Compare leaves
  // in an editor, so that the editor keeps its lines, and each line its page, through
  // every Compare.
  for (std::size_t i = 0; i < document.lines.size(); ++i) {
    if (document.lines[i].empty()) continue;
    opened.text += document.lines[i];
    opened.text.push_back(u'\n');
    if (!document.pages.empty()) opened.pages.push_back(document.pages[i]);
  }
  opened.pageCount = document.pageCount;
  return opened;
}

QCheckBox* MakeOptionBox(const QString& caption, const char* name, bool checked, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QLatin1String(name));
  box->setChecked(checked);
  return box;
}

QPushButton* MakeButton(const QString& caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  // Enter in an editor is a line break, never a button press.
  button->setAutoDefault(false);
  return button;
}

// A message box shown in the middle of a Compare gets the ordinary arrow, not the busy
// cursor: the box waits for the user. Override cursors stack, so the busy one comes back.
class ArrowCursor {
 public:
  ArrowCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
  ~ArrowCursor() { QApplication::restoreOverrideCursor(); }
  ArrowCursor(const ArrowCursor&) = delete;
  ArrowCursor& operator=(const ArrowCursor&) = delete;
};

void ShowLineCount(const PlainTextEditor* editor, QLabel* counter) {
  const QString count = QString::number(editor->LineCount());
  if (counter->text() != count) counter->setText(count);
}

// High enough for the given number of lines, frame and margins included.
int EditorHeightFor(const PlainTextEditor* editor, int lines) {
  // A line of Japanese text: its glyphs come from a fallback font, often taller than the
  // editor's own.
  QTextLayout layout(QStringLiteral("漢字かなカナ"), editor->font());
  layout.beginLayout();
  const QTextLine line = layout.createLine();
  layout.endLayout();
  const int lineHeight =
      std::max(editor->fontMetrics().lineSpacing(), static_cast<int>(std::ceil(line.height())));
  const int text = lineHeight * lines;
  const int margins =
      2 * (editor->frameWidth() + static_cast<int>(editor->document()->documentMargin()));
  // Room for the horizontal scroll bar, which long lines bring.
  return text + margins + editor->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

// Holds back the painting of some widgets for its lifetime; they are painted afresh after.
class FrozenPaint {
 public:
  explicit FrozenPaint(std::initializer_list<QWidget*> widgets) : widgets_(widgets) {
    for (QWidget* widget : widgets_) widget->setUpdatesEnabled(false);
  }
  ~FrozenPaint() {
    for (QWidget* widget : widgets_) widget->setUpdatesEnabled(true);
  }
  FrozenPaint(const FrozenPaint&) = delete;
  FrozenPaint& operator=(const FrozenPaint&) = delete;

 private:
  std::vector<QWidget*> widgets_;
};

}  // namespace

MainWindow::MainWindow(Dialogs& dialogs, ReportStore& store, QWidget* parent)
    : QWidget(parent),
      dialogs_(dialogs),
      store_(store),
      settings_(std::make_unique<WindowSettings>(nullptr)),
      tempReports_(std::make_unique<TempReports>()) {
  setWindowTitle(QStringLiteral("Sorowa 1.0"));
  setWindowIcon(AppIcon());
  BuildControls();
  BuildLayout();
  ApplyTabOrder();
  saver_ = std::make_unique<ReportSaver>(*view_, dialogs_);
  printer_ = new ReportPrinter(*view_, dialogs_, this);
  navigator_ = new PairNavigator(*view_, this);
  zoom_ = new ReportZoom(*view_, *menu_->viewMenu, this);
  ConnectCommands();
  EnableReportCommands();
  ShowLineCount(sourceEditor_, sourceCount_);
  ShowLineCount(targetEditor_, targetCount_);
  sourceEditor_->setFocus();
}

void MainWindow::ConnectCommands() {
  connect(compareButton_, &QPushButton::clicked, this, &MainWindow::Compare);
  connect(saveButton_, &QPushButton::clicked, this, &MainWindow::Save);
  connect(printButton_, &QPushButton::clicked, this, &MainWindow::Print);
  // Not only when the blocks change: the first character typed into an empty editor, or
  // one after the last line break, makes a line too.
  connect(sourceEditor_->document(), &QTextDocument::contentsChanged, this,
          [this] { ShowLineCount(sourceEditor_, sourceCount_); });
  connect(targetEditor_->document(), &QTextDocument::contentsChanged, this,
          [this] { ShowLineCount(targetEditor_, targetCount_); });
  // Typing, pasting or opening a file after the report was made puts it out of date; the
  // Compare's own handing back of the texts does not.
  for (PlainTextEditor* editor : {sourceEditor_, targetEditor_}) {
    connect(editor->document(), &QTextDocument::contentsChanged, this, [this] {
      if (progress_ != nullptr || !view_->HasReport() || textsChangedSinceReport_) return;
      textsChangedSinceReport_ = true;
      UpdateStaleBar();
    });
  }
  for (QCheckBox* box : OptionBoxes()) {
    connect(box, &QCheckBox::toggled, this, &MainWindow::UpdateStaleBar);
  }
  for (QAction* item : menu_->NormalizationItems()) {
    connect(item, &QAction::toggled, this, &MainWindow::UpdateStaleBar);
  }
  connect(staleBar_, &StaleBar::RecompareRequested, this, &MainWindow::Compare);
  connect(sourceEditor_, &QPlainTextEdit::textChanged, this,
          [this] { ForgetPagesIfEdited(Editor::Source); });
  connect(targetEditor_, &QPlainTextEdit::textChanged, this,
          [this] { ForgetPagesIfEdited(Editor::Target); });

  connect(menu_->openSource, &QAction::triggered, this, [this] { AskAndOpen(Editor::Source); });
  connect(menu_->openTarget, &QAction::triggered, this, [this] { AskAndOpen(Editor::Target); });
  connect(menu_->save, &QAction::triggered, this, &MainWindow::Save);
  connect(menu_->print, &QAction::triggered, this, &MainWindow::Print);
  connect(menu_->quit, &QAction::triggered, this, &QWidget::close);
  connect(menu_->nextChange, &QAction::triggered, this, &MainWindow::NextChange);
  connect(menu_->previousChange, &QAction::triggered, this, &MainWindow::PreviousChange);
  connect(menu_->find, &QAction::triggered, this, &MainWindow::OpenFind);
  for (QAction* view : menu_->ViewItems()) {
    connect(view, &QAction::triggered, this, &MainWindow::SwitchView);
  }

  connect(view_, &ReportView::ReportLoadFailed, this, [this](const QString& description) {
    dialogs_.ShowError(this, QStringLiteral("レポートを表示できませんでした。"), description);
  });
  connect(view_, &ReportView::ReportTooBig, this, &MainWindow::OfferBrowser);
  connect(pageBar_, &PageBar::OpenInBrowser, this,
          [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(view_->ReportPath())); });
  // A pair whose texts differ is a change even where no table shows it (all tables off).
  navigator_->SetChangeTest([this](int pair) {
    return view_->Index().pairChanged(pair) || pairList_->Model().IsChange(pair);
  });
  connect(pairList_, &PairList::PairChosen, navigator_, &PairNavigator::ShowPair);
  connect(changedOnlyBox_, &QCheckBox::toggled, pairList_, &PairList::SetChangedOnly);
  connect(pairOrder_, &QComboBox::currentIndexChanged, this, [this] {
    pairList_->SetOrder(static_cast<PairOrder>(pairOrder_->currentData().toInt()));
  });
  for (QAction* item : menu_->NormalizationItems()) {
    connect(item, &QAction::toggled, this, &MainWindow::ShowNormalization);
  }
  connect(navigator_, &PairNavigator::PairShown, pairList_, &PairList::SelectPair);
  // The beep alone is easily missed, or not heard at all.
  connect(navigator_, &PairNavigator::NoFurtherChange, this, [this](int direction) {
    QApplication::beep();
    changeNote_ =
        direction > 0
            ? QStringLiteral("最後の相違です。これより後に相違のある行の組はありません。")
            : QStringLiteral("最初の相違です。これより前に相違のある行の組はありません。");
    status_->SetActivity(changeNote_);
  });
  connect(navigator_, &PairNavigator::PairShown, this, [this] {
    if (status_->Activity() == changeNote_) status_->SetActivity({});
  });
  connect(zoom_, &ReportZoom::Zoomed, this, [this](double factor) {
    status_->SetActivity(QStringLiteral("表示倍率 %1 %").arg(qRound(factor * 100)));
  });
  ConnectPrinter();
}

// Printing runs in the background for a while: the status line says how it goes.
void MainWindow::ConnectPrinter() {
  connect(printer_, &ReportPrinter::Started, this, [this](const QString& pdf, const QString& part) {
    printTarget_ = pdf;
    printedPart_ = part;
    printedReport_ = view_->ReportPath();
    tempReports_->Hold(printedReport_);
    status_->SetActivity(part.isEmpty() ? QStringLiteral("印刷しています…")
                                        : QStringLiteral("%1を印刷しています…").arg(part));
  });
  connect(printer_, &ReportPrinter::Cancelled, this,
          [this] { status_->SetActivity(QStringLiteral("印刷を取り消しました。")); });
  connect(printer_, &ReportPrinter::Finished, this, [this](bool ok) {
    tempReports_->Release(std::exchange(printedReport_, QString()));
    if (!ok) {
      if (status_->text().endsWith(QStringLiteral("しています…"))) status_->SetActivity({});
      return;
    }
    const QString what =
        printedPart_.isEmpty() ? QString() : QStringLiteral("%1を").arg(printedPart_);
    status_->SetActivity(printTarget_.isEmpty()
                             ? QStringLiteral("%1印刷に送りました。").arg(what)
                             : QStringLiteral("%1%2 に印刷しました。")
                                   .arg(what, QDir::toNativeSeparators(printTarget_)));
  });
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildControls() {
  sourceEditor_ = new PlainTextEditor(this);
  sourceEditor_->setObjectName(QStringLiteral("sourceEditor"));
  targetEditor_ = new PlainTextEditor(this);
  targetEditor_->setObjectName(QStringLiteral("targetEditor"));

  sourceCaption_ = new QLabel(QStringLiteral("ソース"), this);
  sourceCaption_->setObjectName(QStringLiteral("sourceCaption"));
  targetCaption_ = new QLabel(QStringLiteral("ターゲット"), this);
  targetCaption_->setObjectName(QStringLiteral("targetCaption"));
  sourceCount_ = new QLabel(this);
  sourceCount_->setObjectName(QStringLiteral("sourceLineCount"));
  sourceCount_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  targetCount_ = new QLabel(this);
  targetCount_->setObjectName(QStringLiteral("targetLineCount"));
  targetCount_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  compareButton_ = MakeButton(QStringLiteral("比較(&C)"), "compareButton", this);
  saveButton_ = MakeButton(QStringLiteral("保存(&S)"), "saveButton", this);
  printButton_ = MakeButton(QStringLiteral("印刷(&P)"), "printButton", this);

  charDpBox_ = MakeOptionBox(QStringLiteral("文字&&DP(&D)"), "charDpBox", false, this);
  morphemeDpBox_ = MakeOptionBox(QStringLiteral("形態素&&DP(&K)"), "morphemeDpBox", true, this);
  pseudoBunsetsuDpBox_ =
      MakeOptionBox(QStringLiteral("疑似文節&&DP(&G)"), "pseudoBunsetsuDpBox", true, this);
  pseudoBunsetsuMatchBox_ =
      MakeOptionBox(QStringLiteral("疑似文節(&B)"), "pseudoBunsetsuMatchBox", true, this);
  morphemeMatchBox_ = MakeOptionBox(QStringLiteral("形態素(&M)"), "morphemeMatchBox", true, this);
  alignLinesBox_ = MakeOptionBox(QStringLiteral("行を対応付け(&L)"), "alignLinesBox", false, this);

  sourceFile_ = new QLabel(this);
  sourceFile_->setObjectName(QStringLiteral("sourceFile"));
  targetFile_ = new QLabel(this);
  targetFile_->setObjectName(QStringLiteral("targetFile"));
  for (QLabel* label : {sourceFile_, targetFile_}) {
    label->setTextFormat(Qt::PlainText);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  }

  menu_ = new MainMenu(this);
  for (QCheckBox* box : OptionBoxes()) menu_->MirrorOption(box);

  staleBar_ = new StaleBar(this);
  view_ = new ReportView(this);
  view_->setObjectName(QStringLiteral("reportView"));
  view_->setFocusPolicy(Qt::StrongFocus);
  findBar_ = new FindBar(*view_, this);
  findBar_->setObjectName(QStringLiteral("findBar"));
  pageBar_ = new PageBar(*view_, this);
  pageBar_->setObjectName(QStringLiteral("pageBar"));
  pairList_ = new PairList(this);
  pairList_->setObjectName(QStringLiteral("pairList"));
  // Tab leaves the list, as it leaves every other control; the arrow keys move in it.
  pairList_->setTabKeyNavigation(false);
  changedOnlyBox_ = new QCheckBox(QStringLiteral("相違のみ"), this);
  changedOnlyBox_->setObjectName(QStringLiteral("changedOnlyBox"));
  changedOnlyBox_->setToolTip(
      QStringLiteral("同一の組を隠し、相違のある組と片側だけの行を示します"));
  pairOrder_ = new QComboBox(this);
  pairOrder_->setObjectName(QStringLiteral("pairOrder"));
  pairOrder_->addItem(QStringLiteral("組の順"), static_cast<int>(PairOrder::Report));
  pairOrder_->addItem(QStringLiteral("誤り率の高い順"), static_cast<int>(PairOrder::ErrorRate));

  status_ = new StatusLine(this);

  // The browser widget inside the view is created later and moves the view in the focus
  // chain when it arrives; put the order back each time.
  view_->installEventFilter(this);
}

// The report with its bars, beside the list of pairs; the user moves the splitter.
void MainWindow::BuildReportSplitter() {
  auto* reportPane = new QWidget(this);
  auto* reportColumn = new QVBoxLayout(reportPane);
  reportColumn->setContentsMargins(0, 0, 0, 0);
  reportColumn->setSpacing(2);
  reportColumn->addWidget(staleBar_);
  reportColumn->addWidget(findBar_);
  reportColumn->addWidget(pageBar_);
  reportColumn->addWidget(view_, 1);
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName(QStringLiteral("reportSplitter"));
  auto* pairPane = new QWidget(this);
  auto* pairColumn = new QVBoxLayout(pairPane);
  pairColumn->setContentsMargins(0, 0, 0, 0);
  pairColumn->setSpacing(2);
  auto* pairControls = new QHBoxLayout;
  pairControls->addWidget(changedOnlyBox_);
  pairControls->addStretch(1);
  pairControls->addWidget(pairOrder_);
  pairColumn->addLayout(pairControls);
  pairColumn->addWidget(pairList_, 1);
  splitter_->addWidget(pairPane);
  splitter_->addWidget(reportPane);
  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({pairList_->PreferredWidth(), 1000});
}

void MainWindow::BuildLayout() {
  auto* editors = new QGridLayout;
  editors->setHorizontalSpacing(8);
  editors->setVerticalSpacing(2);
  auto addColumn = [editors](int column, QLabel* caption, QLabel* file, QLabel* counter,
                             PlainTextEditor* editor) {
    auto* header = new QHBoxLayout;
    header->addWidget(caption);
    header->addSpacing(8);
    header->addWidget(file, 1);
    header->addWidget(counter);
    editors->addLayout(header, 0, column);
    // Ignored width: the two editors share the width equally whatever their contents.
    // Ten lines at first, never less than kEditorHeight; the splitter under them makes them
    // lower, down to two lines, or higher.
    editor->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    editor->SetPreferredHeight(std::max(kEditorHeight, EditorHeightFor(editor, kEditorLines)));
    editor->setMinimumHeight(EditorHeightFor(editor, 2));
    editors->addWidget(editor, 1, column);
    editors->setColumnStretch(column, 1);
  };
  addColumn(0, sourceCaption_, sourceFile_, sourceCount_, sourceEditor_);
  addColumn(1, targetCaption_, targetFile_, targetCount_, targetEditor_);

  // The buttons stay together; the option boxes follow on the same line and wrap under
  // them when the window is too narrow for one line.
  auto* buttons = new QWidget(this);
  auto* buttonRow = new QHBoxLayout(buttons);
  buttonRow->setContentsMargins(0, 0, 0, 0);
  buttonRow->setSpacing(4);
  buttonRow->addWidget(compareButton_);
  buttonRow->addSpacing(4);
  buttonRow->addWidget(saveButton_);
  buttonRow->addWidget(printButton_);
  auto* commands = new FlowLayout(12, 4);
  commands->addWidget(buttons);
  for (QCheckBox* box : {charDpBox_, morphemeDpBox_, pseudoBunsetsuDpBox_, pseudoBunsetsuMatchBox_,
                         morphemeMatchBox_, alignLinesBox_}) {
    commands->addWidget(box);
  }

  BuildReportSplitter();

  // The editors over the rest, with a splitter between: the editors' height is the user's
  // to choose. A larger window gives its height to the report.
  auto* editorPane = new QWidget(this);
  editors->setContentsMargins(0, 0, 0, 0);
  editorPane->setLayout(editors);
  auto* lowerPane = new QWidget(this);
  auto* lower = new QVBoxLayout(lowerPane);
  lower->setContentsMargins(0, 0, 0, 0);
  lower->setSpacing(6);
  lower->addLayout(commands);
  lower->addWidget(splitter_, 1);
  editorSplitter_ = new QSplitter(Qt::Vertical, this);
  editorSplitter_->setObjectName(QStringLiteral("editorSplitter"));
  editorSplitter_->setChildrenCollapsible(false);
  editorSplitter_->addWidget(editorPane);
  editorSplitter_->addWidget(lowerPane);
  editorSplitter_->setStretchFactor(0, 0);
  editorSplitter_->setStretchFactor(1, 1);
  editorSplitter_->setSizes({editorPane->sizeHint().height(), 1000});

  auto* window = new QVBoxLayout(this);
  window->setContentsMargins(6, 6, 6, 6);
  window->setSpacing(6);
  window->setMenuBar(menu_);
  window->addWidget(editorSplitter_, 1);
  window->addWidget(status_);

  window->activate();
  setMinimumSize(window->minimumSize().expandedTo(kMinimumSize));
  // First start: as large as fits on a 1366 x 768 screen with its panel, or the screen there is.
  QSize size(1280, 680);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    size = size.boundedTo(screen->availableGeometry().size() - QSize(16, 48));
  }
  resize(size.expandedTo(minimumSize()));
}

QList<QCheckBox*> MainWindow::OptionBoxes() const {
  return {charDpBox_,        morphemeDpBox_, pseudoBunsetsuDpBox_, pseudoBunsetsuMatchBox_,
          morphemeMatchBox_, alignLinesBox_};
}

QList<bool> MainWindow::OptionStates() const {
  QList<bool> states;
  for (const QCheckBox* box : OptionBoxes()) states << box->isChecked();
  for (const QAction* item : menu_->NormalizationItems()) states << item->isChecked();
  return states;
}

void MainWindow::ShowNormalization() {
  // The switches are remembered across runs and change what counts as the same; the status
  // line keeps them in sight.
  QStringList on;
  for (const QAction* item : menu_->NormalizationItems()) {
    if (!item->isChecked()) continue;
    QString name = item->text();
    name.remove(QRegularExpression(QStringLiteral("\\(&.\\)$")));
    on << name;
  }
  status_->SetNormalization(on.isEmpty() ? QString()
                                         : QStringLiteral("正規化: %1").arg(on.join(u'・')));
}

void MainWindow::UpdateStaleBar() {
  if (!view_->HasReport()) return;
  staleBar_->Show(textsChangedSinceReport_, OptionStates() != reportOptions_);
}

void MainWindow::UseSettings(QSettings* settings) {
  settings_ = std::make_unique<WindowSettings>(settings);
  // Every option box of the window, also those added after this was written.
  settings_->RestoreBoxes(findChildren<QCheckBox*>());
  settings_->RestoreItems(menu_->NormalizationItems());
  ShowNormalization();
  // The view is kept as whether it is 対照表示; the group checks 表形式 otherwise.
  settings_->RestoreItems({menu_->reviewView});
  if (!menu_->reviewView->isChecked()) menu_->tablesView->setChecked(true);
  const QByteArray geometry = settings_->Geometry();
  if (!geometry.isEmpty()) restoreGeometry(geometry);
  // The pair list's splitter sits inside the editors' one, and a splitter lays out its
  // widgets only once it is shown: restored before, it would squeeze its sizes into the
  // size it has then.
  splitterStates_.clear();
  for (QSplitter* splitter : {editorSplitter_, splitter_}) {
    const QByteArray state = settings_->SplitterState(splitter->objectName());
    if (!state.isEmpty()) splitterStates_.push_back({splitter, state});
  }
  if (isVisible()) RestoreSplitters();
}

void MainWindow::RestoreSplitters() {
  for (const auto& [splitter, state] : std::exchange(splitterStates_, {})) {
    splitter->restoreState(state);
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  RestoreSplitters();
}

void MainWindow::ApplyTabOrder() {
  // As the controls stand on screen: the editors, the buttons and boxes left to right, the
  // pair list, then the report's bars top to bottom and the report. Hidden ones are skipped.
  QList<QWidget*> order = {sourceEditor_,
                           targetEditor_,
                           compareButton_,
                           saveButton_,
                           printButton_,
                           charDpBox_,
                           morphemeDpBox_,
                           pseudoBunsetsuDpBox_,
                           pseudoBunsetsuMatchBox_,
                           morphemeMatchBox_,
                           alignLinesBox_,
                           changedOnlyBox_,
                           pairOrder_,
                           pairList_};
  for (const char* name : {"recompareButton", "findField", "findPrevious", "findNext", "findClose",
                           "previousPage", "openInBrowser", "nextPage"}) {
    if (auto* widget = findChild<QWidget*>(QLatin1String(name))) order << widget;
  }
  order << view_;
  for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_ && event->type() == QEvent::ChildAdded) {
    QMetaObject::invokeMethod(this, &MainWindow::ApplyTabOrder, Qt::QueuedConnection);
  }
  return QWidget::eventFilter(watched, event);
}

PlainTextEditor* MainWindow::EditorFor(Editor editor) const {
  return editor == Editor::Source ? sourceEditor_ : targetEditor_;
}

std::u16string MainWindow::EditorText(Editor editor) const {
  return ToU16String(EditorFor(editor)->Text());
}

void MainWindow::SetEditorText(Editor editor, const std::u16string& text) {
  EditorFor(editor)->ReplaceText(ToQString(text));
}

bool MainWindow::IsOptionChecked(OptionId option) const {
  switch (option) {
    case OptionId::CharDp:
      return charDpBox_->isChecked();
    case OptionId::MorphemeDp:
      return morphemeDpBox_->isChecked();
    case OptionId::PseudoBunsetsuDp:
      return pseudoBunsetsuDpBox_->isChecked();
    case OptionId::PseudoBunsetsuMatch:
      return pseudoBunsetsuMatchBox_->isChecked();
    case OptionId::MorphemeMatch:
      return morphemeMatchBox_->isChecked();
    case OptionId::AlignLines:
      return alignLinesBox_->isChecked();
    case OptionId::NormalizeNfkc:
      return menu_->normalizeNfkc->isChecked();
    case OptionId::FoldKana:
      return menu_->foldKana->isChecked();
    case OptionId::IgnoreSpace:
      return menu_->ignoreSpace->isChecked();
    case OptionId::IgnorePunctuation:
      return menu_->ignorePunctuation->isChecked();
    case OptionId::Scores:
      // Every Compare scores its pairs: the distances cost little beside the tables, and the
      // pair list and the status line show them.
      return true;
    case OptionId::MorphemeScores:
      // Only when a morpheme table is on: its morphemes are then at hand anyway.
      return morphemeDpBox_->isChecked() || morphemeMatchBox_->isChecked();
    case OptionId::ReviewReport:
      return menu_->reviewView->isChecked();
    case OptionId::NormalizeNfc:  // NFKC covers what the window needs
    case OptionId::NoReport:      // the window always shows a report
      return false;
  }
  return false;
}

std::string MainWindow::DocumentName(Editor editor) const {
  const QString& path = editor == Editor::Source ? sourcePath_ : targetPath_;
  if (path.isEmpty()) return CompareUi::DocumentName(editor);
  return QFileInfo(path).fileName().toStdString();
}

void MainWindow::SwitchView() {
  // The report shown is made again in the view chosen, as Compare would make it.
  if (!view_->HasReport() || progress_ != nullptr) return;
  if (view_->Index().isReview() == menu_->reviewView->isChecked()) return;
  Compare();
}

void MainWindow::EnableReportCommands() {
  // Before the first Compare there is nothing to save or print: the commands say so by
  // being greyed out rather than by an error box.
  const bool hasReport = view_->HasReport();
  saveButton_->setEnabled(hasReport);
  printButton_->setEnabled(hasReport);
  menu_->save->setEnabled(hasReport);
  menu_->print->setEnabled(hasReport);
}

void MainWindow::ShowReport(const std::filesystem::path& path) {
  view_->ShowReport(PathToQString(path));
  EnableReportCommands();
  // A Compare's report, written into the temporary folder: the one it replaces goes.
  if (progress_ != nullptr) tempReports_->Adopt(PathToQString(path));
  reportSourcePath_ = sourcePath_;
  reportOptions_ = OptionStates();
  textsChangedSinceReport_ = false;
  UpdateStaleBar();
  // What the file tells until the Compare hands over its pairs.
  pairList_->Model().SetPairs(view_->Index());
}

void MainWindow::ReportError(const std::string& message) { ReportFailure(ErrorDetails(), message); }

void MainWindow::ReportFailure(const ErrorDetails& details, const std::string& message) {
  if (progress_ != nullptr) progress_->HideDialog();
  ArrowCursor arrow;
  QString text = JapaneseErrorText(details);
  if (details.kind == ErrorKind::Unspecified) {
    // Nothing more is known; the engine's own words help whoever looks into it.
    text += QStringLiteral("\n（技術的な詳細: %1）").arg(QString::fromStdString(message));
  }
  dialogs_.ShowError(this, QStringLiteral("比較を最後まで行えませんでした。"), text);
}

bool MainWindow::OpenFile(Editor editor, const QString& path, std::optional<TextEncoding> encoding,
                          std::optional<InputFormat> format, bool keepRuby) {
  OpenedText opened;
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct RestoreCursor {
      ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
    } restore;
    try {
      opened = ReadOpenedFile(QFile::encodeName(path).toStdString(), encoding, format, keepRuby);
    } catch (const std::bad_alloc& error) {
      ArrowCursor arrow;
      dialogs_.ShowError(this, QStringLiteral("ファイルを開けませんでした。"),
                         JapaneseErrorText(DetailsOf(error)));
      return false;
    } catch (const std::exception& error) {
      ErrorDetails details = DetailsOf(error);
      if (details.path.empty()) details.path = QFile::encodeName(path).toStdString();
      ArrowCursor arrow;
      dialogs_.ShowError(this, QStringLiteral("ファイルを開けませんでした。"),
                         JapaneseErrorText(details));
      return false;
    }
  }
  PlainTextEditor* target = EditorFor(editor);
  target->ReplaceText(ToQString(opened.text));
  const QFileInfo info(path);
  EditorFile& origin = FileFor(editor);
  origin.name = info.fileName();
  origin.format = opened.format;
  if (opened.format == InputFormat::Text) {
    origin.kind = EncodingLabel(opened.decoded.encoding);
  } else if (HasPages(opened.format)) {
    origin.kind = QStringLiteral("%1・%2 ページ")
                      .arg(FormatLabel(opened.format))
                      .arg(static_cast<qulonglong>(opened.pageCount));
  } else {
    origin.kind = FormatLabel(opened.format);
  }
  origin.pages = std::move(opened.pages);
  origin.revision = target->document()->revision();
  ShowFileLabel(editor);
  QLabel* label = editor == Editor::Source ? sourceFile_ : targetFile_;
  label->setToolTip(QDir::toNativeSeparators(info.absoluteFilePath()));
  (editor == Editor::Source ? sourcePath_ : targetPath_) = info.absoluteFilePath();
  settings_->SetLastFolder(info.absolutePath());
  return true;
}

void MainWindow::AskAndOpen(Editor editor) {
  QString folder = settings_->LastFolder();
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
  const std::optional<OpenChoice> choice =
      dialogs_.AskOpenPath(this,
                           editor == Editor::Source ? QStringLiteral("ソースを開く")
                                                    : QStringLiteral("ターゲットを開く"),
                           folder);
  if (choice) OpenFile(editor, choice->path, choice->encoding, choice->format, choice->keepRuby);
}

MainWindow::EditorFile& MainWindow::FileFor(Editor editor) {
  return editor == Editor::Source ? sourceOrigin_ : targetOrigin_;
}

const MainWindow::EditorFile& MainWindow::FileFor(Editor editor) const {
  return editor == Editor::Source ? sourceOrigin_ : targetOrigin_;
}

void MainWindow::ShowFileLabel(Editor editor) {
  const EditorFile& origin = FileFor(editor);
  QLabel* label = editor == Editor::Source ? sourceFile_ : targetFile_;
  QString text = QStringLiteral("%1 — %2").arg(origin.name, origin.kind);
  if (HasPages(origin.format) && origin.pages.empty()) {
    text += QStringLiteral("（編集済み・ページ番号なし）");
  }
  label->setText(text);
}

void MainWindow::ForgetPagesIfEdited(Editor editor) {
  EditorFile& origin = FileFor(editor);
  // The pages belong to the lines as they were read; after an edit a line number may
  // stand for another line, so none is given rather than a wrong one.
  if (origin.pages.empty() || EditorFor(editor)->document()->revision() == origin.revision) {
    return;
  }
  origin.pages.clear();
  ShowFileLabel(editor);
}

std::vector<std::uint32_t> MainWindow::DocumentPages(Editor editor) const {
  const EditorFile& origin = FileFor(editor);
  if (EditorFor(editor)->document()->revision() != origin.revision) return {};
  return origin.pages;
}

std::uint32_t MainWindow::PageOfLine(Editor editor, std::size_t line) const {
  const EditorFile& origin = FileFor(editor);
  if (EditorFor(editor)->document()->revision() != origin.revision) return 0;
  return line >= 1 && line <= origin.pages.size() ? origin.pages[line - 1] : 0;
}

void MainWindow::OpenFromCommandLine(const QStringList& files) {
  if (files.isEmpty()) return;
  const bool source = OpenFile(Editor::Source, files.at(0));
  if (files.size() < 2) return;
  const bool target = OpenFile(Editor::Target, files.at(1));
  if (source && target) Compare();
}

void MainWindow::NextChange() { navigator_->NextChange(); }

void MainWindow::PreviousChange() { navigator_->PreviousChange(); }

void MainWindow::OpenFind() { findBar_->Open(); }

void MainWindow::OfferBrowser(const QString& path, qint64 size) {
  const QString text =
      QStringLiteral(
          "レポートが大きすぎて、この画面には表示できません。\n%1（%2）\n"
          "［保存］と［印刷］はこのまま使えます。ブラウザで開くこともできます。")
          .arg(QDir::toNativeSeparators(path), JapaneseByteSize(static_cast<quint64>(size)));
  if (dialogs_.AskOpenInBrowser(this, text)) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  }
}

QString MainWindow::SuggestedSavePath() const {
  QString folder = settings_->LastFolder();
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  }
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
  return QDir(folder).filePath(ReportBaseName() + QStringLiteral(".htm"));
}

QString MainWindow::ReportBaseName() const {
  // Named after the text the report was made from, whatever the editors hold now.
  const QString name = reportSourcePath_.isEmpty()
                           ? QStringLiteral("比較")
                           : QFileInfo(reportSourcePath_).completeBaseName();
  return QStringLiteral("sorowa-%1-%2").arg(name, QDate::currentDate().toString(Qt::ISODate));
}

void MainWindow::ShowMessage(const UserMessage& message) {
  ArrowCursor arrow;
  dialogs_.ShowMessage(this, QString::fromStdString(message.text));
}

void MainWindow::ShowResult(const CompareResult& result) {
  status_->SetSummary(CompareStatusText(result));
  status_->SetActivity({});
  std::vector<PairRow> rows =
      PairRows(result, *sourceEditor_->document(), *targetEditor_->document(), view_->Index());
  for (PairRow& row : rows) {
    if (!row.source.empty()) row.sourcePage = PageOfLine(Editor::Source, row.source.first);
    if (!row.target.empty()) row.targetPage = PageOfLine(Editor::Target, row.target.first);
  }
  pairList_->Model().SetRows(std::move(rows));
}

bool MainWindow::ReportProgress(std::size_t done, std::size_t total) {
  return progress_ == nullptr || progress_->Update(done, total);
}

bool MainWindow::ReportLongWork(const LongWorkStatus& status) {
  return progress_ == nullptr || progress_->UpdateLongWork(status);
}

void MainWindow::Compare() {
  if (progress_ != nullptr) return;
  {
    CompareProgress progress(this, progressDelay_);
    progress_ = &progress;
    // Nothing can change the editors while the Compare runs, and painting them can take
    // seconds: a line of a hundred thousand characters is shaped anew for every paint, even
    // for the caret's blink. Events are handled between pairs, so a paint that slow would
    // hold up the Cancel button and the window's close request.
    FrozenPaint frozen({sourceEditor_, targetEditor_});
    // OnCompare reports its own failures through ReportError and never throws.
    OnCompare(*this, store_, morphFactory_);
    progress_ = nullptr;
  }
  if (closeAfterCompare_) close();
}

void MainWindow::CloseForStopSignal() {
  // A modal dialog (a message box, the file or print dialog, the progress dialog) runs its
  // own loop above this window, waiting for the user; closing it lets the stack unwind.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget != this && widget->isVisible() && widget->isModal()) widget->close();
  }
  close();
}

void MainWindow::Save() {
  const QString saved = saver_->Save(this, SuggestedSavePath());
  if (!saved.isEmpty()) settings_->SetLastFolder(QFileInfo(saved).absolutePath());
}

void MainWindow::Print() { printer_->Print(this, ReportBaseName() + QStringLiteral(".htm")); }

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Escape closes the find bar and nothing else: it never closes or clears the window.
  if (event->key() == Qt::Key_Escape) {
    if (findBar_->isVisible()) findBar_->Close();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (progress_ != nullptr) {
    // Compare is still on the stack; stop it first and close once it has returned.
    progress_->Cancel();
    closeAfterCompare_ = true;
    event->ignore();
    return;
  }
  printer_->Cancel();
  if (settings_->IsKept()) {
    settings_->SaveBoxes(findChildren<QCheckBox*>());
    settings_->SaveItems(menu_->NormalizationItems());
    settings_->SaveItems({menu_->reviewView});
    settings_->SetGeometry(saveGeometry());
    for (QSplitter* splitter : {splitter_, editorSplitter_}) {
      settings_->SetSplitterState(splitter->objectName(), splitter->saveState());
    }
  }
  tempReports_->RemoveAll();
  QWidget::closeEvent(event);
}

}  // namespace sorowa
