#pragma once

// The window on the offscreen platform, with every dialog answered by a fake. One Qt test
// object holds all the window's tests, so they run as one program in the order declared here
// and each gets a fresh window; the definitions are in a file per feature, named beside each
// group below. main_window_test.cpp sets up and tears down each test and runs them.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>

#include "app/main_window.h"
#include "app/plain_text_editor.h"
#include "app/report_view.h"
#include "compare/report_store.h"
#include "fake_dialogs.h"

namespace sorowa::testing {

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

inline QStringList ReportFiles(const QString& directory) {
  return QDir(directory).entryList({QStringLiteral("*.htm")}, QDir::Files, QDir::Name);
}

inline QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace sorowa::testing

using sorowa::MainWindow;
using sorowa::PlainTextEditor;
using sorowa::ReportView;
using sorowa::testing::FakeDialogs;
using sorowa::testing::ReadAll;
using sorowa::testing::ReportFiles;
using sorowa::testing::ScopedTmpDir;

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  // main_window_layout_test.cpp: the start-up state, counters, layout, keys and menus.
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
  void SplitterResizesTheEditors();
  void MenuKeysAndMnemonicsDoNotClash();

  // main_window_editor_test.cpp: what paste, drop and the context menu put into the editors.
  void PlainTextOfMimeData_data();
  void PlainTextOfMimeData();
  void PasteInsertsPlainTextOnly_data();
  void PasteInsertsPlainTextOnly();
  void DropOfFilesInsertsNothing();
  void EditorsShowNoContextMenu();
  void EditorKeepsSpecialCharacters();

  // main_window_compare_test.cpp: Compare and its report, the status line, failures,
  // cancelling.
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
  void TemporaryReportsGoAway();
  void BigPairsAreShownTableByTable();
  void LongTableShowsItsEstimateAndCancels();

  // main_window_save_test.cpp: Save and Print.
  void SaveAndPrintWithoutReport();
  void SaveCopiesShownReport();
  void SaveFailureShowsErrorBox();
  void OutOfDateReportIsMarked();
  void PrintProposesANameAndMargins();

  // main_window_open_test.cpp: opening files and their encodings, the command line's files.
  void OpenFileFindsOrTakesTheEncoding_data();
  void OpenFileFindsOrTakesTheEncoding();
  void CommandLineFilesAreOpenedAndCompared();
  void DocumentsShowTheirFormatAndPages();

  // main_window_navigation_test.cpp: the list of pairs, F8 and Shift+F8, the find bar.
  void PairListRows_data();
  void PairListRows();
  void NextAndPreviousChange();
  void FindGoesOnAcrossPartsAndCells();

  // main_window_settings_test.cpp: what a restart keeps.
  void SettingsSurviveARestart();

  // main_window_compare_test.cpp, last: the signal's handler is process-wide and leaves the
  // default action behind.
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
