// What the window keeps across a restart: the options (named in the status line), its size,
// the splitters, and the folder of the last file.

#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QSplitter>
#include <QTest>

#include "main_window_test.h"

void MainWindowTest::SettingsSurviveARestart() {
  // Boxes and the normalisation items of the menu, each turned away from its default.
  struct Option {
    const char* name;
    sorowa::OptionId id;
    bool checked;
  };
  const Option options[] = {
      {"charDpBox", sorowa::OptionId::CharDp, true},
      {"morphemeMatchBox", sorowa::OptionId::MorphemeMatch, false},
      {"alignLinesBox", sorowa::OptionId::AlignLines, true},
      {"normalizeNfkcAction", sorowa::OptionId::NormalizeNfkc, true},
      {"foldKanaAction", sorowa::OptionId::FoldKana, true},
      {"ignoreSpaceAction", sorowa::OptionId::IgnoreSpace, true},
      {"ignorePunctuationAction", sorowa::OptionId::IgnorePunctuation, true},
  };
  const QString file = tmp_->filePath(QStringLiteral("sorowa.ini"));
  QByteArray geometry;
  int editorsHeight = 0;
  {
    QSettings settings(file, QSettings::IniFormat);
    MainWindow first(*dialogs_, *store_);
    first.UseSettings(&settings);
    first.show();
    for (const Option& option : options) {
      QObject* control = first.findChild<QObject*>(QLatin1String(option.name));
      QVERIFY2(control != nullptr, option.name);
      QCOMPARE(first.IsOptionChecked(option.id), !option.checked);
      control->setProperty("checked", option.checked);
    }
    first.resize(700, 500);
    QTRY_COMPARE(first.size(), QSize(700, 500));
    first.findChild<QSplitter*>(QStringLiteral("reportSplitter"))->setSizes({250, 400});
    auto* editors = first.findChild<QSplitter*>(QStringLiteral("editorSplitter"));
    editors->setSizes({0, 1000});  // the editors as low as they go
    editorsHeight = editors->sizes().front();
    geometry = first.saveGeometry();
    first.close();
  }
  QSettings settings(file, QSettings::IniFormat);
  MainWindow second(*dialogs_, *store_);
  second.UseSettings(&settings);
  for (const Option& option : options) QCOMPARE(second.IsOptionChecked(option.id), option.checked);
  QVERIFY(second.IsOptionChecked(sorowa::OptionId::MorphemeDp));
  QCOMPARE(second.size(), QSize(700, 500));
  second.show();
  QCOMPARE(second.findChild<QSplitter*>(QStringLiteral("reportSplitter"))->sizes().front(), 250);
  QCOMPARE(second.findChild<QSplitter*>(QStringLiteral("editorSplitter"))->sizes().front(),
           editorsHeight);
  // The normalisation switches kept on are in sight, under the report.
  const QString status = second.findChild<QLabel*>(QStringLiteral("compareStatus"))->text();
  QCOMPARE(status, QStringLiteral("正規化: NFKC 正規化・かな同一視・空白を無視・句読点を無視"));

  // The Save dialog starts in the folder last used, named after the Source file.
  const QString source = tmp_->filePath(QStringLiteral("第一稿.txt"));
  QFile text(source);
  QVERIFY(text.open(QIODevice::WriteOnly));
  text.write("a\n");
  text.close();
  QVERIFY(second.OpenFile(sorowa::Editor::Source, source));
  second.SetEditorText(sorowa::Editor::Target, u"b\n");
  second.Compare();
  second.Save();
  QCOMPARE(dialogs_->suggestedPaths.back(),
           QDir(tmp_->path())
               .filePath(QStringLiteral("sorowa-第一稿-%1.htm")
                             .arg(QDate::currentDate().toString(Qt::ISODate))));
  QCOMPARE(settings.value(QStringLiteral("files/lastFolder")).toString(), tmp_->path());
}
