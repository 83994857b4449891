#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace sorowa {

class ReportView;

// Over a big report shown in parts: which pairs the shown part holds, which part is on its
// way while one loads, and buttons to the part before and after the one asked for last.
// Hidden while the report is shown whole.
class PageBar : public QWidget {
  Q_OBJECT

 public:
  explicit PageBar(ReportView& view, QWidget* parent = nullptr);

 private:
  void Update();

  ReportView& view_;
  QLabel* text_ = nullptr;
  QToolButton* previous_ = nullptr;
  QToolButton* next_ = nullptr;
};

}  // namespace sorowa
