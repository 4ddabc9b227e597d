#pragma once
// The raw transfers of the Transfer menu: the escape sequence that returns a
// modem from data mode to command mode, and a file sent byte for byte a chosen
// number of times. Neither talks AT; both run inside the transfer dialog.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "config/adapter.h"

namespace kelvane {

// Operation 8: "+++" with the guard times around it. 1 when sent, 0 when the
// port is closed or another operation runs.
int SendEscapeSequence(CAdapter& a);

// What the Send File dialog asks for.
struct SendFileParams {
  int count = 1;
  int delayMs = 0;
};

// Shows the Send File dialog for `path`; false when the user cancelled.
using AskSendFileParams = std::function<bool(const std::string& path, SendFileParams& params)>;

// Operation 16: choose a file, read it, ask for count and delay, send it. The
// result is always 0, as the transfer dialog expects of this operation.
int SendFileOperation(CAdapter& a, const AskSendFileParams& ask);

// The sending part of operation 16: `count` repetitions of `bytes`, each handed
// to the port in chunks as its output buffer has room, with `delayMs` after
// each. A count below 1 sends nothing. The progress bar follows the bytes
// sent; at the end "N bytes sent." (or "Send File cancelled after N bytes.")
// goes to the status text and the terminal. Returns the repetitions completed;
// a cancel (AbortRequested) stops between chunks, and one still pending when
// the sending ends is cleared.
int SendRepeated(CAdapter& a, const std::vector<uint8_t>& bytes, int count, int delayMs);

// The leading decimal integer of a text field, as the dialogs read their
// numeric fields: optional blanks and sign, then digits; 0 when there are no
// digits; saturated at the int range.
int LeadingInt(std::string_view text);

// The delay of the Send File dialog: anything above 1000 ms, compared as an
// unsigned number (so a negative delay too), becomes 1000.
int ClipSendDelay(int delayMs);

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& reason);

}  // namespace kelvane
