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

 signals:
  // The user wants the whole report in the web browser: the part shown is a table too big
  // for the view.
  void OpenInBrowser();

 private:
  void Update();
  // Which pairs or tables the part on screen holds; empty before one is.
  QString ShownText() const;

  ReportView& view_;
  QLabel* text_ = nullptr;
  QToolButton* previous_ = nullptr;
  QToolButton* next_ = nullptr;
  QToolButton* openInBrowser_ = nullptr;
};

}  // namespace sorowa
