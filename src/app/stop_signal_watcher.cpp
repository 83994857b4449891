#include "app/stop_signal_watcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "process/stop_signals.h"

namespace sorowa {

StopSignalWatcher::StopSignalWatcher(QObject* parent) : QObject(parent) {
  // Non-blocking, so that the handler never waits on a full pipe.
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    // Without a pipe the handler still records the signal; nobody is told, and the default
    // action comes with the second signal.
    InstallStopSignalHandlers();
    return;
  }
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
    }
    if (const int signal = StopSignal()) emit StopRequested(signal);
  });
  InstallStopSignalHandlers(pipe_[1]);
}

StopSignalWatcher::~StopSignalWatcher() {
  // The handler stays installed; it must no longer write into a closed descriptor.
  StopNotifying();
  delete notifier_;
  for (int fd : pipe_) {
    if (fd >= 0) ::close(fd);
  }
}

}  // namespace sorowa
