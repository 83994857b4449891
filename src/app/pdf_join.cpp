// Only qpdf's shared pointers, none of its older PointerHolder.
#define POINTERHOLDER_TRANSITION 4

#include "app/pdf_join.h"

#include <QFile>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <vector>

namespace sorowa {

void JoinPdfFiles(const QStringList& files, const QString& output) {
  QPDF joined;
  joined.emptyPDF();
  QPDFPageDocumentHelper pages(joined);
  // The pages are copied from their files when the joined one is written: keep them open.
  std::vector<std::unique_ptr<QPDF>> inputs;
  for (const QString& file : files) {
    auto input = std::make_unique<QPDF>();
    input->setSuppressWarnings(true);
    input->processFile(QFile::encodeName(file).constData());
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*input).getAllPages()) {
      pages.addPage(page, false);
    }
    inputs.push_back(std::move(input));
  }
  QPDFWriter writer(joined, QFile::encodeName(output).constData());
  writer.write();
}

}  // namespace sorowa
