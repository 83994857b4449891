#include "app/compare_progress.h"

#include <QApplication>
#include <QCursor>
#include <QProgressDialog>
#include <algorithm>

namespace sorowa {
namespace {

// Handling events costs time of its own; between pairs a few times a second is enough to
// keep the window painted and the Cancel button responsive.
constexpr qint64 kEventIntervalMs = 50;

// The dialog counts in int; very long texts are scaled down to fit.
int Scaled(std::size_t value, std::size_t total) {
  constexpr std::size_t kMax = 1'000'000;
  if (total <= kMax) return static_cast<int>(value);
  return static_cast<int>(static_cast<double>(value) / static_cast<double>(total) * kMax);
}

// "40 秒", "9 分", "1 時間 5 分".
QString JapaneseDurationWords(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  if (whole < 90) return QStringLiteral("%1 秒").arg(std::max(whole, 1LL));
  const long long minutes = (whole + 30) / 60;
  if (minutes < 90) return QStringLiteral("%1 分").arg(minutes);
  return QStringLiteral("%1 時間 %2 分").arg(minutes / 60).arg(minutes % 60);
}

}  // namespace

CompareProgress::CompareProgress(QWidget* window, std::chrono::milliseconds dialogDelay)
    : window_(window), dialogDelay_(dialogDelay) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  clock_.start();
}

CompareProgress::~CompareProgress() {
  if (dialog_) dialog_->hide();
  dialog_.reset();
  QApplication::restoreOverrideCursor();
}

bool CompareProgress::Update(std::size_t done, std::size_t total) {
  if (cancelled_) return false;
  const qint64 now = clock_.elapsed();
  if (lastEventsAt_ >= 0 && now - lastEventsAt_ < kEventIntervalMs) return true;
  lastEventsAt_ = now;

  if (!dialog_ && now >= dialogDelay_.count()) ShowDialog(total);
  if (dialog_) {
    dialog_->setMaximum(Scaled(total, total));
    dialog_->setValue(Scaled(done, total));
    dialog_->setLabelText(QStringLiteral("行の組を比較しています… %1 / %2").arg(done).arg(total));
  }
  HandleEvents();
  return !cancelled_;
}

bool CompareProgress::UpdateLongWork(const LongWorkStatus& status) {
  if (cancelled_) return false;
  const qint64 now = clock_.elapsed();
  if (lastEventsAt_ >= 0 && now - lastEventsAt_ < kEventIntervalMs) return true;
  lastEventsAt_ = now;

  constexpr int kSteps = 1000;
  if (!dialog_) ShowDialog(kSteps);
  dialog_->setMaximum(kSteps);
  dialog_->setValue(static_cast<int>(status.done * kSteps));
  dialog_->setLabelText(QStringLiteral("%1 組目の行（%2 と %3 の単位）を対応付けています。"
                                       "およそ %4 かかる見込みです… %5%")
                            .arg(status.pair + 1)
                            .arg(status.sourceLength)
                            .arg(status.targetLength)
                            .arg(JapaneseDurationWords(status.seconds))
                            .arg(static_cast<int>(status.done * 100)));
  HandleEvents();
  return !cancelled_;
}

void CompareProgress::HandleEvents() {
  if (dialog_) {
    // The dialog is modal, so only its Cancel button takes input.
    QApplication::processEvents();
    if (dialog_->wasCanceled()) cancelled_ = true;
  } else {
    // Until the dialog is up, keep the window painted but let no click or key start
    // anything in the middle of this Compare.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
}

void CompareProgress::HideDialog() {
  if (dialog_) dialog_->hide();
}

void CompareProgress::ShowDialog(std::size_t total) {
  dialog_ = std::make_unique<QProgressDialog>(window_);
  dialog_->setWindowTitle(QStringLiteral("Sorowa"));
  dialog_->setCancelButtonText(QStringLiteral("キャンセル"));
  dialog_->setWindowModality(Qt::WindowModal);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setMinimumDuration(0);
  dialog_->setRange(0, Scaled(total, total));
  QObject::connect(dialog_.get(), &QProgressDialog::canceled, [this] { cancelled_ = true; });
  dialog_->show();
  // The arrow shows that the Cancel button can be pressed while the work goes on.
  QApplication::changeOverrideCursor(Qt::BusyCursor);
}

}  // namespace sorowa
