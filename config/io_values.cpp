#include "config/io_values.h"

#include <cstring>

#include "config/field_table.h"
#include "config/operation_hold.h"

namespace kelvane {

const std::vector<std::string>& TrigTypeItems() {
  static const std::vector<std::string> items = {"0 - NO",  "1 - LEVEL",     "2 - PULSE", "3 - DCD",
                                                 "4 - DTR", "31 - DCD_PSTN", "32 - DCD_LL"};
  return items;
}

const std::vector<std::string>& TrigLevelItems() {
  static const std::vector<std::string> items = {"0 - NO",  "1 - HIGH",  "2 - LOW",   "3 - POS",
                                                 "4 - NEG", "5 - FLANK", "6 - FLANK2"};
  return items;
}

const std::vector<std::string>& OutputCtrlItems() {
  // There is no code 2.
  static const std::vector<std::string> items = {"0 - NO",  "1 - OPEN",      "3 - DCD",
                                                 "4 - DTR", "31 - DCD_PSTN", "32 - DCD_LL"};
  return items;
}

const std::vector<std::string>& IoServiceItems() {
  static const std::vector<std::string> items = {"NONE",       "DIAL", "SMS", "TEXT",
                                                 "(reserved)", "OUT",  "CMD", "TRANS"};
  return items;
}

const std::vector<std::string>& IoRetryItems() {
  static const std::vector<std::string> items = {"NO",      "RETRY",    "RETRY_3",
                                                 "NEXT_OK", "NEXT_ERR", "NEXT_ALWAYS"};
  return items;
}

const std::vector<std::string>& IoPriorityItems() {
  static const std::vector<std::string> items = {"0", "1"};
  return items;
}

const std::array<IoDataField, 7>& IoServiceFields(int service) {
  using F = IoDataField;
  constexpr F off{};
  constexpr F number{true, "Number"};
  constexpr F line{true, "Line protocol"};
  static const std::array<IoDataField, 7> table[8] = {
      {off, off, off, off, off, off, off},                       // NONE
      {number, off, off, off, off, off, line},                   // DIAL
      {number, F{true, "SMS-message"}, F{true, "SMS service provider number"},
       F{true, "SMS protocol type"}, F{true, "Password"}, F{true, "Sender"}, line},  // SMS
      {number, F{true, "Transfer text"}, off, off, off, off, line},  // TEXT
      {off, off, off, off, off, off, off},                           // (reserved)
      {number, F{true, "Pattern"}, off, off, off, off, line},        // OUT
      {F{true, "Command"}, off, off, off, off, off, off},            // CMD
      {number, off, off, off, off, off, line},                       // TRANS
  };
  return service >= 0 && service < 8 ? table[service] : table[0];
}

void ClearIoEntry(ConfigBlock& block, int index) {
  if (index < 0 || index >= kIoEntries) return;
  for (const FieldInfo& f : ConfigFields()) {
    if (f.count == kIoEntries && f.sent != SentWhen::Never && std::string_view(f.record) == "IoSettings") {
      std::memset(ElementBytes(block, f, static_cast<std::size_t>(index)), 0, f.width);
    }
  }
}

namespace {

constexpr std::string_view kOk = "OK\r\n";

// Probe and, for a numeric modem, "ATV1". Returns false with the failed
// exchange in `failed`.
bool PrepareVerbose(CAdapter& a, VerboseResultsSession& verbose, std::string& failed) {
  // The probe keeps its exchanges to itself: a failed probe leaves no text.
  if (a.ProbeModem() == 0) return false;
  return verbose.Begin(failed);
}

bool SendEntryCommand(CAdapter& a, std::string_view command, int entry, std::string& failed) {
  std::string text = std::string(command) + std::to_string(entry);
  if (a.Transact(text, 3, kOk, MatchExact) != 1) {
    failed = text;
    return false;
  }
  return true;
}

}  // namespace

bool DeleteIoEntry(CAdapter& a, int entry, std::string& failed, const IoFailureReport& reportFailure) {
  failed.clear();
  if (entry < 1 || entry > kIoEntries) {
    if (reportFailure) reportFailure(failed);
    return false;
  }
  VerboseResultsSession verbose(a);
  bool ok = PrepareVerbose(a, verbose, failed);
  if (ok) a.Ui().StepProgress();
  if (ok) ok = SendEntryCommand(a, "AT*WIOD=", entry, failed);
  if (ok) ClearIoEntry(a.Config, entry - 1);
  if (!ok && reportFailure) reportFailure(failed);
  // "AT&W" follows the return to numeric results.
  verbose.End();
  if (ok) {
    // Without the store the entry is back at the modem's next reset: that
    // is a failed delete, not a successful one.
    std::string store = "AT&W";
    if (a.Transact(store, 3, kOk, "0\r", MatchExact) < 1) {
      failed = store;
      if (reportFailure) reportFailure(failed);
      ok = false;
    }
  }
  return ok;
}

bool TestIoEntry(CAdapter& a, int entry, std::string& failed, const IoFailureReport& reportFailure) {
  failed.clear();
  if (entry < 1 || entry > kIoEntries) {
    if (reportFailure) reportFailure(failed);
    return false;
  }
  VerboseResultsSession verbose(a);
  bool ok = PrepareVerbose(a, verbose, failed);
  if (ok) ok = SendEntryCommand(a, "AT*WIOT=", entry, failed);
  if (ok) a.Ui().StepProgress();
  if (!ok && reportFailure) reportFailure(failed);
  return ok;
}

}  // namespace kelvane
