#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <tuple>

extern char** environ;

namespace sorowa::testing_support {
namespace {

// How often a child that is watched or may hang is looked at.
constexpr int kPollMilliseconds = 5;

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

std::vector<std::string> ChildEnvironment(const std::map<std::string, std::string>& changes) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [name, value] : changes) {
    if (value.empty()) {
      env.erase(name);
    } else {
      env[name] = value;
    }
  }
  std::vector<std::string> entries;
  for (const auto& [name, value] : env) entries.push_back(name + "=" + value);
  return entries;
}

std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options) {
  std::vector<std::string> envStrings = ChildEnvironment(options.env);
  const std::vector<char*> envp = NullTerminated(envStrings);
  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  const std::vector<char*> argv = NullTerminated(argStrings);

  int in[2] = {-1, -1};
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    const int error = errno;
    for (int* fd : {&in[0], &in[1], &out[0], &out[1], &err[0], &err[1]}) CloseFd(*fd);
    throw std::system_error(error, std::generic_category(), "pipe");
  }
  const auto start = std::chrono::steady_clock::now();
  RunResult result;
  result.pid = ::fork();
  if (result.pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(options.stdoutFd >= 0 ? options.stdoutFd : out[1], 1);
    ::dup2(err[1], 2);
    // The program itself must cope with a closed reader; do not lend it our SIG_IGN.
    ::signal(SIGPIPE, SIG_DFL);
    if (options.beforeExec) options.beforeExec();
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  const int forkError = errno;
  CloseFd(in[0]);
  CloseFd(out[1]);
  CloseFd(err[1]);
  if (result.pid < 0) {
    for (int* fd : {&in[1], &out[0], &err[0]}) CloseFd(*fd);
    throw std::system_error(forkError, std::generic_category(), "fork");
  }

  std::size_t written = 0;
  int inFd = in[1];
  if (options.input.empty()) {
    CloseFd(inFd);
  } else {
    ::fcntl(inFd, F_SETFL, O_NONBLOCK);
  }
  int outFd = out[0];
  int errFd = err[0];
  bool watching = static_cast<bool>(options.whileRunning);
  const bool timed = watching || options.hangLimit.count() > 0;
  int status = 0;
  rusage usage{};
  bool reaped = false;
  auto reap = [&](int flags) {
    if (::wait4(result.pid, &status, flags, &usage) != result.pid) return;
    reaped = true;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  for (;;) {
    if (!reaped) reap(WNOHANG);
    const bool streamsOpen = inFd >= 0 || outFd >= 0 || errFd >= 0;
    if (reaped && !streamsOpen) break;
    if (!reaped) {
      if (watching && options.whileRunning(result.pid)) watching = false;
      if (options.hangLimit.count() > 0 &&
          std::chrono::steady_clock::now() - start > options.hangLimit) {
        ::kill(result.pid, SIGKILL);
        reap(0);
        result.killed = true;
        continue;
      }
    }
    if (!streamsOpen) {
      if (!timed) {
        reap(0);
      } else {
        const timespec pause{0, kPollMilliseconds * 1'000'000L};
        ::nanosleep(&pause, nullptr);
      }
      continue;
    }
    pollfd fds[3] = {{inFd, POLLOUT, 0}, {outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    if (::poll(fds, 3, timed && !reaped ? kPollMilliseconds : -1) < 0) {
      if (errno == EINTR) continue;
      // Nothing more can be read; what came so far is the result.
      for (int* fd : {&inFd, &outFd, &errFd}) CloseFd(*fd);
      continue;
    }
    if (inFd >= 0 && fds[0].revents != 0) {
      const ssize_t n =
          ::write(inFd, options.input.data() + written, options.input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 || written == options.input.size()) CloseFd(inFd);
    }
    for (auto [index, fd, text] :
         {std::tuple{1, &outFd, &result.out}, std::tuple{2, &errFd, &result.err}}) {
      if (*fd < 0 || fds[index].revents == 0) continue;
      char buffer[65536];
      const ssize_t n = ::read(*fd, buffer, sizeof buffer);
      if (n > 0) {
        text->append(buffer, static_cast<std::size_t>(n));
      } else {
        CloseFd(*fd);
      }
    }
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.peakKilobytes = usage.ru_maxrss;
  result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return result;
}

}  // namespace sorowa::testing_support
