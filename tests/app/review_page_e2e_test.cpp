// The review page in a real browser engine (run under xvfb-run): laid out in a view 800
// pixels wide, no row is wider than the view, however long or hostile its lines; a row with
// one side missing keeps its height; and the marks the browser finds in each row count the
// S, D and I that the scores give its pair.
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <fstream>

#include "app/startup.h"
#include "compare/compare_line_pairs.h"

namespace {

constexpr int kTimeoutMs = 60000;

QVariant Evaluate(QWebEngineView& view, const QString& script) {
  QVariant result;
  bool done = false;
  view.page()->runJavaScript(script, [&](const QVariant& value) {
    result = value;
    done = true;
  });
  if (!QTest::qWaitFor([&] { return done; }, kTimeoutMs)) return QVariant();
  return result;
}

// Revised lines with what makes a layout fail: a run of 3,000 Latin letters with no space,
// 2,000 kanji, markup, controls and a right-to-left override, a Source line the Target lacks
// and two Target lines for one Source line.
std::pair<std::u16string, std::u16string> HostileTexts() {
  std::u16string source;
  std::u16string target;
  for (int k = 0; k < 40; ++k) {
    std::u16string line = u"吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。";
    line += static_cast<char16_t>(u'0' + k % 10);
    source += line + u"\n";
    if (k % 3 == 0) line[3] = u'犬';
    if (k % 5 == 0) line.insert(5, u"とても");
    target += line + u"\n";
  }
  const std::u16string latin(3000, u'w');
  source += latin + u"\n" + std::u16string(2000, u'漢') + u"\n";
  target += latin.substr(0, 1500) + u"x" + latin.substr(1500) + u"\n" +
            std::u16string(1000, u'漢') + u"\n" + std::u16string(1000, u'漢') + u"\n";
  source += u"<table><tr><td>&amp; \x01\x1b[31m\u202Eevil\u202C</td></tr></table>\n";
  target += u"<table><tr><td>&amp; \x02\x1b[32m\u202Egood\u202C</td></tr></table>\n";
  source += u"ソースにしかないこの行は、対応する行がターゲットにありません。\n";
  source += u"最後の行。\n";
  target += u"最後の行。\n";
  return {source, target};
}

}  // namespace

class ReviewPageEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void RowsFitTheViewAndMarksCountTheScores();
};

void ReviewPageEndToEndTest::RowsFitTheViewAndMarksCountTheScores() {
  const auto [source, target] = HostileTexts();
  sorowa::CompareOptions options;
  options.report = sorowa::ReportKind::Review;
  options.scores = sorowa::ScoreUnits::Chars;
  options.alignLines = true;
  options.sourceName = "source.txt";
  options.targetName = "target.txt";
  std::string page;
  const sorowa::CompareResult result = sorowa::CompareLinePairs(source, target, page, options);
  QVERIFY(result.scores.has_value());
  const std::vector<sorowa::PairScore>& pairs = result.scores->pairs;

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("review.htm"));
  std::ofstream(path.toStdString(), std::ios::binary) << page;
  QWebEngineView view;
  view.resize(800, 600);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
  view.load(QUrl::fromLocalFile(path));
  QVERIFY(loaded.wait(kTimeoutMs));
  QVERIFY(loaded.takeFirst().at(0).toBool());

  // The browser skips rows out of sight; every row is laid out here, as for print.
  const QVariant measured = Evaluate(view, QStringLiteral(R"((() => {
    const all = document.createElement('style');
    all.textContent = 'table.rv > tbody > tr { content-visibility: visible !important; }';
    document.head.appendChild(all);
    const rows = [];
    let right = 0;
    for (const tr of document.querySelectorAll('table.rv tbody tr')) {
      const box = tr.getBoundingClientRect();
      right = Math.max(right, box.right);
      const count = (selector) => tr.querySelectorAll(selector).length;
      const missing = tr.querySelector('td.none');
      rows.push({id: tr.id, kind: tr.className, height: box.height,
                 missingHeight: missing ? missing.getBoundingClientRect().height : -1,
                 s: count('td.a mark'), sTarget: count('td.b mark'),
                 d: count('td.a del'), i: count('td.b ins')});
    }
    return JSON.stringify({view: document.documentElement.clientWidth,
                           scroll: document.documentElement.scrollWidth, right, rows});
  })())"));
  const QJsonObject layout = QJsonDocument::fromJson(measured.toString().toUtf8()).object();
  const double viewWidth = layout.value(QStringLiteral("view")).toDouble();
  QVERIFY(viewWidth > 700 && viewWidth <= 800);
  QVERIFY2(layout.value(QStringLiteral("right")).toDouble() <= viewWidth,
           qPrintable(QStringLiteral("a row reaches %1 px in a view of %2 px")
                          .arg(layout.value(QStringLiteral("right")).toDouble())
                          .arg(viewWidth)));
  QCOMPARE(layout.value(QStringLiteral("scroll")).toDouble(), viewWidth);

  const QJsonArray rows = layout.value(QStringLiteral("rows")).toArray();
  QCOMPARE(static_cast<std::size_t>(rows.size()), pairs.size());
  int sourceOnly = 0;
  for (const QJsonValue& value : rows) {
    const QJsonObject row = value.toObject();
    const std::size_t number = row.value(QStringLiteral("id")).toString().mid(1).toULongLong();
    QVERIFY(number >= 1 && number <= pairs.size());
    const sorowa::ErrorCounts& counts = pairs[number - 1].chars;
    const QString where = QStringLiteral("row %1").arg(number);
    QVERIFY2(row.value(QStringLiteral("s")).toInt() == static_cast<int>(counts.substitutions) &&
                 row.value(QStringLiteral("sTarget")).toInt() ==
                     static_cast<int>(counts.substitutions) &&
                 row.value(QStringLiteral("d")).toInt() == static_cast<int>(counts.deletions) &&
                 row.value(QStringLiteral("i")).toInt() == static_cast<int>(counts.insertions),
             qPrintable(where));
    if (row.value(QStringLiteral("kind")).toString() == QStringLiteral("so")) {
      ++sourceOnly;
      QVERIFY2(row.value(QStringLiteral("height")).toDouble() >= 16, qPrintable(where));
      QVERIFY2(row.value(QStringLiteral("missingHeight")).toDouble() >= 16, qPrintable(where));
    }
  }
  QCOMPARE(sourceOnly, 1);
}

int main(int argc, char** argv) {
  sorowa::PrepareWebEngine();
  QApplication app(argc, argv);
  ReviewPageEndToEndTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "review_page_e2e_test.moc"
