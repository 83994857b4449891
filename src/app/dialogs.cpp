#include "app/dialogs.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

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

QString EncodingLabel(TextEncoding encoding) {
  if (encoding == TextEncoding::Utf8Bom) return QStringLiteral("UTF-8（BOM 付き）");
  return QString::fromLatin1(EncodingName(encoding).data(),
                             static_cast<qsizetype>(EncodingName(encoding).size()));
}

std::optional<OpenChoice> StandardDialogs::AskOpenPath(QWidget* parent, const QString& title,
                                                       const QString& folder) {
  // Qt's own dialog, because the platform's cannot take the encoding choice.
  QFileDialog dialog(parent, title, folder,
                     QStringLiteral("テキスト ファイル (*.txt *.text *.csv *.tsv);;"
                                    "すべてのファイル (*)"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  auto* encodings = new QComboBox(&dialog);
  encodings->setObjectName(QStringLiteral("encodingChoice"));
  encodings->addItem(QStringLiteral("自動"), -1);
  for (TextEncoding encoding : kTextEncodings) {
    if (encoding == TextEncoding::Utf8Bom) continue;  // the same decoding as UTF-8
    encodings->addItem(EncodingLabel(encoding), static_cast<int>(encoding));
  }
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    const int row = grid->rowCount();
    auto* label = new QLabel(QStringLiteral("文字コード(&E):"), &dialog);
    label->setBuddy(encodings);
    grid->addWidget(label, row, 0);
    grid->addWidget(encodings, row, 1);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  OpenChoice choice;
  choice.path = dialog.selectedFiles().front();
  const int chosen = encodings->currentData().toInt();
  if (chosen >= 0) choice.encoding = static_cast<TextEncoding>(chosen);
  return choice;
}

bool StandardDialogs::AskOpenInBrowser(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Sorowa"), text, QMessageBox::NoButton,
                  parent);
  QPushButton* open = box.addButton(QStringLiteral("ブラウザで開く(&W)"), QMessageBox::AcceptRole);
  box.addButton(QStringLiteral("閉じる"), QMessageBox::RejectRole);
  box.setDefaultButton(open);
  box.exec();
  return box.clickedButton() == open;
}

}  // namespace sorowa
