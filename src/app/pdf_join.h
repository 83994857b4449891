#pragma once

#include <QByteArray>
#include <QStringList>

namespace sorowa {

// The pages of the PDF files, in order, as one PDF file's bytes (through qpdf). Throws
// std::runtime_error with qpdf's message when a file cannot be read as a PDF.
QByteArray JoinPdfFiles(const QStringList& files);

}  // namespace sorowa
