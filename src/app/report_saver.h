#pragma once

#include <QString>

class QWidget;

namespace sorowa {

class Dialogs;
class ReportView;

// The Save command: asks where, then writes the shown report there as one HTML file.
class ReportSaver {
 public:
  ReportSaver(const ReportView& view, Dialogs& dialogs) : view_(view), dialogs_(dialogs) {}

  // Offers suggestedPath in the save dialog. Returns where the report went, or an empty
  // string when nothing was saved.
  QString Save(QWidget* parent, const QString& suggestedPath);

  // Copies the report file byte for byte. The destination is replaced only once the whole
  // copy has been written, so a failure never leaves a truncated file. Returns an empty
  // string on success, otherwise what went wrong.
  static QString CopyReport(const QString& from, const QString& to);

 private:
  const ReportView& view_;
  Dialogs& dialogs_;
};

}  // namespace sorowa
