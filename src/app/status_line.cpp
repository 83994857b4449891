#include "app/status_line.h"

#include <QStringList>

namespace sorowa {

StatusLine::StatusLine(QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("compareStatus"));
  // A long note wraps instead of widening the window past its minimum size.
  setWordWrap(true);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setTextInteractionFlags(Qt::TextSelectableByMouse);
  setTextFormat(Qt::PlainText);
}

void StatusLine::SetSummary(const QString& summary) {
  summary_ = summary;
  Update();
}

void StatusLine::SetActivity(const QString& activity) {
  activity_ = activity;
  Update();
}

void StatusLine::SetNormalization(const QString& normalization) {
  normalization_ = normalization;
  Update();
}

void StatusLine::Update() {
  QStringList parts;
  for (const QString* part : {&summary_, &activity_, &normalization_}) {
    if (!part->isEmpty()) parts << *part;
  }
  setText(parts.join(QStringLiteral(" · ")));
}

}  // namespace sorowa
