#pragma once
// The remote connection: the local modem dials the far one, the program asks
// it for a remote configuration session, logs in with a password and
// identifies the far model. From then on every command travels over the line
// (LinkState 0x1801) until Disconnect ends the session.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "config/adapter.h"

namespace kelvane {

// The two questions of the login. Each returns nothing when the user
// cancelled. The number is asked once, the password after every rejection.
struct RemotePrompts {
  std::function<std::optional<std::string>()> askNumber;
  std::function<std::optional<std::string>()> askPassword;
  // A password that is at hand at once (a script's) waits for the far
  // modem's "C_PASSWORD:" first, for as long as the answer to the password
  // may take; sent before the prompt it would be lost, and the late prompt
  // taken for a rejection. A person typing it gives the prompt that time.
  bool awaitPasswordPrompt = false;
};

// How often the identification command is sent to the far modem before the
// login gives up (hangs up and fails).
constexpr int kRemoteIdentifyAttempts = 3;

// Operation 4 of the transfer dialog. 1 logged in (LinkState 0x1801), 0 failed
// or cancelled; every failure after the dial has hung up already. Needs an
// open port; refuses to start while Busy.
int RunRemoteConnectOperation(CAdapter& a, const RemotePrompts& prompts);

// A telephone number the program passes to "ATD": 1 to 40 characters, digits
// and the dial modifiers " *#+,-()/PTWptw", at least one digit. Anything else
// (a line end above all) could smuggle a second command to the modem.
bool IsDialNumber(std::string_view number);

// What a dial attempt came to, from the text collected so far: 1 connected,
// 0 the call failed (busy, no carrier, no answer, no dial tone, error), -1 no
// result yet. Verbose words and numeric codes are both understood; the echo
// of the dial command is never taken for a result.
int DialOutcome(std::string_view answer);

}  // namespace kelvane
