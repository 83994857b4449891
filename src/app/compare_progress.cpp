#include "app/compare_progress.h"

#include <QApplication>
#include <QCursor>
#include <QProgressDialog>
#include <QWindow>
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

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
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

// Does what a modal dialog would: while the Compare runs, clicks, keys, shortcuts, wheel
// turns and drops reach the progress dialog and nothing else, so that nothing can start in
// the middle of the Compare or change the texts under it. A modal dialog cannot be used:
// the window system's close requests for a window under a modal dialog are dropped, and
// closing the window must cancel the Compare.
class CompareProgress::InputBlocker : public QObject {
 public:
  explicit InputBlocker(const CompareProgress& progress) : progress_(progress) {
    qApp->installEventFilter(this);
  }
  ~InputBlocker() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!IsUserInput(event->type()) || InDialog(watched)) return false;
    // An accepted override keeps the key from triggering any shortcut.
    if (event->type() == QEvent::ShortcutOverride) event->accept();
    return true;
  }

 private:
  bool InDialog(const QObject* object) const {
    const QProgressDialog* dialog = progress_.dialog_.get();
    if (dialog == nullptr) return false;
    if (const auto* window = qobject_cast<const QWindow*>(object)) {
      return window == dialog->windowHandle();
    }
    for (; object != nullptr; object = object->parent()) {
      if (object == dialog) return true;
    }
    return false;
  }

  const CompareProgress& progress_;
};

CompareProgress::CompareProgress(QWidget* window, std::chrono::milliseconds dialogDelay)
    : window_(window),
      dialogDelay_(dialogDelay),
      inputBlocker_(std::make_unique<InputBlocker>(*this)) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  clock_.start();
}

CompareProgress::~CompareProgress() {
  inputBlocker_.reset();
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
  // Input reaches only the dialog's Cancel button (InputBlocker); a close request for the
  // window reaches closeEvent, which cancels.
  QApplication::processEvents();
  if (dialog_ && dialog_->wasCanceled()) cancelled_ = true;
}

void CompareProgress::HideDialog() {
  if (dialog_) dialog_->hide();
}

void CompareProgress::ShowDialog(std::size_t total) {
  dialog_ = std::make_unique<QProgressDialog>(window_);
  dialog_->setWindowTitle(QStringLiteral("Sorowa"));
  dialog_->setCancelButtonText(QStringLiteral("キャンセル"));
  // Not modal: see InputBlocker.
  dialog_->setWindowModality(Qt::NonModal);
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
