// Save and Print: with no report yet, a copy of the report shown, and a copy that fails.

#include <QAction>
#include <QCheckBox>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMarginsF>
#include <QPageLayout>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "main_window_test.h"

void MainWindowTest::SaveAndPrintWithoutReport() {
  // Greyed out, buttons and menu items alike, until a Compare has made a report.
  window_->show();
  const QList<QWidget*> buttons = {Child<QPushButton>("saveButton"),
                                   Child<QPushButton>("printButton")};
  const QList<QAction*> items = {Child<QAction>("saveAction"), Child<QAction>("printAction")};
  for (int step = 0; step < 2; ++step) {
    for (const QWidget* button : buttons) QCOMPARE(button->isEnabled(), step == 1);
    for (const QAction* item : items) QCOMPARE(item->isEnabled(), step == 1);
    if (step == 0) {
      QTest::mouseClick(Child<QPushButton>("saveButton"), Qt::LeftButton);
      QVERIFY(dialogs_->suggestedPaths.isEmpty());
      Source()->setPlainText(QStringLiteral("文\n"));
      QVERIFY(!RunCompareInto(tmp_->path()).isEmpty());
    }
  }
  QVERIFY(dialogs_->errors.isEmpty());
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

// A report that no longer matches the editors or the options says so, and Save still names
// it after the text it was made from.
void MainWindowTest::OutOfDateReportIsMarked() {
  window_->show();
  auto write = [this](const QString& name, const QString& text) {
    QFile file(tmp_->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
  };
  write(QStringLiteral("第一稿.txt"), QStringLiteral("古い文\n"));
  write(QStringLiteral("第二稿.txt"), QStringLiteral("新しい文\n"));
  QVERIFY(window_->OpenFile(sorowa::Editor::Source, tmp_->filePath(QStringLiteral("第一稿.txt"))));
  Target()->setPlainText(QStringLiteral("古い分\n"));
  QVERIFY(!RunCompareInto(tmp_->path()).isEmpty());
  auto* bar = Child<QWidget>("staleBar");
  auto* text = Child<QLabel>("staleText");
  QVERIFY(!bar->isVisible());

  // A box or a switch turned on and off again: out of date only in between.
  auto* box = Child<QCheckBox>("charDpBox");
  auto* fold = Child<QAction>("foldKanaAction");
  for (const std::function<void(bool)>& set :
       {std::function<void(bool)>([box](bool on) { box->setChecked(on); }),
        std::function<void(bool)>([fold](bool on) { fold->setChecked(on); })}) {
    set(true);
    QVERIFY(bar->isVisible());
    QVERIFY2(text->text().contains(QStringLiteral("オプション")), qPrintable(text->text()));
    set(false);
    QVERIFY(!bar->isVisible());
  }
  // An edit, then another file opened: the texts changed.
  Target()->insertPlainText(QStringLiteral("追記"));
  QVERIFY(bar->isVisible());
  QVERIFY2(text->text().contains(QStringLiteral("テキスト")), qPrintable(text->text()));
  QVERIFY(window_->OpenFile(sorowa::Editor::Source, tmp_->filePath(QStringLiteral("第二稿.txt"))));
  const QString date = QDate::currentDate().toString(Qt::ISODate);
  window_->Save();
  QCOMPARE(QFileInfo(dialogs_->suggestedPaths.back()).fileName(),
           QStringLiteral("sorowa-第一稿-%1.htm").arg(date));

  // 再比較 makes a report of what the editors hold now.
  QTest::mouseClick(Child<QPushButton>("recompareButton"), Qt::LeftButton);
  QVERIFY(!bar->isVisible());
  window_->Save();
  QCOMPARE(QFileInfo(dialogs_->suggestedPaths.back()).fileName(),
           QStringLiteral("sorowa-第二稿-%1.htm").arg(date));
  QVERIFY(dialogs_->errors.isEmpty());
}

// The print dialog proposes a PDF file named as Save names the report (Qt's dialog takes the
// document's name less its extension), with margins to hold the paper by.
void MainWindowTest::PrintProposesANameAndMargins() {
  Source()->setPlainText(QStringLiteral("印刷する文\n"));
  Target()->setPlainText(QStringLiteral("印刷した文\n"));
  QVERIFY(!RunCompareInto(tmp_->path()).isEmpty());
  QString name;
  QMarginsF margins;
  dialogs_->setUpPrinter = [&](QPrinter& printer) {
    name = printer.docName();
    margins = printer.pageLayout().margins(QPageLayout::Millimeter);
  };
  window_->Print();
  QCOMPARE(dialogs_->printDialogs, 1);
  QCOMPARE(name,
           QStringLiteral("sorowa-比較-%1.htm").arg(QDate::currentDate().toString(Qt::ISODate)));
  for (qreal margin : {margins.left(), margins.top(), margins.right(), margins.bottom()}) {
    QVERIFY2(margin >= 10, qPrintable(QString::number(margin)));
  }
}
