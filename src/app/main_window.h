#pragma once

#include <QWidget>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "compare/compare_ui.h"
#include "compare/report_store.h"
#include "formats/input_format.h"
#include "segment/morph_backend.h"
#include "text/text_encoding.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSettings;
class QSplitter;

namespace sorowa {

class CompareProgress;
class Dialogs;
class FindBar;
class MainMenu;
class PageBar;
class PairList;
class PairNavigator;
class PlainTextEditor;
class ReportPrinter;
class ReportSaver;
class ReportView;
class ReportZoom;
class StaleBar;
class StatusLine;
class TempReports;
class WindowSettings;

// The program's only window: the menu bar, the Source and Target editors with their line
// counters and the files they came from, the Compare, Save and Print buttons, the five table
// boxes and the line pairing box, and the report view with its find bar beside the list of
// line pairs, and the line under it that sums up the last Compare. It is the window side of
// the Compare command.
class MainWindow : public QWidget, public CompareUi {
  Q_OBJECT

 public:
  static constexpr QSize kMinimumSize{568, 327};
  // The editors are never lower than this, and high enough for kEditorLines lines.
  static constexpr int kEditorHeight = 100;
  static constexpr int kEditorLines = 10;

  MainWindow(Dialogs& dialogs, ReportStore& store, QWidget* parent = nullptr);
  ~MainWindow() override;

  // How long a Compare runs before its progress dialog appears.
  void SetProgressDelay(std::chrono::milliseconds delay) { progressDelay_ = delay; }
  void SetMorphBackendFactory(MorphBackendFactory factory) { morphFactory_ = std::move(factory); }
  // Restores the boxes, the geometry and the splitter from settings and keeps them there
  // when the window closes. Without this call nothing is remembered.
  void UseSettings(QSettings* settings);

  // Reads a text file into an editor, in the encoding given or the one found, or a document
  // in the format given or the one found (keepRuby: with the ruby of .docx and .odt files).
  // On failure shows an error box, leaves the editor as it was and returns false.
  bool OpenFile(Editor editor, const QString& path, std::optional<TextEncoding> encoding = {},
                std::optional<InputFormat> format = {}, bool keepRuby = false);
  // The page of a line of an editor (by line number from 1), or 0: known while the editor
  // holds the text read from a document with pages, unchanged.
  std::uint32_t PageOfLine(Editor editor, std::size_t line) const;
  // The files named on the command line: one goes into the Source editor; with two, both
  // are opened and compared at once.
  void OpenFromCommandLine(const QStringList& files);

  std::u16string EditorText(Editor editor) const override;
  void SetEditorText(Editor editor, const std::u16string& text) override;
  bool IsOptionChecked(OptionId option) const override;
  std::string DocumentName(Editor editor) const override;
  std::vector<std::uint32_t> DocumentPages(Editor editor) const override;
  void ShowReport(const std::filesystem::path& path) override;
  void ReportError(const std::string& message) override;
  void ReportFailure(const ErrorDetails& details, const std::string& message) override;
  void ShowMessage(const UserMessage& message) override;
  bool ReportProgress(std::size_t done, std::size_t total) override;
  bool ReportLongWork(const LongWorkStatus& status) override;
  void ShowResult(const CompareResult& result) override;

 public slots:
  void Compare();
  void Save();
  void Print();
  void AskAndOpen(Editor editor);
  void NextChange();
  void PreviousChange();
  void OpenFind();
  // 対照表示 or 表形式 was chosen: a report shown in the other view is made again.
  void SwitchView();
  // A stop signal (Ctrl-C, kill, the end of the session): open dialogs are closed, a running
  // Compare is cancelled, which removes its partial report, and the window closes.
  void CloseForStopSignal();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildLayout();
  void BuildReportSplitter();
  void ApplyTabOrder();
  void RestoreSplitters();
  void ConnectCommands();
  void ConnectPrinter();
  PlainTextEditor* EditorFor(Editor editor) const;
  // What an editor's text was read from, for the label above it and the pages of its lines.
  struct EditorFile {
    QString name;
    QString kind;  // the encoding of a text file, the format (and pages) of a document
    InputFormat format = InputFormat::Text;
    std::vector<std::uint32_t> pages;  // by line; empty without pages or once edited
    int revision = -1;                 // the editor's document when the text was read
  };
  EditorFile& FileFor(Editor editor);
  const EditorFile& FileFor(Editor editor) const;
  // Shows the file's name and kind above the editor; a document edited since it was read
  // has lost its pages, and the label says so.
  void ShowFileLabel(Editor editor);
  void ForgetPagesIfEdited(Editor editor);
  QList<QCheckBox*> OptionBoxes() const;
  // Every box and switch that changes a report, in a fixed order.
  QList<bool> OptionStates() const;
  void UpdateStaleBar();
  // Names the normalisation switches that are on in the status line.
  void ShowNormalization();
  // Save and Print, with their menu items, only once there is a report.
  void EnableReportCommands();
  QString SuggestedSavePath() const;
  // "sorowa-<Source file>-<date>", after the texts of the report shown.
  QString ReportBaseName() const;
  void OfferBrowser(const QString& path, qint64 size);

  Dialogs& dialogs_;
  ReportStore& store_;
  MorphBackendFactory morphFactory_;
  std::chrono::milliseconds progressDelay_{1000};

  MainMenu* menu_ = nullptr;
  PlainTextEditor* sourceEditor_ = nullptr;
  PlainTextEditor* targetEditor_ = nullptr;
  QLabel* sourceCaption_ = nullptr;
  QLabel* targetCaption_ = nullptr;
  QLabel* sourceCount_ = nullptr;
  QLabel* targetCount_ = nullptr;
  QLabel* sourceFile_ = nullptr;
  QLabel* targetFile_ = nullptr;
  QString sourcePath_;  // the file the Source text came from, if any
  // What the report shown was made from: the Source file, the boxes and switches, and
  // whether an editor has changed since.
  QString reportSourcePath_;
  QList<bool> reportOptions_;
  bool textsChangedSinceReport_ = false;
  StaleBar* staleBar_ = nullptr;
  QString targetPath_;
  EditorFile sourceOrigin_;
  EditorFile targetOrigin_;
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
  FindBar* findBar_ = nullptr;
  PageBar* pageBar_ = nullptr;
  PairList* pairList_ = nullptr;
  QCheckBox* changedOnlyBox_ = nullptr;
  QComboBox* pairOrder_ = nullptr;
  QSplitter* splitter_ = nullptr;        // the pair list beside the report
  QSplitter* editorSplitter_ = nullptr;  // the editors over the rest
  // Splitter states read from the settings, kept for the window's first show.
  QList<std::pair<QSplitter*, QByteArray>> splitterStates_;
  PairNavigator* navigator_ = nullptr;
  ReportZoom* zoom_ = nullptr;
  QString changeNote_;  // what the status line says at the first or last change
  std::unique_ptr<WindowSettings> settings_;
  StatusLine* status_ = nullptr;
  QString printTarget_;  // the PDF file being printed to, if any
  QString printedPart_;  // the pairs being printed when not all of them
  std::unique_ptr<ReportSaver> saver_;
  ReportPrinter* printer_ = nullptr;
  QString printedReport_;  // the report file being printed, kept until printing ends
  std::unique_ptr<TempReports> tempReports_;

  // Set while a Compare runs; events handled meanwhile must not start another one.
  CompareProgress* progress_ = nullptr;
  bool closeAfterCompare_ = false;
};

}  // namespace sorowa
