#pragma once

#include <QObject>

class QSocketNotifier;

namespace sorowa {

// Brings SIGINT, SIGTERM and SIGHUP (Ctrl-C in the terminal, kill, the end of the desktop
// session) into the event loop: the handler writes to a pipe whose read end a socket
// notifier watches, and StopRequested is emitted from the loop, also from the events a
// running Compare lets through. There is one per process.
class StopSignalWatcher : public QObject {
  Q_OBJECT

 public:
  explicit StopSignalWatcher(QObject* parent = nullptr);
  ~StopSignalWatcher() override;

 signals:
  void StopRequested(int signal);

 private:
  int pipe_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace sorowa
