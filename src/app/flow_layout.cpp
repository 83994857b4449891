#include "app/flow_layout.h"

#include <QWidget>
#include <algorithm>

namespace sorowa {

FlowLayout::FlowLayout(int horizontalSpacing, int verticalSpacing)
    : horizontalSpacing_(horizontalSpacing), verticalSpacing_(verticalSpacing) {
  setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
  while (QLayoutItem* item = takeAt(0)) delete item;
}

void FlowLayout::addItem(QLayoutItem* item) { items_.append(item); }

QLayoutItem* FlowLayout::itemAt(int index) const {
  return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index) {
  return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

int FlowLayout::heightForWidth(int width) const { return Arrange(QRect(0, 0, width, 0), false); }

QSize FlowLayout::sizeHint() const {
  // Preferred: everything on one line.
  int width = 0;
  int height = 0;
  int visible = 0;
  for (const QLayoutItem* item : items_) {
    if (item->isEmpty()) continue;
    const QSize size = item->sizeHint();
    width += size.width();
    height = std::max(height, size.height());
    ++visible;
  }
  if (visible > 1) width += (visible - 1) * horizontalSpacing_;
  const QMargins margins = contentsMargins();
  return QSize(width + margins.left() + margins.right(), height + margins.top() + margins.bottom());
}

QSize FlowLayout::minimumSize() const {
  // At the least, the widest item on a line of its own.
  QSize size;
  for (const QLayoutItem* item : items_) {
    if (!item->isEmpty()) size = size.expandedTo(item->sizeHint());
  }
  const QMargins margins = contentsMargins();
  return size.grownBy(margins);
}

void FlowLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  Arrange(rect, true);
}

int FlowLayout::Arrange(const QRect& rect, bool place) const {
  const QRect area = rect.marginsRemoved(contentsMargins());
  QList<QLayoutItem*> line;
  int lineWidth = 0;
  int y = area.y();

  auto finishLine = [&] {
    int lineHeight = 0;
    for (const QLayoutItem* item : line)
      lineHeight = std::max(lineHeight, item->sizeHint().height());
    if (place) {
      int x = area.x();
      for (QLayoutItem* item : line) {
        const QSize size = item->sizeHint();
        item->setGeometry(QRect(QPoint(x, y + (lineHeight - size.height()) / 2), size));
        x += size.width() + horizontalSpacing_;
      }
    }
    y += lineHeight + verticalSpacing_;
    line.clear();
    lineWidth = 0;
  };

  for (QLayoutItem* item : items_) {
    if (item->isEmpty()) continue;
    const int width = item->sizeHint().width();
    const int needed = line.isEmpty() ? width : lineWidth + horizontalSpacing_ + width;
    if (!line.isEmpty() && needed > area.width()) finishLine();
    lineWidth = line.isEmpty() ? width : lineWidth + horizontalSpacing_ + width;
    line.append(item);
  }
  if (!line.isEmpty()) finishLine();
  const int used = y - area.y() - (y > area.y() ? verticalSpacing_ : 0);
  return used + contentsMargins().top() + contentsMargins().bottom();
}

}  // namespace sorowa
