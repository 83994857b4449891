#include "app/dialogs.h"

#include <QCheckBox>
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

QString FormatLabel(InputFormat format) {
  const std::string_view label = InputFormatLabel(format);
  if (format == InputFormat::Text) return QStringLiteral("テキスト");
  return QString::fromLatin1(label.data(), static_cast<qsizetype>(label.size()));
}

std::optional<OpenChoice> StandardDialogs::AskOpenPath(QWidget* parent, const QString& title,
                                                       const QString& folder) {
  // Qt's own dialog, because the platform's cannot take the encoding choice.
  QFileDialog dialog(
      parent, title, folder,
      QStringLiteral("テキストと文書 (*.txt *.text *.csv *.tsv *.pdf *.docx *.odt "
                     "*.hocr *.html *.htm *.xml);;"
                     "テキスト ファイル (*.txt *.text *.csv *.tsv);;"
                     "PDF (*.pdf);;Word 文書 (*.docx);;OpenDocument テキスト (*.odt);;"
                     "OCR の結果 hOCR・ALTO・PAGE-XML (*.hocr *.html *.htm *.xml);;"
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
  auto* formats = new QComboBox(&dialog);
  formats->setObjectName(QStringLiteral("formatChoice"));
  formats->addItem(QStringLiteral("自動"), -1);
  for (InputFormat format :
       {InputFormat::Text, InputFormat::Pdf, InputFormat::Docx, InputFormat::Odt, InputFormat::Hocr,
        InputFormat::Alto, InputFormat::Page}) {
    formats->addItem(FormatLabel(format), static_cast<int>(format));
  }
  auto* keepRuby = new QCheckBox(QStringLiteral("ルビを残す(&R)"), &dialog);
  keepRuby->setObjectName(QStringLiteral("keepRubyChoice"));
  keepRuby->setToolTip(
      QStringLiteral("Word と OpenDocument の文書のルビを、親文字の後に（）で残します"));
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    int row = grid->rowCount();
    auto* label = new QLabel(QStringLiteral("文字コード(&E):"), &dialog);
    label->setBuddy(encodings);
    grid->addWidget(label, row, 0);
    grid->addWidget(encodings, row, 1);
    ++row;
    auto* formatLabel = new QLabel(QStringLiteral("形式(&F):"), &dialog);
    formatLabel->setBuddy(formats);
    grid->addWidget(formatLabel, row, 0);
    grid->addWidget(formats, row, 1);
    grid->addWidget(keepRuby, row, 2);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  OpenChoice choice;
  choice.path = dialog.selectedFiles().front();
  const int chosen = encodings->currentData().toInt();
  if (chosen >= 0) choice.encoding = static_cast<TextEncoding>(chosen);
  const int format = formats->currentData().toInt();
  if (format >= 0) choice.format = static_cast<InputFormat>(format);
  choice.keepRuby = keepRuby->isChecked();
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
