#include "app/report_printer.h"

#include <QPrinter>

#include "app/dialogs.h"
#include "app/report_view.h"

namespace sorowa {

ReportPrinter::ReportPrinter(ReportView& view, Dialogs& dialogs, QObject* parent)
    : QObject(parent), view_(view), dialogs_(dialogs) {
  connect(&view_, &QWebEngineView::printFinished, this, &ReportPrinter::OnPrintFinished);
}

ReportPrinter::~ReportPrinter() = default;

void ReportPrinter::Print(QWidget* parent) {
  if (!view_.HasReport()) {
    dialogs_.ShowError(parent, QStringLiteral("印刷するレポートがまだありません。"),
                       QStringLiteral("先に［比較］を押してレポートを作ってください。"));
    return;
  }
  if (IsPrinting()) {
    dialogs_.ShowError(parent, QStringLiteral("前の印刷がまだ終わっていません。"),
                       QStringLiteral("終わってからもう一度［印刷］を押してください。"));
    return;
  }
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setDocName(view_.title().isEmpty() ? QStringLiteral("Sorowa") : view_.title());
  if (!dialogs_.AskPrintSettings(parent, *printer)) return;

  printer_ = std::move(printer);
  parent_ = parent;
  view_.print(printer_.get());
}

void ReportPrinter::OnPrintFinished(bool ok) {
  if (!printer_) return;  // a print that someone else started on the view
  printer_.reset();
  if (!ok) {
    dialogs_.ShowError(parent_, QStringLiteral("レポートを印刷できませんでした。"),
                       QStringLiteral("プリンターの設定を確かめて、もう一度お試しください。"));
  }
  emit Finished(ok);
}

}  // namespace sorowa
