#pragma once
// The connection operations that need no widgets: the Connect operation run
// inside the transfer dialog (open, probe, identify), and the Open and
// Disconnect commands of the Connection page.

#include <string>

#include "config/adapter.h"

namespace kelvane {

// Result of the Connect operation.
enum ConnectResult : int {
  CONNECT_PORT_LOST = -2,      // the port went away while the modem was looked for
  CONNECT_NOTHING_FOUND = -1,  // port not opened (LS_OPEN_FAILED) or no answer (LS_IDLE)
  CONNECT_UNSUPPORTED = 0,     // a modem answered but is not in the model table
  CONNECT_IDENTIFIED = 1,
};

// Operation 64: progress "Connecting..." with the steps "Opening port...",
// "Searching for modem...", "Querying modem...". Shows no message itself.
int RunConnectOperation(CAdapter& a);

// The message the Connect command shows for a result (empty for success).
std::string ConnectFailureMessage(const CAdapter& a, int result);

// The Disconnect command (page handler 2): the remote logout, or the quiet-mode
// question, then CloseLink. Ignored while Busy. `localWasQuiet`: the local
// modem was found with result codes suppressed, and after a remote logout it
// is put back to that (active only: nothing stored it otherwise).
void DisconnectCommand(CAdapter& a, bool localWasQuiet = false);

}  // namespace kelvane
