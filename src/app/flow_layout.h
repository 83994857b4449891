#pragma once

#include <QLayout>
#include <QList>

namespace sorowa {

// Lays its items out left to right at their preferred sizes and starts a new line when the
// next one does not fit, so that a narrow window keeps every control whole and visible.
// Items in one line are centred vertically on each other.
class FlowLayout : public QLayout {
 public:
  FlowLayout(int horizontalSpacing, int verticalSpacing);
  ~FlowLayout() override;

  void addItem(QLayoutItem* item) override;
  int count() const override { return static_cast<int>(items_.size()); }
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;

  Qt::Orientations expandingDirections() const override { return {}; }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  void setGeometry(const QRect& rect) override;

 private:
  // Places the items in rect (unless only measuring) and returns the height they take.
  int Arrange(const QRect& rect, bool place) const;

  QList<QLayoutItem*> items_;
  int horizontalSpacing_;
  int verticalSpacing_;
};

}  // namespace sorowa
