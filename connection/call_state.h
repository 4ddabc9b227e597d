#pragma once
// The local modem's call to a far modem, as this program and its successors
// see it. A run that dials leaves a marker beside the port until the call is
// known to have ended, so a run that was killed (and could not hang up) is
// followed by one that knows: before it talks to the local modem it ends the
// call, whatever state it was left in (dialling, online, in a far session, in
// online command mode). The escape and the hang-up check their answers and
// are retried, since a line that holds bytes back can make "+++" arrive
// inside the guard time and "ATH" reach the far end as data.

#include <string>

#include "config/adapter.h"

namespace kelvane {

// What ending a call came to.
enum class CallEnd {
  NoCall,     // nothing showed a call: no marker, no carrier
  Ended,      // the local modem answered the hang-up in command mode
  StillUp,    // every attempt went unanswered: the call may still be up
  Lost,       // the port went away
};

// How often the escape and "ATH" are tried before the call is reported as
// not ended.
constexpr int kHangUpAttempts = 3;

// The message for a call that could not be ended.
inline constexpr std::string_view CallLeftUpText =
    "Error: the local modem did not hang up; the call to the remote modem may still be up.";

// --- markers -----------------------------------------------------------------
// One file per port in the user's runtime folder ($XDG_RUNTIME_DIR/kelvane,
// /run/user/UID/kelvane or /tmp/kelvane-UID, mode 0700), named after the
// port's resolved path. Ports whose modem lives only as long as the program
// (the in-process simulator) have none.

// The marker's path for `portName`, or "" when the port has none.
std::string CallMarkerPath(const std::string& portName);
// A call is being set up; its result is due by `dialBudgetMs` from now.
void MarkDialling(const std::string& portName, long long dialBudgetMs);
// The call is up.
void MarkCallUp(const std::string& portName);
void ClearCallMark(const std::string& portName);
// Whether a marker is there; `dialDueMs` (monotonic milliseconds) receives
// when a call attempt it records has its result at the latest, or -1.
bool CallMarked(const std::string& portName, long long* dialDueMs = nullptr);

// --- ending a call -------------------------------------------------------------

// From online data mode: guard time, "+++", the escape's "OK", "ATH" and its
// "OK", tried up to kHangUpAttempts times. A cancel does not cut it short
// (it is kept in AbortRequested for the operation). The marker is cleared
// once the call has ended.
CallEnd HangUpCall(CAdapter& a);

// Before any exchange with the local modem: a call that a marker or the
// carrier-detect line shows is ended ("ATH" first, which a modem in command
// or online command mode takes at once; then "AT*WRCE" for a far session that
// still answers, and the escape). A call attempt the marker records is given
// until its dial time to end first. Needs the port open. `suspected`: the
// caller saw the far modem answer (its session prompt) without either sign.
CallEnd EndCallLeftUp(CAdapter& a, bool suspected = false);

// Whether an answer the local modem should have given came from a far
// modem's session instead (it ends with the session prompt).
bool FarSessionAnswered(std::string_view answer);

// The answer of the local modem in command mode to a command ("OK" or the
// numeric "0", no far prompt in it).
bool LocalModemAnswered(std::string_view answer);

}  // namespace kelvane
