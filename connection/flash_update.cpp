#include "connection/flash_update.h"

#include <algorithm>
#include <cstdio>

#include "config/operation_hold.h"
#include "connection/raw_transfer.h"
#include "serial/tick_watch.h"

namespace kelvane {

namespace {

constexpr const char* kWarning =
    "W A R N I N G !\nDo not power down the unit during flashing!\nDu you wish to contiune?";

// Thrown inside the download when an exchange fails or the user cancels;
// carries the collected answer for the message.
struct DownloadFailure {
  std::string answer;
};

// How far the download came: what the modem is left with when it stops.
struct DownloadState {
  bool rateCommandSent = false;  // "AT+IPR=115200" went out
  bool rateSwitched = false;     // ... and was acknowledged
  bool loaderStarted = false;    // "AT**" went out: the loader may be running
  int recordsSent = 0;
  int records = 0;
};

// A cancel between two exchanges stops before the next one goes out; one
// during an exchange ends that exchange (it returns -1).
void StopIfCancelled(CAdapter& a) {
  if (!a.AbortRequested) return;
  a.AbortRequested = false;
  throw DownloadFailure{};
}

// What a stopped download leaves behind and what to do about it.
std::string StateAfterFailure(const DownloadState& s) {
  if (s.loaderStarted) {
    return "The modem was left in its firmware loader after " + std::to_string(s.recordsSent) + " of " +
           std::to_string(s.records) +
           " records and does not answer AT commands. Do not power it down: run the flash update again "
           "with the same file.";
  }
  std::string text = "No firmware was sent; the modem keeps its firmware.";
  if (s.rateSwitched) {
    text += " Its serial port now runs at 115200 baud.";
  } else if (s.rateCommandSent) {
    text += " Its serial port may now run at 115200 baud.";
  }
  return text;
}


bool IsTextByte(unsigned char c) { return c >= 0x20 || c == '\r' || c == '\n' || c == '\t' || c == 0x1A; }

// Every read of the flashing phase takes all that is waiting, so no part of
// the outcome text is ever dropped.
std::string TakeInput(CAdapter& a) {
  SerialPort* port = a.Port();
  if (!a.PortIsOpen() || !port) return {};
  return port->ReadAll();
}

int PollFdOf(const CAdapter& a) {
  const SerialPort* port = a.Port();
  return port && port->IsOpen() ? port->PollFd() : -1;
}

// Steps 6 to 11: the modem to 115200 baud, the loader started, every record
// sent. Returns the download mode (1 or 2); throws DownloadFailure.
int SendRecords(CAdapter& a, const FirmwareRecords& firmware, DownloadState& state) {
  UserInterface& ui = a.Ui();
  state.records = static_cast<int>(firmware.records.size());
  // A modem that went away says so; one that is silent gets the "no
  // response" message. A cancelled probe (-1) stops as well: nothing has
  // been changed yet.
  if (a.ProbeModem() < 1) throw DownloadFailure{a.PortIsOpen() ? std::string() : std::string(DisconnectedText)};
  StopIfCancelled(a);

  // With echo on, the echo of "AT+IPR=115200" already ends in "0\r": in
  // numeric mode the answer is only complete at "0\r0\r".
  std::string command = "AT+IPR=115200";
  const std::string_view ok = a.VerboseResults ? "OK\r\n" : a.EchoOn ? "0\r0\r" : "0\r";
  state.rateCommandSent = true;
  if (a.Transact(command, 3, ok, MatchExact) != 1) throw DownloadFailure{command};
  state.rateSwitched = true;

  // Over a remote connection the command changed the far modem's own port;
  // the line to the local modem keeps its speed.
  if (!(a.LinkState & LS_REMOTE)) {
    a.BaudRate = "115200";
    a.ApplyPortSettings();
  }
  ui.Sleep(200);

  // The loader's announcement is awaited whole: matched in order, the first
  // of its three dots would already stand for all of them, and the other two,
  // arriving later, would acknowledge records the loader never confirmed.
  StopIfCancelled(a);
  command = "AT**";
  state.loaderStarted = true;
  const int mode = a.Transact(command, 3, "Download initiated...", "Downloading Record Data...", MatchExact);
  if (mode < 1) throw DownloadFailure{command};

  if (SerialPort* port = a.Port()) {
    port->SetRtsEnable(false);
    port->SetHandshaking(2);
  }
  a.InputMode = 0;
  a.RThreshold = 0;

  int sent = 0;
  char text[64];
  for (const std::string& record : firmware.records) {
    StopIfCancelled(a);
    std::string exchange = record;
    if (a.WaitPhase(exchange, 3, ".", "", MatchInOrder) != 1) {
      // A port lost in the middle of the wait leaves the record in the text.
      throw DownloadFailure{a.PortIsOpen() ? exchange : "Modem disconnected during process!"};
    }
    state.recordsSent = ++sent;
    if (sent % 10 == 0) {
      std::snprintf(text, sizeof text, "Loading Data, Record %d / %d", sent, firmware.total);
      ui.SetProgressText(text);
      ui.StepProgress();
    }
  }
  return mode;
}

// Steps 12 to 14: the modem programs its flash; the outcome it reports is
// shown. True when it reported success.
bool AwaitFlashing(CAdapter& a, int mode, int total) {
  UserInterface& ui = a.Ui();
  ui.SetProgressCaption("FLASHING!");
  ui.SetProgressText("DO NOT POWER DOWN THE UNIT!");
  a.TickCount = 0;
  TickWatch watch(a.TickCount);
  ui.SetProgressRange(0, total / 10);
  ui.EnableCancel(false);

  std::string collected;
  bool success = false;
  if (mode == 1) {
    ui.Sleep(1000);
    a.InputMode = 1;
    int dots = 0;
    // Ends after 7 time units without any data from the modem.
    while (watch.Elapsed() < 7LL * a.TimeoutTicks && a.PortIsOpen()) {
      ui.PumpEvents(PollFdOf(a));
      std::string data = TakeInput(a);
      if (data.empty()) continue;
      watch.Restart();
      const auto found = std::count(data.begin(), data.end(), '.');
      data.erase(std::remove(data.begin(), data.end(), '.'), data.end());
      collected += data;
      ui.StepProgress();
      for (long k = 0; k < found; ++k) {
        if (++dots % 10 == 0) ui.StepProgress();
      }
    }
    success = collected.find("Download Success") != std::string::npos;
    ui.MessageBox(success ? "Download Success" : "Download failed",
                  success ? MsgIcon::Information : MsgIcon::Stop, MsgButtons::Ok);
  } else {
    a.InputMode = 1;
    ui.SetProgressRange(0, 30);
    while (watch.Elapsed() <= 989 && a.PortIsOpen()) {
      ui.PumpEvents(PollFdOf(a));
      collected += TakeInput(a);
      if (collected.find("Download successful") != std::string::npos) break;
      ui.Sleep(100);
      ui.StepProgress();
    }
    success = collected.find("Download successful") != std::string::npos;
    ui.MessageBox(success ? "Download successful" : "Download failed",
                  success ? MsgIcon::Information : MsgIcon::Stop, MsgButtons::Ok);
  }
  a.InputMode = 0;
  // The flashing phase cannot be cancelled; a request made meanwhile must
  // not stop the next operation.
  a.AbortRequested = false;
  ui.EnableCancel(true);
  return success;
}

}  // namespace

FirmwareRecords SplitFirmwareRecords(std::string_view data) {
  FirmwareRecords out;
  std::string_view text = data.substr(0, std::min(data.size(), data.find('\0')));
  // A file without a single carriage return ends its lines with line feeds
  // alone, as most tools here write text: those are its line ends. A file
  // with carriage returns keeps the loader's rules, line feeds ignored.
  std::string lineFeedsAsReturns;
  if (text.find('\r') == std::string_view::npos && text.find('\n') != std::string_view::npos) {
    lineFeedsAsReturns.assign(text);
    std::replace(lineFeedsAsReturns.begin(), lineFeedsAsReturns.end(), '\n', '\r');
    text = lineFeedsAsReturns;
  }
  out.binary = !std::all_of(text.begin(), text.end(), [](char c) { return IsTextByte(static_cast<unsigned char>(c)); });
  // Line feeds, blanks and an end-of-file mark after the last carriage
  // return hold nothing that is lost.
  const size_t last = text.rfind('\r');
  const std::string_view tail = last == std::string_view::npos ? text : text.substr(last + 1);
  out.lastLineUnended = tail.find_first_not_of("\n \t\x1a") != std::string_view::npos;
  size_t cr = text.find('\r');
  while (cr != std::string_view::npos) {
    ++out.total;
    const size_t next = text.find('\r', cr + 1);
    if (next == std::string_view::npos) break;
    if (next - cr > 1) {
      std::string record;
      for (char c : text.substr(cr + 1, next - cr - 1)) {
        if (c != '\n') record += c;
      }
      out.records.push_back(std::move(record));
    }
    cr = next;
  }
  return out;
}

bool LoadFirmwareFile(const std::string& path, FirmwareRecords& out, FileProblem& problem) {
  std::vector<uint8_t> bytes;
  std::string reason;
  if (!ReadWholeFile(path, bytes, reason)) {
    problem = {"Unable to open file...", FileDetail(path, reason)};
    return false;
  }
  out = SplitFirmwareRecords(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  // Starting the loader with nothing it could take would leave the modem to
  // program its flash from no firmware, or from garbage.
  if (out.binary) {
    problem = {"The file is not a firmware text file.", FileDetail(path, "binary data")};
    return false;
  }
  if (out.records.empty()) {
    problem = {"The file holds no firmware records.",
               FileDetail(path, bytes.empty() ? "the file is empty" : "no record ends with a line end")};
    return false;
  }
  // The loader would miss the last line and the flash fail at the modem.
  if (out.lastLineUnended) {
    problem = {"The file's last line would not be sent.",
               FileDetail(path, "the last line has no line end")};
    return false;
  }
  return true;
}

int RunFlashUpdate(CAdapter& a) {
  a.AbortRequested = false;
  FileDialogRequest request;
  request.kind = FileDialogKind::Open;
  request.title = "Flash update";
  request.filter = "All files (*.*)|*.*||";
  request.defaultExtension = "*";
  request.folderKind = "firmware";
  const std::optional<std::string> path = a.Ui().AskFileName(request);
  if (!path) return 0;
  return FlashFirmwareFile(a, *path);
}

int FlashFirmwareFile(CAdapter& a, const std::string& path, bool* modemReportedSuccess) {
  if (modemReportedSuccess) *modemReportedSuccess = false;
  a.AbortRequested = false;
  UserInterface& ui = a.Ui();
  FirmwareRecords firmware;
  FileProblem problem;
  if (!LoadFirmwareFile(path, firmware, problem)) {
    ui.MessageBoxWithDetail(problem.message, problem.detail, MsgIcon::Stop, MsgButtons::Ok);
    return 0;
  }
  if (ui.MessageBox(kWarning, MsgIcon::Warning, MsgButtons::YesNo) != MsgAnswer::Yes) return 0;
  if (a.Busy || !(a.LinkState & LS_IDENTIFIED)) return 0;
  BusyHold busy(a);

  ui.SetProgressText("Loading Record Data...");
  ui.SetProgressRange(0, firmware.total / 10);
  ui.SetProgressStep(1);
  ui.StepProgress();

  int result = 0;
  DownloadState state;
  try {
    const int mode = SendRecords(a, firmware, state);
    const bool success = AwaitFlashing(a, mode, firmware.total);
    if (modemReportedSuccess) *modemReportedSuccess = success;
    result = 1;
  } catch (const DownloadFailure& failure) {
    // The messages as they stand, with the modem's state and the way out as
    // their detail.
    const std::string detail = StateAfterFailure(state);
    if (failure.answer.empty()) {
      ui.MessageBoxWithDetail("Write operation halted, no respons from modem.", detail, MsgIcon::Stop,
                              MsgButtons::Ok);
    } else {
      ui.MessageBoxWithDetail(
          "The write operation halted with the following error string:\n\r\n\r" + failure.answer, detail,
          MsgIcon::Stop, MsgButtons::Ok);
    }
  }
  a.RThreshold = 1;
  return result;
}

void RestoreLineAfterFlash(CAdapter& a) { a.ApplyLineOptions(); }

}  // namespace kelvane
