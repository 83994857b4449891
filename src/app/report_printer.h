#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <memory>

class QPrinter;
class QTemporaryDir;
class QWebEngineView;
class QWidget;

namespace sorowa {

class Dialogs;
class ReportView;

// The Print command: the print dialog, then the report as shown goes to paper or to a PDF
// file as vector output. The page is printed from a view of its own, never shown, in which
// every table wider than the paper is laid out again in parts that fit one under another,
// so nothing is cut off at the margin; the report view itself is left alone.
//
// A PDF file chosen in the print dialog is written directly. For a printer the PDF goes to
// the print system (lp), which takes PDF as it is; without lp the page is printed through
// the browser's own printing. The work runs in the background; Finished tells how it ended.
class ReportPrinter : public QObject {
  Q_OBJECT

 public:
  ReportPrinter(ReportView& view, Dialogs& dialogs, QObject* parent = nullptr);
  ~ReportPrinter() override;

  void Print(QWidget* parent);
  bool IsPrinting() const { return printer_ != nullptr; }

  // The script that lays wide tables out in parts no wider than width CSS pixels; it
  // returns how many tables it split.
  static QString WrapTablesScript(double width);

 signals:
  void Finished(bool ok);

 private:
  void OnLoaded(bool ok);
  void OnLaidOut();
  void OnPdfWritten(const QString& path, bool ok);
  void OnBrowserPrinted(bool ok);
  void End(bool ok, const QString& problem = QString());

  ReportView& view_;
  Dialogs& dialogs_;
  // Must outlive the printing, which ends only with a signal.
  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<QWebEngineView> printView_;
  std::unique_ptr<QTemporaryDir> spool_;
  QPointer<QWidget> parent_;
  QUrl url_;
};

}  // namespace sorowa
