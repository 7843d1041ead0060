#pragma once

// Orderly shutdown on a termination request from the session (logout, kill, Ctrl+C), so that the
// event loop's quit handlers stop the core and remove its routes instead of leaving them behind.
namespace nimbra::platform {

// Linux: installs handlers for SIGTERM, SIGINT and SIGHUP that write to a self-pipe and returns the
// pipe's read end, which becomes readable on such a signal. Windows ends a session through window
// messages that Qt already turns into a quit: returns -1 there. Call once.
int openTerminationNotifier();

// Reads one pending notification from the descriptor; returns the signal number, or 0.
int readTerminationNotification(int fd);

} // namespace nimbra::platform
