// The report laid out for paper: DP tables into columns that wrap, "same" neighbours joined,
// matching tables' "same" units in one element, anything else left as it is.
#include "app/print_layout.h"

#include <QTest>
#include <string>

#include "app/report_printer.h"

namespace {

std::string DpTable(const std::string& top, const std::string& bottom) {
  return "<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">文字単位でDPマッチング"
         "</span></td>\n" +
         top + "</tr>\n<tr>\n" + bottom + "</tr>\n</table>\n";
}

std::string Cells(const std::string& status, const std::string& texts) {
  std::string cells;
  for (const char c : texts) {
    cells += "<td class=\"" + status + "\">" + (c == '_' ? std::string() : std::string(1, c)) +
             "</td>\n";
  }
  return cells;
}

constexpr const char* kColumnsStart =
    "<div class=\"dp\"><span class=\"caption cap\">文字単位でDPマッチング</span>";

}  // namespace

class PrintLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void RewritesForPaper_data();
  void RewritesForPaper();
  void SplitsIntoEvenRuns_data();
  void SplitsIntoEvenRuns();
};

void PrintLayoutTest::RewritesForPaper_data() {
  QTest::addColumn<QByteArray>("pairs");
  QTest::addColumn<QByteArray>("printed");
  const std::string joined = kColumnsStart + std::string(
                                                 "<span class=\"col\"><b>ab</b><b>ab</b></span>"
                                                 "<span class=\"col\"><b class=\"partial\">c</b>"
                                                 "<b class=\"partial\">d</b></span>"
                                                 "<span class=\"col\"><b>e</b><b>e</b></span>"
                                                 "<span class=\"col\"><b class=\"different\">f"
                                                 "</b><b class=\"different\"></b></span>"
                                                 "</div>\n<br><hr><br>");
  QTest::newRow("DP columns, same neighbours joined, an empty cell")
      << QByteArray::fromStdString(DpTable(Cells("same", "ab") + Cells("partial", "c") +
                                               Cells("same", "e") + Cells("different", "f"),
                                           Cells("same", "ab") + Cells("partial", "d") +
                                               Cells("same", "e") + Cells("different", "_")) +
                                   "<br><hr><br>")
      << QByteArray::fromStdString(joined);
  // Joins stop at kJoinedColumnLength characters.
  QTest::newRow("long runs of same columns in pieces")
      << QByteArray::fromStdString(
             DpTable(Cells("same", "abcdefghijklmnopq"), Cells("same", "abcdefghijklmnopq")))
      << QByteArray::fromStdString(kColumnsStart +
                                   std::string("<span class=\"col\"><b>abcdefghijkl</b>"
                                               "<b>abcdefghijkl</b></span>"
                                               "<span class=\"col\"><b>mnopq</b>"
                                               "<b>mnopq</b></span></div>\n"));
  QTest::newRow("matching units: runs of same in one element")
      << QByteArray(
             "<td class=\"le\"><span class=\"same\">吾輩</span>\n<span class=\"same\">は"
             "</span>\n<span class=\"different\">猫</span>\n<span class=\"same\">で</span>"
             "\n<span class=\"same\">ある</span>\n</td></tr>\n")
      << QByteArray(
             "<td class=\"le\"><span class=\"same\">吾輩\nは</span>\n<span "
             "class=\"different\">猫</span>\n<span class=\"same\">で\nある</span>\n</td>"
             "</tr>\n");
  const std::string uneven = DpTable(Cells("same", "ab"), Cells("same", "a"));
  QTest::newRow("rows of different lengths left as they are")
      << QByteArray::fromStdString(uneven) << QByteArray::fromStdString(uneven);
  const std::string unknown = DpTable(Cells("odd", "a"), Cells("same", "a"));
  QTest::newRow("a class of no report left as it is")
      << QByteArray::fromStdString(unknown) << QByteArray::fromStdString(unknown);
  const std::string cut = DpTable(Cells("same", "ab"), Cells("same", "ab")).substr(0, 150);
  QTest::newRow("a table cut short left as it is")
      << QByteArray::fromStdString(cut) << QByteArray::fromStdString(cut);
}

void PrintLayoutTest::RewritesForPaper() {
  QFETCH(QByteArray, pairs);
  QFETCH(QByteArray, printed);
  QCOMPARE(QByteArray::fromStdString(sorowa::RewriteForPrint(pairs.toStdString())), printed);
}

void PrintLayoutTest::SplitsIntoEvenRuns_data() {
  QTest::addColumn<QList<qint64>>("sizes");  // bytes of each pair
  QTest::addColumn<QList<int>>("starts");    // first pair of each run
  constexpr qint64 kBig = sorowa::ReportPrinter::kMinRunBytes;
  QTest::newRow("small: one run") << QList<qint64>{100, 200, 300} << QList<int>{0};
  QTest::newRow("no pairs") << QList<qint64>{} << QList<int>{0};
  QTest::newRow("two runs' worth") << QList<qint64>{kBig, kBig / 2, kBig / 2} << QList<int>{0, 1};
  QTest::newRow("even pairs, as many runs as allowed")
      << QList<qint64>(8, kBig) << QList<int>{0, 2, 4, 6};
  QTest::newRow("one pair bigger than the rest")
      << QList<qint64>{8 * kBig, kBig, kBig, kBig} << QList<int>{0, 1, 2, 3};
  // A long report: more runs than run at once, none much over the largest size.
  constexpr qint64 kPart = sorowa::ReportPrinter::kMaxRunBytes;
  QTest::newRow("a long report") << QList<qint64>(12, kPart / 2) << QList<int>{0, 2, 4, 6, 8, 10};
}

void PrintLayoutTest::SplitsIntoEvenRuns() {
  QFETCH(QList<qint64>, sizes);
  QFETCH(QList<int>, starts);
  const QVector<int> runs = sorowa::ReportPrinter::SplitIntoRuns(
      0, static_cast<int>(sizes.size()), [&sizes](int pair) { return sizes[pair]; });
  QCOMPARE(QList<int>(runs.begin(), runs.end()), starts);
}

QTEST_APPLESS_MAIN(PrintLayoutTest)
#include "print_layout_test.moc"
