#pragma once

#include <QObject>

class QAction;
class QMenu;

namespace sorowa {

class ReportView;

// Zooms the report: 拡大 (Ctrl++), 縮小 (Ctrl+-) and 標準の大きさ (Ctrl+0), added to a menu.
// The browser keeps its zoom per page, so the factor is applied again to every page loaded,
// every part of a big report included.
class ReportZoom : public QObject {
  Q_OBJECT

 public:
  ReportZoom(ReportView& view, QMenu& menu, QObject* parent = nullptr);

  double Factor() const { return factor_; }

 signals:
  // The user changed the factor.
  void Zoomed(double factor);

 private:
  void Step(int steps);
  void Apply();

  ReportView& view_;
  double factor_ = 1.0;
};

}  // namespace sorowa
