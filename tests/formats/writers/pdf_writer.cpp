#include "pdf_writer.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <stdexcept>

namespace sorowa::testdocs {

namespace {

QString ToQString(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string FromQString(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                        static_cast<std::size_t>(text.size()));
}

// Points, at 72 dots an inch: A4 with margins of about 2 cm.
constexpr double kPageWidth = 595, kPageHeight = 842, kMargin = 56;
constexpr double kMeasure = kPageWidth - 2 * kMargin;

}  // namespace

TypesetPdf TypesetPdfDocument(const std::vector<std::u16string>& paragraphs,
                              std::size_t linesPerPage) {
  QFont body(QStringLiteral("Noto Serif CJK JP"));
  body.setPointSizeF(9);
  // Glyphs straight from the font's character map: Qt maps glyphs back to text through that
  // map alone, so a glyph that shaping substituted would reach the PDF without its text.
  body.setStyleStrategy(QFont::PreferNoShaping);
  body.setKerning(false);
  QFont head = body;
  head.setPointSizeF(7.5);
  const QFontMetricsF metrics(body);

  // Lines of the measure, broken between characters (as Japanese is), never inside a
  // surrogate pair; the spaces at a break are dropped, as a typesetter drops them.
  std::vector<std::u16string> lines;
  for (const std::u16string& paragraph : paragraphs) {
    const QString text = ToQString(paragraph);
    qsizetype start = 0;
    while (start < text.size()) {
      qsizetype end = start;
      while (end < text.size()) {
        const qsizetype step = text[end].isHighSurrogate() ? 2 : 1;
        if (metrics.horizontalAdvance(text.mid(start, end + step - start)) > kMeasure) break;
        end += step;
      }
      if (end == start) end = start + (text[start].isHighSurrogate() ? 2 : 1);
      lines.push_back(FromQString(text.mid(start, end - start).trimmed()));
      start = end;
      while (start < text.size() && text[start] == QLatin1Char(' ')) ++start;
    }
  }

  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  TypesetPdf result;
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator(QStringLiteral("sorowa tests"));
    QPainter painter(&writer);
    const double lineHeight = 15;
    for (std::size_t first = 0, page = 1; first < lines.size(); first += linesPerPage, ++page) {
      if (page > 1) writer.newPage();
      std::vector<std::u16string> pageLines;
      const std::u16string running = u"校正刷り　第" + FromQString(QString::number(page)) + u"稿";
      painter.setFont(head);
      painter.drawText(QPointF(kMargin, kMargin - 20), ToQString(running));
      pageLines.push_back(running);
      painter.setFont(body);
      for (std::size_t i = first; i < std::min(lines.size(), first + linesPerPage); ++i) {
        painter.drawText(
            QPointF(kMargin, kMargin + lineHeight * static_cast<double>(i - first + 1)),
            ToQString(lines[i]));
        pageLines.push_back(lines[i]);
      }
      const QString number = QString::number(page);
      painter.setFont(head);
      painter.drawText(QPointF((kPageWidth - QFontMetricsF(head).horizontalAdvance(number)) / 2,
                               kPageHeight - kMargin + 20),
                       number);
      pageLines.push_back(FromQString(number));
      result.pages.push_back(std::move(pageLines));
    }
  }
  buffer.close();
  result.bytes.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return result;
}

std::string ImageOnlyPdf() {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    QPainter painter(&writer);
    QImage scan(200, 100, QImage::Format_RGB32);
    scan.fill(Qt::white);
    {
      QPainter onScan(&scan);
      onScan.fillRect(20, 40, 160, 10, Qt::black);  // a line of "text", as pixels
    }
    painter.drawImage(QPointF(50, 50), scan);
  }
  buffer.close();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace sorowa::testdocs
