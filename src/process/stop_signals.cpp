#include "process/stop_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace sorowa {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Lock-free atomics may be used in a signal handler, and the handler may run on any thread.
std::atomic<int> receivedSignal{0};
std::atomic<int> notifyDescriptor{-1};
static_assert(std::atomic<int>::is_always_lock_free);

void SetAction(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocking read of standard input returns, and the program can stop.
  action.sa_flags = 0;
  ::sigaction(signal, &action, nullptr);
}

extern "C" void OnStopSignal(int signal) {
  // Only async-signal-safe calls here.
  const int savedErrno = errno;
  int none = 0;
  receivedSignal.compare_exchange_strong(none, signal);
  for (int stop : kStopSignals) SetAction(stop, SIG_DFL);
  const int fd = notifyDescriptor.load();
  if (fd >= 0) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

void InstallStopSignalHandlers(int notifyFd) {
  notifyDescriptor = notifyFd;
  for (int signal : kStopSignals) SetAction(signal, OnStopSignal);
}

void StopNotifying() { notifyDescriptor = -1; }

int StopSignal() { return receivedSignal.load(); }

void EndBySignal(int signal) {
  SetAction(signal, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
  // Only reached when the signal does not end the process by default.
  std::_Exit(128 + signal);
}

}  // namespace sorowa
