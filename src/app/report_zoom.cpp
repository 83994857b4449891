#include "app/report_zoom.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <algorithm>
#include <array>
#include <cmath>

#include "app/report_view.h"

namespace sorowa {
namespace {

// The steps web browsers use.
constexpr std::array<double, 13> kFactors{0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                                          1.25, 1.5,  1.75, 2.0, 2.5, 3.0};

QAction* AddItem(QMenu& menu, const QString& text, const char* name,
                 const QList<QKeySequence>& keys) {
  QAction* action = menu.addAction(text);
  action->setObjectName(QLatin1String(name));
  action->setShortcuts(keys);
  // Wherever the focus is in the window, the report view included.
  action->setShortcutContext(Qt::WindowShortcut);
  return action;
}

}  // namespace

ReportZoom::ReportZoom(ReportView& view, QMenu& menu, QObject* parent)
    : QObject(parent), view_(view) {
  menu.addSeparator();
  // Ctrl++ is Ctrl+Shift+= on many keyboards; Ctrl+= and the keypad's keys do as well.
  QAction* in = AddItem(
      menu, QStringLiteral("拡大(&I)"), "zoomInAction",
      {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal),
       QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus))});
  QAction* out = AddItem(
      menu, QStringLiteral("縮小(&O)"), "zoomOutAction",
      {QKeySequence(Qt::CTRL | Qt::Key_Minus),
       QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Minus))});
  QAction* reset =
      AddItem(menu, QStringLiteral("標準の大きさ(&Z)"), "zoomResetAction",
              {QKeySequence(Qt::CTRL | Qt::Key_0),
               QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_0))});
  connect(in, &QAction::triggered, this, [this] { Step(+1); });
  connect(out, &QAction::triggered, this, [this] { Step(-1); });
  connect(reset, &QAction::triggered, this, [this] {
    factor_ = 1.0;
    Apply();
    emit Zoomed(factor_);
  });
  connect(&view_, &QWebEngineView::loadFinished, this, &ReportZoom::Apply);
}

void ReportZoom::Step(int steps) {
  // The nearest step to the factor now, then steps on.
  const auto nearest = std::min_element(
      kFactors.begin(), kFactors.end(),
      [this](double a, double b) { return std::abs(a - factor_) < std::abs(b - factor_); });
  const auto at = std::clamp<std::ptrdiff_t>(nearest - kFactors.begin() + steps, 0,
                                             static_cast<std::ptrdiff_t>(kFactors.size()) - 1);
  factor_ = kFactors[static_cast<std::size_t>(at)];
  Apply();
  emit Zoomed(factor_);
}

void ReportZoom::Apply() { view_.setZoomFactor(factor_); }

}  // namespace sorowa
