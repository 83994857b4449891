#pragma once

#include <QString>
#include <QWebEngineView>

namespace sorowa {

// The embedded browser that shows the report files. It remembers which report file it shows,
// so that Save and Print know whether there is anything to act on.
class ReportView : public QWebEngineView {
  Q_OBJECT

 public:
  explicit ReportView(QWidget* parent = nullptr);

  // Loads the file by its path, with nothing else in the request. Returns at once.
  void ShowReport(const QString& filePath);

  bool HasReport() const { return !reportPath_.isEmpty(); }
  // The report file shown now; empty before the first Compare.
  QString ReportPath() const { return reportPath_; }

 protected:
  // Only what makes sense for a report: copying. Back, forward and reload would show some
  // other page than the last Compare's report.
  void contextMenuEvent(QContextMenuEvent* event) override;

 signals:
  // The shown report could not be loaded; description is the browser's own wording.
  void ReportLoadFailed(const QString& description);

 private:
  QString reportPath_;
};

}  // namespace sorowa
