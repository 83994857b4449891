// Finding the changes: the list of pairs beside the report, F8 and Shift+F8, and the find
// bar.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

#include "app/pair_list.h"
#include "app/pair_navigator.h"
#include "app/report_index.h"
#include "main_window_test.h"

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
    return sorowa::ParsePairSide(text.toStdString()).value_or(sorowa::PairSide{});
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
  // Said on the status line, not only by a beep.
  const QString status = Child<QLabel>("compareStatus")->text();
  QVERIFY2(status.contains(QStringLiteral("最後の相違です")), qPrintable(status));
  QTest::keyClick(window, Qt::Key_F8, Qt::ShiftModifier);
  QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 3, 10000);
  QCOMPARE(shown.last().at(0).toInt(), 1);
  QTest::keyClick(window, Qt::Key_F8, Qt::ShiftModifier);
  QTRY_COMPARE_WITH_TIMEOUT(none.size(), 2, 10000);
  QVERIFY(Child<QLabel>("compareStatus")->text().contains(QStringLiteral("最初の相違です")));
  // Choosing a row in the list moves the report there.
  list->selectRow(2);
  QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 4, 10000);
  QCOMPARE(shown.last().at(0).toInt(), 2);

  // Only the changes, the highest error rate first (25 % before 1 of 6): the rows still
  // name their pairs, and the pair shown, now hidden, has no row.
  Child<QCheckBox>("changedOnlyBox")->setChecked(true);
  QVERIFY(!list->currentIndex().isValid());
  auto* order = Child<QComboBox>("pairOrder");
  order->setCurrentIndex(order->findData(static_cast<int>(sorowa::PairOrder::ErrorRate)));
  QCOMPARE(list->model()->rowCount(), 2);
  list->selectRow(1);
  QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 5, 10000);
  QCOMPARE(shown.last().at(0).toInt(), 3);
  // All the pairs again: the identical ones after, in report order; the row of the pair
  // shown stays chosen.
  Child<QCheckBox>("changedOnlyBox")->setChecked(false);
  QList<int> listed;
  for (int row = 0; row < list->model()->rowCount(); ++row) listed << list->PairAtRow(row);
  QCOMPARE(listed, (QList<int>{1, 3, 0, 2}));
  QCOMPARE(list->currentIndex().row(), 1);
  order->setCurrentIndex(order->findData(static_cast<int>(sorowa::PairOrder::Report)));
  QCOMPARE(list->currentIndex().row(), 3);

  // Ctrl+plus, Ctrl+minus and Ctrl+0 zoom the report, also with the focus in it.
  View()->setFocus();
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    double factor;
  } zooms[] = {{Qt::Key_Plus, Qt::ControlModifier, 1.1},
               {Qt::Key_Equal, Qt::ControlModifier, 1.25},
               {Qt::Key_Minus, Qt::ControlModifier, 1.1},
               {Qt::Key_0, Qt::ControlModifier, 1.0},
               {Qt::Key_Minus, Qt::ControlModifier, 0.9}};
  for (const auto& zoom : zooms) {
    QTest::keyClick(window, zoom.key, zoom.modifiers);
    QTRY_COMPARE(View()->zoomFactor(), zoom.factor);
  }

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

// A report shown in parts: Find goes on to the part that holds the text, also where the
// text runs over two cells (the report splits it wherever the units split).
void MainWindowTest::FindGoesOnAcrossPartsAndCells() {
  window_->resize(900, 600);
  window_->show();
  const QString path = tmp_->filePath(QStringLiteral("parts.htm"));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("<html><head></head><body>");
  // Pairs of about 2 KB, more than kDirectLoadBytes together; the last one splits the text.
  const QByteArray cells = QStringLiteral("<td class=\"same\">文</td>\n").toUtf8().repeated(80);
  const QByteArray pair =
      "<table>\n<tr>\n" + cells + "</tr>\n<tr>\n" + cells + "</tr>\n</table>\n<br><hr><br>";
  for (qint64 size = 0; size <= ReportView::kDirectLoadBytes; size += pair.size()) {
    file.write(pair);
  }
  file.write(
      QStringLiteral("<table>\n<tr>\n<td class=\"same\">1</td>\n<td class=\"same\">2000</td>\n"
                     "<td class=\"different\">0番目</td>\n</tr>\n<tr>\n<td class=\"same\">1</td>\n"
                     "<td class=\"same\">2000</td>\n<td class=\"different\">1番目</td>\n</tr>\n"
                     "</table>\n<br><hr><br></body></html>")
          .toUtf8());
  file.close();

  QSignalSpy pages(View(), &ReportView::PageLoaded);
  window_->ShowReport(QFile::encodeName(path).toStdString());
  QVERIFY(pages.wait(30000));
  QVERIFY(View()->PageCount() > 1);
  window_->OpenFind();
  auto* field = Child<QLineEdit>("findField");
  auto* matches = Child<QLabel>("findMatches");
  const QString notHere = QStringLiteral("見つかりません（この部分のみ）");
  field->setText(QStringLiteral("20000番目"));
  QTRY_COMPARE_WITH_TIMEOUT(matches->text(), notHere, 10000);
  QTest::keyClick(field, Qt::Key_Return);
  QVERIFY(pages.wait(30000));
  QCOMPARE(View()->ShownPage(), View()->PageCount() - 1);
  QTRY_COMPARE_WITH_TIMEOUT(matches->text(), QStringLiteral("1 / 1 件（この部分のみ）"), 10000);

  // The end of one row and the start of the next are not one text.
  View()->ShowPage(0);
  QVERIFY(pages.wait(30000));
  field->setText(QStringLiteral("0番目1"));
  QTRY_COMPARE_WITH_TIMEOUT(matches->text(), notHere, 10000);
  QTest::keyClick(field, Qt::Key_Return);
  QTRY_COMPARE_WITH_TIMEOUT(
      matches->text(), QStringLiteral("見つかりません（この部分のみ。ほかの部分にはありません）"),
      10000);
  QCOMPARE(View()->ShownPage(), 0);
}
