#pragma once

#include <QWidget>
#include <chrono>

#include "compare/compare_ui.h"
#include "compare/report_store.h"
#include "segment/morph_backend.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace sorowa {

class CompareProgress;
class Dialogs;
class PlainTextEditor;
class ReportPrinter;
class ReportSaver;
class ReportView;

// The program's only window: the Source and Target editors with their line counters, the
// Compare, Save and Print buttons, the five table boxes and the line pairing box, the report
// view and the line under it that sums up the last Compare. It is the window side of the
// Compare command.
class MainWindow : public QWidget, public CompareUi {
  Q_OBJECT

 public:
  static constexpr QSize kMinimumSize{568, 327};
  static constexpr int kEditorHeight = 100;

  MainWindow(Dialogs& dialogs, ReportStore& store, QWidget* parent = nullptr);
  ~MainWindow() override;

  // How long a Compare runs before its progress dialog appears.
  void SetProgressDelay(std::chrono::milliseconds delay) { progressDelay_ = delay; }
  void SetMorphBackendFactory(MorphBackendFactory factory) { morphFactory_ = std::move(factory); }

  std::u16string EditorText(Editor editor) const override;
  void SetEditorText(Editor editor, const std::u16string& text) override;
  bool IsOptionChecked(OptionId option) const override;
  void ShowReport(const std::filesystem::path& path) override;
  void ReportError(const std::string& message) override;
  void ShowMessage(const UserMessage& message) override;
  bool ReportProgress(std::size_t done, std::size_t total) override;
  void ShowResult(const CompareResult& result) override;

 public slots:
  void Compare();
  void Save();
  void Print();
  // A stop signal (Ctrl-C, kill, the end of the session): open dialogs are closed, a running
  // Compare is cancelled, which removes its partial report, and the window closes.
  void CloseForStopSignal();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildLayout();
  void ApplyTabOrder();
  PlainTextEditor* EditorFor(Editor editor) const;

  Dialogs& dialogs_;
  ReportStore& store_;
  MorphBackendFactory morphFactory_;
  std::chrono::milliseconds progressDelay_{1000};

  PlainTextEditor* sourceEditor_ = nullptr;
  PlainTextEditor* targetEditor_ = nullptr;
  QLabel* sourceCaption_ = nullptr;
  QLabel* targetCaption_ = nullptr;
  QLabel* sourceCount_ = nullptr;
  QLabel* targetCount_ = nullptr;
  QPushButton* compareButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* printButton_ = nullptr;
  QCheckBox* charDpBox_ = nullptr;
  QCheckBox* morphemeDpBox_ = nullptr;
  QCheckBox* pseudoBunsetsuDpBox_ = nullptr;
  QCheckBox* pseudoBunsetsuMatchBox_ = nullptr;
  QCheckBox* morphemeMatchBox_ = nullptr;
  QCheckBox* alignLinesBox_ = nullptr;
  ReportView* view_ = nullptr;
  QLabel* status_ = nullptr;
  std::unique_ptr<ReportSaver> saver_;
  ReportPrinter* printer_ = nullptr;

  // Set while a Compare runs; events handled meanwhile must not start another one.
  CompareProgress* progress_ = nullptr;
  bool closeAfterCompare_ = false;
};

}  // namespace sorowa
