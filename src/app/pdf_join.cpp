// Only qpdf's shared pointers, none of its older PointerHolder.
#define POINTERHOLDER_TRANSITION 4

#include "app/pdf_join.h"

#include <QFile>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <vector>

namespace sorowa {

QByteArray JoinPdfFiles(const QStringList& files) {
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
  QPDFWriter writer(joined);
  writer.setOutputMemory();
  writer.write();
  const std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
  return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()),
                    static_cast<qsizetype>(buffer->getSize()));
}

}  // namespace sorowa
