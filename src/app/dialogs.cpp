#include "app/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace sorowa {

void StandardDialogs::ShowError(QWidget* parent, const QString& text, const QString& details) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Sorowa"), text, QMessageBox::Ok, parent);
  if (!details.isEmpty()) box.setInformativeText(details);
  box.exec();
}

void StandardDialogs::ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, parent);
  box.exec();
}

QString StandardDialogs::AskSavePath(QWidget* parent, const QString& suggestedPath) {
  return QFileDialog::getSaveFileName(
      parent, QStringLiteral("レポートを保存"), suggestedPath,
      QStringLiteral("HTML ファイル (*.htm *.html);;すべてのファイル (*)"));
}

bool StandardDialogs::AskPrintSettings(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("レポートを印刷"));
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace sorowa
