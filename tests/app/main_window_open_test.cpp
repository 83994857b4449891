// Opening files: the encoding found or chosen, the errors, and the two files of the
// command line.

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QStringEncoder>
#include <QTest>

#include "app/pair_list.h"
#include "document_writers.h"
#include "main_window_test.h"
#include "text/text_file.h"

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
  // UTF-32LE's mark starts with UTF-16LE's.
  QTest::newRow("UTF-32LE") << QByteArray("\xFF\xFE\0\0", 4) + encode("UTF-32LE") << -1 << text
                            << "UTF-32LE";
  QTest::newRow("UTF-32BE") << QByteArray("\0\0\xFE\xFF", 4) + encode("UTF-32BE") << -1 << text
                            << "UTF-32BE";
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
  // Found from the bytes, and none of the encodings tried reads them: no one encoding is named.
  QTest::newRow("undecodable in every encoding")
      << QByteArray("abc\xFF\xFF\xFF") << -1 << QString() << "どの文字コード（UTF-8、";
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

  // A file that cannot be read: its error box, that editor left as it was, no Compare. The
  // window before took its report with it.
  window_ = std::make_unique<MainWindow>(*dialogs_, *store_);
  QVERIFY(ReportFiles(tmp_->path()).isEmpty());
  window_->OpenFromCommandLine({tmp_->filePath(QStringLiteral("missing.txt")), target});
  QCOMPARE(dialogs_->errors.size(), 1);
  QVERIFY(dialogs_->errors.front().details.contains(QStringLiteral("missing.txt")));
  QVERIFY(Source()->Text().isEmpty());
  QCOMPARE(Target()->Text(), QStringLiteral("新しい版\n"));
  QVERIFY(ReportFiles(tmp_->path()).isEmpty());
}

void MainWindowTest::DocumentsShowTheirFormatAndPages() {
  namespace testdocs = sorowa::testdocs;
  const std::vector<std::u16string> lines = testdocs::SampleLines(6, 4, true);
  auto write = [this](const char* name, const std::string& bytes) {
    const QString path = tmp_->filePath(QString::fromUtf8(name));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return path;
  };
  const QString ocr =
      write("scan.html",
            testdocs::WriteHocr({{lines[0], lines[1], lines[2]}, {lines[3], lines[4], lines[5]}}));
  const QString manuscript = write("manuscript.docx", testdocs::WriteDocx(lines, true).bytes);
  const QString bomb =
      write("bomb.docx", testdocs::WriteZipBomb({}, "word/document.xml", 1ull << 30, 1ull << 30));

  window_->OpenFromCommandLine({manuscript, ocr});
  QVERIFY(dialogs_->errors.isEmpty());
  QString expected;
  for (const std::u16string& line : lines) expected += QString::fromStdU16String(line) + u'\n';
  QCOMPARE(Source()->Text(), expected);
  QCOMPARE(Target()->Text(), expected);
  QCOMPARE(Child<QLabel>("sourceFile")->text(), QStringLiteral("manuscript.docx — Word (.docx)"));
  QCOMPARE(Child<QLabel>("targetFile")->text(), QStringLiteral("scan.html — hOCR・2 ページ"));
  auto* list = Child<sorowa::PairList>("pairList");
  QCOMPARE(list->model()->rowCount(), 6);
  QCOMPARE(list->model()->index(4, sorowa::PairListModel::kSource).data().toString(), "5");
  QCOMPARE(list->model()->index(4, sorowa::PairListModel::kTarget).data().toString(), "5 (p.2)");

  // A Compare leaves the text, and so the pages, as they were; an edit takes the pages
  // away: line 5 may no longer be the line read from page 2.
  window_->Compare();
  QCOMPARE(list->model()->index(4, sorowa::PairListModel::kTarget).data().toString(), "5 (p.2)");
  // The review page says the pages too.
  Child<QAction>("reviewViewAction")->setChecked(true);
  window_->Compare();
  QFile review(View()->ReportPath());
  QVERIFY(review.open(QIODevice::ReadOnly));
  QCOMPARE(review.readAll().count("<br>(p.2)"), 3);
  QTest::keyClick(Target(), Qt::Key_End, Qt::ControlModifier);
  QTest::keyClicks(Target(), QStringLiteral("typed"));
  QVERIFY(Child<QLabel>("targetFile")->text().contains(QStringLiteral("編集済み")));
  window_->Compare();
  QCOMPARE(list->model()->index(4, sorowa::PairListModel::kTarget).data().toString(), "5");

  // A refused document: the error box names the limit, the editor keeps its text.
  window_->OpenFile(sorowa::Editor::Source, bomb);
  QCOMPARE(dialogs_->errors.size(), 1);
  QVERIFY2(dialogs_->errors.front().details.contains(QStringLiteral("上限")),
           qPrintable(dialogs_->errors.front().details));
  QCOMPARE(Source()->Text(), expected);
}
