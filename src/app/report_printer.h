#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class QPrinter;
class QWidget;

namespace sorowa {

class Dialogs;
class ReportView;

// The Print command: the print dialog, then the view prints the page as it is shown. The
// view prints in the background; the result arrives through printFinished.
class ReportPrinter : public QObject {
  Q_OBJECT

 public:
  ReportPrinter(ReportView& view, Dialogs& dialogs, QObject* parent = nullptr);
  ~ReportPrinter() override;

  void Print(QWidget* parent);
  bool IsPrinting() const { return printer_ != nullptr; }

 signals:
  void Finished(bool ok);

 private:
  void OnPrintFinished(bool ok);

  ReportView& view_;
  Dialogs& dialogs_;
  // Must outlive the view's printing, which ends only with printFinished.
  std::unique_ptr<QPrinter> printer_;
  QPointer<QWidget> parent_;
};

}  // namespace sorowa
