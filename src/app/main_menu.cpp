#include "app/main_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QKeySequence>
#include <QMenu>
#include <QRegularExpression>

namespace sorowa {
namespace {

QAction* AddItem(QMenu* menu, const QString& text, const char* name,
                 const QKeySequence& shortcut = QKeySequence()) {
  QAction* action = menu->addAction(text);
  action->setObjectName(QLatin1String(name));
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  return action;
}

}  // namespace

MainMenu::MainMenu(QWidget* parent) : QMenuBar(parent) {
  setObjectName(QStringLiteral("mainMenu"));
  fileMenu = addMenu(QStringLiteral("ファイル(&F)"));
  fileMenu->setObjectName(QStringLiteral("fileMenu"));
  openSource = AddItem(fileMenu, QStringLiteral("ソースを開く(&O)…"), "openSourceAction",
                       QKeySequence(Qt::CTRL | Qt::Key_O));
  openTarget = AddItem(fileMenu, QStringLiteral("ターゲットを開く(&T)…"), "openTargetAction",
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  fileMenu->addSeparator();
  save = AddItem(fileMenu, QStringLiteral("保存(&S)…"), "saveAction");
  print = AddItem(fileMenu, QStringLiteral("印刷(&P)…"), "printAction");
  fileMenu->addSeparator();
  quit = AddItem(fileMenu, QStringLiteral("終了(&X)"), "quitAction",
                 QKeySequence(Qt::CTRL | Qt::Key_Q));

  viewMenu = addMenu(QStringLiteral("表示(&V)"));
  viewMenu->setObjectName(QStringLiteral("viewMenu"));
  nextChange = AddItem(viewMenu, QStringLiteral("次の相違(&N)"), "nextChangeAction",
                       QKeySequence(Qt::Key_F8));
  previousChange = AddItem(viewMenu, QStringLiteral("前の相違(&R)"), "previousChangeAction",
                           QKeySequence(Qt::SHIFT | Qt::Key_F8));
  viewMenu->addSeparator();
  find = AddItem(viewMenu, QStringLiteral("検索(&F)…"), "findAction",
                 QKeySequence(Qt::CTRL | Qt::Key_F));
  // What the report is: the two texts side by side, or the tables. One of them is always
  // chosen.
  viewMenu->addSeparator();
  reviewView = AddItem(viewMenu, QStringLiteral("対照表示(&A)"), "reviewViewAction");
  tablesView = AddItem(viewMenu, QStringLiteral("表形式(&T)"), "tablesViewAction");
  auto* views = new QActionGroup(this);
  for (QAction* action : ViewItems()) {
    action->setCheckable(true);
    views->addAction(action);
  }
  tablesView->setChecked(true);

  optionsMenu = addMenu(QStringLiteral("オプション(&O)"));
  optionsMenu->setObjectName(QStringLiteral("optionsMenu"));
  // Applied to both texts before anything is compared; off until the user turns them on.
  normalizationStart_ = optionsMenu->addSeparator();
  normalizeNfkc = AddItem(optionsMenu, QStringLiteral("NFKC 正規化(&N)"), "normalizeNfkcAction");
  foldKana = AddItem(optionsMenu, QStringLiteral("かな同一視(&H)"), "foldKanaAction");
  ignoreSpace = AddItem(optionsMenu, QStringLiteral("空白を無視(&W)"), "ignoreSpaceAction");
  ignorePunctuation =
      AddItem(optionsMenu, QStringLiteral("句読点を無視(&U)"), "ignorePunctuationAction");
  for (QAction* action : NormalizationItems()) action->setCheckable(true);
  // The shortcuts work wherever the focus is in the window, the report view included.
  for (QAction* action : {openSource, openTarget, quit, nextChange, previousChange, find}) {
    action->setShortcutContext(Qt::WindowShortcut);
  }
}

void MainMenu::MirrorOption(QCheckBox* box) {
  // The box's caption without its mnemonic: the menu has its own keys.
  QString text = box->text();
  text.remove(QRegularExpression(QStringLiteral("\\(&.\\)$")));
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(QLatin1Char('&'));
  text.replace(QStringLiteral("\x01"), QStringLiteral("&&"));
  auto* action = new QAction(text, optionsMenu);
  optionsMenu->insertAction(normalizationStart_, action);
  action->setObjectName(box->objectName() + QStringLiteral("Action"));
  action->setCheckable(true);
  action->setChecked(box->isChecked());
  connect(action, &QAction::toggled, box, &QCheckBox::setChecked);
  connect(box, &QCheckBox::toggled, action, &QAction::setChecked);
}

}  // namespace sorowa
