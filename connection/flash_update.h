#pragma once
// The firmware flash update: the modem and the port go to 115200 baud, "AT**"
// starts the modem's loader, the records of the firmware file go out one by
// one (each acknowledged with "."), then the modem programs its flash and
// reports the outcome. Runs inside the transfer dialog (operation 32).

#include <string>
#include <string_view>
#include <vector>

#include "config/adapter.h"
#include "config/file_problem.h"

namespace kelvane {

// A firmware file cut into the records that are sent.
struct FirmwareRecords {
  // In file order. The text before the first carriage return and after the
  // last one is never among them.
  std::vector<std::string> records;
  // The carriage returns in the text (one more than the records when the
  // file begins with a header line).
  int total = 0;
  // The text held control characters other than CR, LF, TAB and EOF (a
  // binary file, not lines of text).
  bool binary = false;
  // Text follows the last carriage return: a last line without its line
  // end, which the record rule never sends (it is usually the end record).
  bool lastLineUnended = false;
};

// The record rules: the text ends at the end of the data or at its first zero
// byte; a record is the text between one carriage return and the next with
// every CR and LF removed; two carriage returns in a row give no record, an
// empty line ended by CR LF an empty one. A text without any carriage return
// ends its lines with line feeds, which then count as carriage returns.
FirmwareRecords SplitFirmwareRecords(std::string_view data);

// Reads and splits a firmware file. False, with the message to show and the
// path with its reason, when it cannot be read or holds nothing a loader
// could take.
bool LoadFirmwareFile(const std::string& path, FirmwareRecords& out, FileProblem& problem);

// Operation 32: the file dialog, then FlashFirmwareFile. 1 when the download
// ran to its end (whatever the outcome the modem reported), 0 otherwise.
int RunFlashUpdate(CAdapter& a);

// Operation 32 from the file on: the file is read and checked, the warning
// asked, the download run. `modemReportedSuccess` (when given) tells whether
// the modem reported a successful flash.
int FlashFirmwareFile(CAdapter& a, const std::string& path, bool* modemReportedSuccess = nullptr);

// The update leaves RTS off and RTS/CTS handshaking on: afterwards both go
// back to the tool options.
void RestoreLineAfterFlash(CAdapter& a);

}  // namespace kelvane
