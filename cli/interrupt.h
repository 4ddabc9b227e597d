#pragma once
// Ctrl-C as the Cancel button of the running command. SIGINT only writes a
// byte into a pipe whose read end the user interface watches while it waits,
// so the command stops the way the window's Cancel stops it: the running
// transaction returns, the operation cleans up, the port is closed. A third
// Ctrl-C ends the program at once.

namespace kelvane::cli {

// Installs the handler (once) and returns the pipe's read end, or -1 when no
// pipe could be made (Ctrl-C then ends the program as usual).
int InstallInterruptPipe();
// How many times SIGINT arrived.
int InterruptCount();

}  // namespace kelvane::cli
