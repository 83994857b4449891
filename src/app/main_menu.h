#pragma once

#include <QList>
#include <QMenuBar>

class QAction;
class QCheckBox;
class QMenu;

namespace sorowa {

// The window's menu bar. Its titles take the mnemonics F, V and O, which no button or box of
// the window uses (they have C, S, P, D, K, G, B, M, and L is kept for the line pairing box).
// The normalisation items of オプション keep clear of all of those too (N, H, W, U).
class MainMenu : public QMenuBar {
  Q_OBJECT

 public:
  explicit MainMenu(QWidget* parent = nullptr);

  // Adds a checkable item to オプション, above the normalisation items, that stays in step
  // with box both ways.
  void MirrorOption(QCheckBox* box);
  // The normalisation switches, which have no box of their own.
  QList<QAction*> NormalizationItems() const {
    return {normalizeNfkc, foldKana, ignoreSpace, ignorePunctuation};
  }
  // The two views of the report, one of them checked.
  QList<QAction*> ViewItems() const { return {reviewView, tablesView}; }

  QMenu* fileMenu = nullptr;
  QMenu* viewMenu = nullptr;
  QMenu* optionsMenu = nullptr;
  QAction* openSource = nullptr;
  QAction* openTarget = nullptr;
  QAction* save = nullptr;
  QAction* print = nullptr;
  QAction* quit = nullptr;
  QAction* nextChange = nullptr;
  QAction* previousChange = nullptr;
  QAction* find = nullptr;
  QAction* reviewView = nullptr;
  QAction* tablesView = nullptr;
  QAction* normalizeNfkc = nullptr;
  QAction* foldKana = nullptr;
  QAction* ignoreSpace = nullptr;
  QAction* ignorePunctuation = nullptr;

 private:
  QAction* normalizationStart_ = nullptr;  // the separator above the normalisation items
};

}  // namespace sorowa
