#pragma once
// Ctrl-C as the Cancel button of the running command. SIGINT, SIGTERM, SIGHUP
// and SIGPIPE only write a byte into a pipe whose read end the user interface
// watches while it waits, so the command stops the way the window's Cancel
// stops it: the running transaction returns, the operation cleans up (a
// remote call is ended), the port is closed. A third SIGINT, SIGTERM or
// SIGHUP ends the program at once; SIGPIPE (the output was closed, as by
// "| head") never does, since every later write raises it again.

#include <string>

namespace kelvane::cli {

// Installs the handlers (once) and returns the pipe's read end, or -1 when no
// pipe could be made (the signals then end the program as usual).
int InstallInterruptPipe();
// How many times one of the signals arrived.
int InterruptCount();
// "Cancelled by Ctrl-C." or, for the other signals, "Cancelled by SIGTERM."
// and so on: the first signal that arrived.
std::string CancelledText();

}  // namespace kelvane::cli
