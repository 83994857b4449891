// The window's tests: each starts from a fresh window with its own report folder and fake
// dialogs. The tests themselves are in main_window_*_test.cpp (see main_window_test.h).
#include "main_window_test.h"

#include <QApplication>
#include <QTest>

#include "app/startup.h"

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

int main(int argc, char** argv) {
  sorowa::PrepareWebEngine();
  QApplication app(argc, argv);
  MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}
