#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace sorowa {

// The report files the window's Compares wrote into the temporary folder. A report there
// can be hundreds of megabytes, and the folder is often kept in memory, so the window
// deletes each one as soon as a newer report replaces it and nothing reads it any more
// (printing may go on in the background), and the last one when it closes. Copies the user
// saved are elsewhere and stay.
class TempReports {
 public:
  TempReports() = default;
  ~TempReports() { RemoveAll(); }
  TempReports(const TempReports&) = delete;
  TempReports& operator=(const TempReports&) = delete;

  // A report just written: it is the current one, and the earlier ones go unless held.
  void Adopt(const QString& path);
  // Keeps a report, current or not, until as many Release calls.
  void Hold(const QString& path);
  void Release(const QString& path);
  // Deletes every report, held or not: the window is closing.
  void RemoveAll();

 private:
  void RemoveUnused();

  QStringList paths_;  // oldest first; the last is the current one
  QHash<QString, int> holds_;
};

}  // namespace sorowa
