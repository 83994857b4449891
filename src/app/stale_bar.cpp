#include "app/stale_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace sorowa {

StaleBar::StaleBar(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("staleBar"));
  // The colours of an information bar, so that it is seen without being an error.
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, QColor(0xff, 0xf4, 0xce));
  colours.setColor(QPalette::WindowText, QColor(0x33, 0x2b, 0x00));
  setPalette(colours);
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("staleText"));
  text_->setWordWrap(true);
  recompare_ = new QPushButton(QStringLiteral("再比較(&R)"), this);
  recompare_->setObjectName(QStringLiteral("recompareButton"));
  recompare_->setAutoDefault(false);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(6, 2, 6, 2);
  row->addWidget(text_, 1);
  row->addWidget(recompare_);
  connect(recompare_, &QPushButton::clicked, this, &StaleBar::RecompareRequested);
  hide();
}

void StaleBar::Show(bool textsChanged, bool optionsChanged) {
  if (!textsChanged && !optionsChanged) {
    hide();
    return;
  }
  const QString what = textsChanged && optionsChanged ? QStringLiteral("テキストとオプション")
                       : textsChanged                 ? QStringLiteral("テキスト")
                                                      : QStringLiteral("オプション");
  text_->setText(QStringLiteral("このレポートを作った後に%1が変わりました。"
                                "いまの内容で比べるには［再比較］を押してください。")
                     .arg(what));
  show();
}

}  // namespace sorowa
