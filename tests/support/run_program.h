#pragma once

// Runs a program as a child process, the way a user or a script runs it, and gives back what
// they would see of it: the exit status, standard output and standard error.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sorowa::testing_support {

struct RunOptions {
  // Set in the child's environment or, with an empty value, removed from it; the rest of the
  // environment is this process's.
  std::map<std::string, std::string> env = {};
  std::string input = {};  // standard input
  int stdoutFd = -1;       // when set, the child's standard output instead of a pipe
  // Runs in the child just before exec, where getpid() is already the program's pid.
  std::function<void()> beforeExec = {};
  // Called in the parent every few milliseconds while the child runs, until it returns true;
  // it may signal the child.
  std::function<bool(pid_t)> whileRunning = {};
  // A child still running after this long has hung and is killed; zero waits as long as it
  // takes.
  std::chrono::milliseconds hangLimit{0};
};

struct RunResult {
  int status = -1;      // exit status, or 128 + signal
  bool killed = false;  // it hung and was killed
  std::string out;
  std::string err;
  pid_t pid = -1;
  double seconds = 0;
  double cpuSeconds = 0;   // user and system time of the child
  long peakKilobytes = 0;  // the child's maximum resident set size
};

// Runs program with args (argv[0] is program). Standard input is a pipe that gets
// options.input and is then closed; standard output and error are read as they come, so a
// child that writes a lot never blocks on them. The child gets SIGPIPE's default action, so
// that a program in a pipeline behaves as it would in a shell. Throws std::system_error when
// no child process can be made; a program that cannot be executed ends with status 127.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options = {});

}  // namespace sorowa::testing_support
