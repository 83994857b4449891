#pragma once

#include <QString>
#include <QStringList>

namespace sorowa {

// Writes the pages of the PDF files, in order, as one PDF file at output (through qpdf),
// straight to the file: a long report's PDF can be hundreds of megabytes. Throws
// std::runtime_error with qpdf's message when a file cannot be read as a PDF or output
// cannot be written.
void JoinPdfFiles(const QStringList& files, const QString& output);

}  // namespace sorowa
