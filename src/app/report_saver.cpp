#include "app/report_saver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "app/dialogs.h"
#include "app/report_view.h"

namespace sorowa {

void ReportSaver::Save(QWidget* parent) {
  if (!view_.HasReport()) {
    dialogs_.ShowError(parent, QStringLiteral("保存するレポートがまだありません。"),
                       QStringLiteral("先に［比較］を押してレポートを作ってください。"));
    return;
  }
  const QString reportPath = view_.ReportPath();
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
  const QString suggested = QDir(folder).filePath(QFileInfo(reportPath).fileName());

  const QString target = dialogs_.AskSavePath(parent, suggested);
  if (target.isEmpty()) return;

  // The report is a static file and the view shows it unchanged, so its bytes are the page
  // exactly as shown, with the encoding declared in its head.
  const QString problem = CopyReport(reportPath, target);
  if (!problem.isEmpty()) {
    dialogs_.ShowError(parent, QStringLiteral("レポートを保存できませんでした。"), problem);
  }
}

QString ReportSaver::CopyReport(const QString& from, const QString& to) {
  QFile source(from);
  if (!source.open(QIODevice::ReadOnly)) {
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(from), source.errorString());
  }
  QSaveFile target(to);
  if (!target.open(QIODevice::WriteOnly)) {
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(to), target.errorString());
  }
  constexpr qint64 kChunk = 1 << 20;
  while (!source.atEnd()) {
    const QByteArray chunk = source.read(kChunk);
    if (chunk.isEmpty() && source.error() != QFileDevice::NoError) {
      target.cancelWriting();
      return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(from), source.errorString());
    }
    if (target.write(chunk) != chunk.size()) break;  // commit() reports the error below
  }
  if (!target.commit()) {
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(to), target.errorString());
  }
  return QString();
}

}  // namespace sorowa
