#pragma once

#include <QLabel>

namespace sorowa {

// The line under the report: what the last Compare found, then what the window is doing or
// has just done (printing, the last change reached), then the normalisation switches that
// are on, which change every Compare without showing anywhere else.
class StatusLine : public QLabel {
  Q_OBJECT

 public:
  explicit StatusLine(QWidget* parent = nullptr);

  void SetSummary(const QString& summary);
  // Replaces the note about the last thing done; empty removes it.
  void SetActivity(const QString& activity);
  QString Activity() const { return activity_; }
  void SetNormalization(const QString& normalization);

 private:
  void Update();

  QString summary_;
  QString activity_;
  QString normalization_;
};

}  // namespace sorowa
