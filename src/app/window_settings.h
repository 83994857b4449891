#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QAction;
class QCheckBox;
class QSettings;

namespace sorowa {

// What the window remembers between runs: every option box and checkable menu item (by its
// object name, so ones added later are kept too), the window's geometry, the splitters and the last
// folder used. Without a settings store nothing is kept, which is what the tests use.
class WindowSettings {
 public:
  explicit WindowSettings(QSettings* settings) : settings_(settings) {}

  bool IsKept() const { return settings_ != nullptr; }
  void RestoreBoxes(const QList<QCheckBox*>& boxes) const;
  void SaveBoxes(const QList<QCheckBox*>& boxes);
  void RestoreItems(const QList<QAction*>& items) const;
  void SaveItems(const QList<QAction*>& items);
  QByteArray Geometry() const;
  void SetGeometry(const QByteArray& geometry);
  // A splitter's state, by the splitter's object name.
  QByteArray SplitterState(const QString& name) const;
  void SetSplitterState(const QString& name, const QByteArray& state);
  // The folder of the last file opened or saved; empty when none yet.
  QString LastFolder() const;
  void SetLastFolder(const QString& folder);

 private:
  QSettings* settings_;
  QString lastFolder_;  // kept for this run even without a store
};

}  // namespace sorowa
