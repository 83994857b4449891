#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace sorowa {

// Over the report once it no longer matches the editors or the options: says what changed
// since it was made, with a button that compares again. Hidden while the report is current.
class StaleBar : public QFrame {
  Q_OBJECT

 public:
  explicit StaleBar(QWidget* parent = nullptr);

  // Shows the bar when either changed, hides it when neither did.
  void Show(bool textsChanged, bool optionsChanged);
  QPushButton* RecompareButton() const { return recompare_; }

 signals:
  void RecompareRequested();

 private:
  QLabel* text_ = nullptr;
  QPushButton* recompare_ = nullptr;
};

}  // namespace sorowa
