#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <chrono>
#include <cstddef>
#include <memory>

#include "base/long_work.h"

class QProgressDialog;
class QWidget;

namespace sorowa {

// What the user sees while a Compare runs on the user-interface thread: a busy cursor at
// once, and after a delay a progress dialog with the pairs done out of the total and a
// Cancel button. Meanwhile no click or key reaches the window. Lives for one Compare.
class CompareProgress {
 public:
  CompareProgress(QWidget* window, std::chrono::milliseconds dialogDelay);
  ~CompareProgress();
  CompareProgress(const CompareProgress&) = delete;
  CompareProgress& operator=(const CompareProgress&) = delete;

  // Called before each pair. Keeps the window painted and returns false once the user has
  // asked to cancel.
  bool Update(std::size_t done, std::size_t total);
  // Called instead while one table of the pair next in line takes long: the dialog comes up
  // at once (the wait is known to be long) with the estimate and the share done, and its
  // Cancel works as for the pairs. Returns false once the user has asked to cancel.
  bool UpdateLongWork(const LongWorkStatus& status);
  void Cancel() { cancelled_ = true; }
  // Takes the dialog down before a message box about this Compare appears.
  void HideDialog();
  bool Cancelled() const { return cancelled_; }

 private:
  class InputBlocker;

  void ShowDialog(std::size_t total);
  // Keeps the window painted (and, with the dialog up, its Cancel button working).
  void HandleEvents();

  QPointer<QWidget> window_;
  std::chrono::milliseconds dialogDelay_;
  QElapsedTimer clock_;
  qint64 lastEventsAt_ = -1;
  std::unique_ptr<QProgressDialog> dialog_;
  bool cancelled_ = false;
  std::unique_ptr<InputBlocker> inputBlocker_;
};

}  // namespace sorowa
