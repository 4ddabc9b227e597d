#include "connection/flash_update.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

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


// The loader's outcome follows the last record within a minute or two. A
// modem that keeps printing without one is not waited for beyond this
// (ticks of 50 ms; longer when the time unit is).
constexpr long long kFlashingLimitTicks = 2400;
// What is kept of the modem's output while it flashes: the end of it, where
// the outcome stands, however long the modem goes on.
constexpr size_t kKeptOutput = 4096;
// No modem's firmware comes near this; a larger file would only fill the
// memory with records.
constexpr uintmax_t kLargestFirmwareFile = 8u << 20;

// Appends `data` to what is kept, dropping the oldest text beyond the cap.
void Keep(std::string& kept, std::string_view data) {
  kept.append(data);
  if (kept.size() > kKeptOutput) kept.erase(0, kept.size() - kKeptOutput);
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
  // Counted against the records that are sent, as the end names them.
  const int records = state.records;
  for (const std::string& record : firmware.records) {
    StopIfCancelled(a);
    std::string exchange = record;
    if (a.WaitPhase(exchange, 3, ".", "", MatchInOrder) != 1) {
      // A port lost in the middle of the wait leaves the record in the text.
      throw DownloadFailure{a.PortIsOpen() ? exchange : "Modem disconnected during process!"};
    }
    state.recordsSent = ++sent;
    if (sent % 10 == 0 || sent == records) {
      std::snprintf(text, sizeof text, "Loading Data, Record %d / %d", sent, records);
      ui.SetProgressText(text);
      ui.StepProgress();
    }
  }
  return mode;
}

// How the wait for the loader's outcome ended.
enum class Flashing { Succeeded, Failed, Cancelled };

// Steps 12 to 14: the modem programs its flash; the outcome it reports is
// shown. The wait ends on the outcome as soon as it arrives, on silence, on
// the overall bound, on a lost port or on Cancel (which stops only the
// waiting: the modem goes on with its flash).
Flashing AwaitFlashing(CAdapter& a, int mode, int records) {
  UserInterface& ui = a.Ui();
  ui.SetProgressCaption("FLASHING!");
  ui.SetProgressText("DO NOT POWER DOWN THE UNIT!");
  a.TickCount = 0;
  TickWatch watch(a.TickCount);
  TickWatch overall(a.TickCount);
  ui.SetProgressRange(0, records / 10);

  const char* const outcome = mode == 1 ? "Download Success" : "Download successful";
  std::string collected;
  bool success = false;
  bool cancelled = false;
  bool bounded = false;
  auto heard = [&] {
    ui.PumpEvents(PollFdOf(a));
    cancelled = a.AbortRequested;
    return !cancelled;
  };
  if (mode == 1) {
    ui.Sleep(1000);
    a.InputMode = 1;
    int dots = 0;
    const long long limit = std::max(kFlashingLimitTicks, 14LL * a.TimeoutTicks);
    // Ends after 7 time units without any data from the modem.
    while (watch.Elapsed() < 7LL * a.TimeoutTicks && a.PortIsOpen() && heard()) {
      if (overall.Elapsed() >= limit) {
        bounded = true;
        break;
      }
      std::string data = TakeInput(a);
      if (data.empty()) continue;
      watch.Restart();
      const auto found = std::count(data.begin(), data.end(), '.');
      data.erase(std::remove(data.begin(), data.end(), '.'), data.end());
      Keep(collected, data);
      ui.StepProgress();
      for (long k = 0; k < found; ++k) {
        if (++dots % 10 == 0) ui.StepProgress();
      }
      if (collected.find(outcome) != std::string::npos) break;
    }
  } else {
    a.InputMode = 1;
    ui.SetProgressRange(0, 30);
    while (watch.Elapsed() <= 989 && a.PortIsOpen() && heard()) {
      Keep(collected, TakeInput(a));
      if (collected.find(outcome) != std::string::npos) break;
      ui.Sleep(100);
      ui.StepProgress();
    }
  }
  a.InputMode = 0;
  a.AbortRequested = false;
  if (cancelled) {
    ui.MessageBoxWithDetail("Stopped waiting for the modem's outcome.",
                            "The modem may still be programming its flash. Do not power it down until it "
                            "answers AT commands again.",
                            MsgIcon::Warning, MsgButtons::Ok);
    return Flashing::Cancelled;
  }
  success = collected.find(outcome) != std::string::npos;
  const std::string detail = bounded ? "The modem kept sending for " + std::to_string(overall.Elapsed() / 20) +
                                           " s without reporting the outcome."
                                     : std::string();
  ui.MessageBoxWithDetail(success ? outcome : "Download failed", detail,
                          success ? MsgIcon::Information : MsgIcon::Stop, MsgButtons::Ok);
  return success ? Flashing::Succeeded : Flashing::Failed;
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
  // A file far beyond any firmware is refused before it is read: its records
  // would fill the memory.
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec)) {
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > kLargestFirmwareFile) {
      char held[128];
      std::snprintf(held, sizeof held, "it holds %.1f MB; a firmware file holds at most %ju MB",
                    static_cast<double>(size) / (1 << 20), kLargestFirmwareFile >> 20);
      problem = {"The file is too large for a firmware file.", FileDetail(path, held)};
      return false;
    }
  }
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
  ui.SetProgressRange(0, static_cast<int>(firmware.records.size()) / 10 + 1);
  ui.SetProgressStep(1);
  ui.StepProgress();

  int result = 0;
  DownloadState state;
  try {
    const int mode = SendRecords(a, firmware, state);
    const Flashing end = AwaitFlashing(a, mode, state.records);
    const bool success = end == Flashing::Succeeded;
    if (modemReportedSuccess) *modemReportedSuccess = success;
    result = end == Flashing::Cancelled ? 0 : 1;
    ui.SetStatusNote(std::to_string(state.recordsSent) + " records flashed; " +
                     (success            ? "the modem reported success."
                      : end == Flashing::Failed ? "the modem did not report success."
                                                : "the outcome was not awaited."));
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
