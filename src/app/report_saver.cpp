#include "app/report_saver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "app/dialogs.h"
#include "app/report_view.h"

namespace sorowa {

QString ReportSaver::Save(QWidget* parent, const QString& suggestedPath) {
  if (!view_.HasReport()) {
    dialogs_.ShowError(parent, QStringLiteral("保存するレポートがまだありません。"),
                       QStringLiteral("先に［比較］を押してレポートを作ってください。"));
    return QString();
  }
  const QString reportPath = view_.ReportPath();
  const QString target = dialogs_.AskSavePath(parent, suggestedPath);
  if (target.isEmpty()) return QString();

  // The report file is copied as it is: its bytes are the page as shown (or, for a big
  // report shown in parts, all of its parts), with the encoding declared in its head.
  const QString problem = CopyReport(reportPath, target);
  if (!problem.isEmpty()) {
    dialogs_.ShowError(parent, QStringLiteral("レポートを保存できませんでした。"), problem);
    return QString();
  }
  return target;
}

namespace {

// Japanese: Qt's own error strings follow the system's language, which may be English.
QString Problem(const QString& path, const QFileDevice& file, bool reading) {
  QString reason;
  if (reading && !QFileInfo::exists(path)) {
    reason = QStringLiteral("ファイルがありません。");
  } else {
    switch (file.error()) {
      case QFileDevice::PermissionsError:
        reason = QStringLiteral("アクセスが許可されていません。");
        break;
      case QFileDevice::ResourceError:
        reason = QStringLiteral("ディスクの空き容量などが足りません。");
        break;
      default:
        reason = reading ? QStringLiteral("読み込みに失敗しました。")
                         : (QFileInfo(QFileInfo(path).absolutePath()).isDir()
                                ? QStringLiteral("書き込みに失敗しました。")
                                : QStringLiteral("保存先のフォルダーがありません。"));
        break;
    }
  }
  return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
}

}  // namespace

QString ReportSaver::CopyReport(const QString& from, const QString& to) {
  QFile source(from);
  if (!source.open(QIODevice::ReadOnly)) return Problem(from, source, true);
  QSaveFile target(to);
  if (!target.open(QIODevice::WriteOnly)) return Problem(to, target, false);
  constexpr qint64 kChunk = 1 << 20;
  while (!source.atEnd()) {
    const QByteArray chunk = source.read(kChunk);
    if (chunk.isEmpty() && source.error() != QFileDevice::NoError) {
      target.cancelWriting();
      return Problem(from, source, true);
    }
    if (target.write(chunk) != chunk.size()) break;  // commit() reports the error below
  }
  if (!target.commit()) return Problem(to, target, false);
  return QString();
}

}  // namespace sorowa
