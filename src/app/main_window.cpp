#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/compare_progress.h"
#include "app/compare_status.h"
#include "app/dialogs.h"
#include "app/flow_layout.h"
#include "app/plain_text_editor.h"
#include "app/report_printer.h"
#include "app/report_saver.h"
#include "app/report_view.h"
#include "app/startup.h"
#include "app/text_convert.h"
#include "compare/on_compare.h"

namespace sorowa {
namespace {

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
  counter->setText(QString::asprintf("%d", editor->DisplayedLineCount()));
}

}  // namespace

MainWindow::MainWindow(Dialogs& dialogs, ReportStore& store, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), store_(store) {
  setWindowTitle(QStringLiteral("Sorowa 1.0"));
  setWindowIcon(AppIcon());
  BuildControls();
  BuildLayout();
  ApplyTabOrder();
  saver_ = std::make_unique<ReportSaver>(*view_, dialogs_);
  printer_ = new ReportPrinter(*view_, dialogs_, this);

  connect(compareButton_, &QPushButton::clicked, this, &MainWindow::Compare);
  connect(saveButton_, &QPushButton::clicked, this, &MainWindow::Save);
  connect(printButton_, &QPushButton::clicked, this, &MainWindow::Print);
  connect(sourceEditor_, &QPlainTextEdit::blockCountChanged, this,
          [this] { ShowLineCount(sourceEditor_, sourceCount_); });
  connect(targetEditor_, &QPlainTextEdit::blockCountChanged, this,
          [this] { ShowLineCount(targetEditor_, targetCount_); });
  connect(view_, &ReportView::ReportLoadFailed, this, [this](const QString& description) {
    dialogs_.ShowError(this, QStringLiteral("レポートを表示できませんでした。"), description);
  });
  ShowLineCount(sourceEditor_, sourceCount_);
  ShowLineCount(targetEditor_, targetCount_);
  sourceEditor_->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildControls() {
  sourceEditor_ = new PlainTextEditor(this);
  sourceEditor_->setObjectName(QStringLiteral("sourceEditor"));
  targetEditor_ = new PlainTextEditor(this);
  targetEditor_->setObjectName(QStringLiteral("targetEditor"));

  sourceCaption_ = new QLabel(QStringLiteral("Source"), this);
  sourceCaption_->setObjectName(QStringLiteral("sourceCaption"));
  targetCaption_ = new QLabel(QStringLiteral("Target"), this);
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

  view_ = new ReportView(this);
  view_->setObjectName(QStringLiteral("reportView"));
  view_->setFocusPolicy(Qt::StrongFocus);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("compareStatus"));
  // A long note wraps instead of widening the window past its minimum size.
  status_->setWordWrap(true);
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  // The browser widget inside the view is created later and moves the view in the focus
  // chain when it arrives; put the order back each time.
  view_->installEventFilter(this);
}

void MainWindow::BuildLayout() {
  auto* editors = new QGridLayout;
  editors->setHorizontalSpacing(8);
  editors->setVerticalSpacing(2);
  auto addColumn = [editors](int column, QLabel* caption, QLabel* counter,
                             PlainTextEditor* editor) {
    auto* header = new QHBoxLayout;
    header->addWidget(caption);
    header->addStretch(1);
    header->addWidget(counter);
    editors->addLayout(header, 0, column);
    // Ignored width: the two editors share the width equally whatever their contents.
    editor->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    editor->setFixedHeight(kEditorHeight);
    editors->addWidget(editor, 1, column);
    editors->setColumnStretch(column, 1);
  };
  addColumn(0, sourceCaption_, sourceCount_, sourceEditor_);
  addColumn(1, targetCaption_, targetCount_, targetEditor_);

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

  auto* window = new QVBoxLayout(this);
  window->setContentsMargins(6, 6, 6, 6);
  window->setSpacing(6);
  window->addLayout(editors);
  window->addLayout(commands);
  window->addWidget(view_, 1);
  window->addWidget(status_);

  window->activate();
  setMinimumSize(window->minimumSize().expandedTo(kMinimumSize));
  resize(QSize(960, 640).expandedTo(minimumSize()));
}

void MainWindow::ApplyTabOrder() {
  // The order in which Tab visits the controls; the pseudo-bunsetsu DP box sits between the
  // two DP boxes on screen but comes last of the five here, and the pairing box follows it.
  QWidget* const order[] = {
      sourceEditor_,           targetEditor_,     compareButton_, charDpBox_,  morphemeDpBox_,
      pseudoBunsetsuMatchBox_, morphemeMatchBox_, view_,          saveButton_, printButton_,
      pseudoBunsetsuDpBox_,    alignLinesBox_};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
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
  }
  return false;
}

void MainWindow::ShowReport(const std::filesystem::path& path) {
  view_->ShowReport(PathToQString(path));
}

void MainWindow::ReportError(const std::string& message) {
  if (progress_ != nullptr) progress_->HideDialog();
  ArrowCursor arrow;
  dialogs_.ShowError(this, QStringLiteral("比較を最後まで行えませんでした。"),
                     QString::fromStdString(message));
}

void MainWindow::ShowMessage(const UserMessage& message) {
  ArrowCursor arrow;
  dialogs_.ShowMessage(this, QString::fromStdString(message.text));
}

void MainWindow::ShowResult(const CompareResult& result) {
  status_->setText(CompareStatusText(result));
}

bool MainWindow::ReportProgress(std::size_t done, std::size_t total) {
  return progress_ == nullptr || progress_->Update(done, total);
}

void MainWindow::Compare() {
  if (progress_ != nullptr) return;
  {
    CompareProgress progress(this, progressDelay_);
    progress_ = &progress;
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

void MainWindow::Save() { saver_->Save(this); }

void MainWindow::Print() { printer_->Print(this); }

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Escape never closes or clears anything in this window.
  if (event->key() == Qt::Key_Escape) {
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
  QWidget::closeEvent(event);
}

}  // namespace sorowa
