#pragma once

namespace sorowa {

// SIGINT, SIGTERM and SIGHUP ask a running program to stop: Ctrl-C, kill, a closed terminal
// or the end of a desktop session. A Compare must not end half way through its report file,
// so the handler only takes note; the program sees the note at its next progress report,
// cancels the Compare (which removes the partial file) and then ends by the same signal.
//
// Installs the handler for the three signals. It records the first signal, writes its number
// as one byte to notifyFd unless that is -1 (the write end of a pipe that an event loop
// watches), and puts the default action back for all three, so that a second signal while
// the program is stopping ends it at once.
void InstallStopSignalHandlers(int notifyFd = -1);

// Stops writing to the descriptor given to InstallStopSignalHandlers (before it is closed),
// leaving the signal actions as they are.
void StopNotifying();

// The stop signal received, or 0 while none has been.
int StopSignal();

// Ends the process the way the signal's default action does, so that a parent sees it ended
// by that signal (a shell shows status 128 + signal, and a script stops as it would for any
// program interrupted). Whatever must be cleaned up has to be cleaned up before.
[[noreturn]] void EndBySignal(int signal);

}  // namespace sorowa
