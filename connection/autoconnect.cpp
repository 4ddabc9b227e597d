#include "connection/autoconnect.h"

#include <cstdio>
#include <cstdlib>

#include "config/operation_hold.h"
#include "serial/network_serial_port.h"

namespace kelvane {

const char* const kAutoBaudRates[10] = {"300",  "600",   "1200",  "2400",  "4800",
                                        "9600", "19200", "38400", "57600", "115200"};
const char* const kAutoParities[3] = {"None", "Odd", "Even"};
const char* const kAutoDataBits[2] = {"7", "8"};
const char* const kAutoStopBits[2] = {"1", "2"};

namespace {

template <size_t N>
int Clamp(int index, const char* const (&)[N]) {
  return index < 0 ? 0 : index >= static_cast<int>(N) ? static_cast<int>(N) - 1 : index;
}

}  // namespace

SearchAxis AxisOf(int fromIndex, int toIndex) {
  SearchAxis axis;
  axis.from = fromIndex;
  axis.count = std::abs(toIndex - fromIndex);
  axis.step = toIndex >= fromIndex ? 1 : -1;
  return axis;
}

AutoConnectSearch::AutoConnectSearch(CAdapter& a, const AutoConnectRanges& ranges, bool quickPass)
    : a_(a), ranges_(ranges), quickPass_(quickPass) {
  // A selection outside its list (a stored or typed index) is taken as the
  // nearest entry rather than read past the list.
  AutoConnectRanges& r = ranges_;
  r.baudFrom = Clamp(r.baudFrom, kAutoBaudRates);
  r.baudTo = Clamp(r.baudTo, kAutoBaudRates);
  r.parityFrom = Clamp(r.parityFrom, kAutoParities);
  r.parityTo = Clamp(r.parityTo, kAutoParities);
  r.dataFrom = Clamp(r.dataFrom, kAutoDataBits);
  r.dataTo = Clamp(r.dataTo, kAutoDataBits);
  r.stopFrom = Clamp(r.stopFrom, kAutoStopBits);
  r.stopTo = Clamp(r.stopTo, kAutoStopBits);
}

int AutoConnectSearch::ProgressMaximum() const {
  const SearchAxis stop = AxisOf(ranges_.stopFrom, ranges_.stopTo);
  const SearchAxis data = AxisOf(ranges_.dataFrom, ranges_.dataTo);
  const SearchAxis parity = AxisOf(ranges_.parityFrom, ranges_.parityTo);
  const SearchAxis baud = AxisOf(ranges_.baudFrom, ranges_.baudTo);
  return (stop.count + 1) * (data.count + 1) * (parity.count + 1) * (baud.count + 1);
}

std::string AutoConnectSearch::StatusText(const std::string& baud, const std::string& parity,
                                          const std::string& data, const std::string& stop,
                                          int parityWidth) {
  char text[96];
  std::snprintf(text, sizeof text, "Searching : %6s bps, %*s, %s, %s", baud.c_str(), parityWidth,
                parity.c_str(), data.c_str(), stop.c_str());
  return text;
}

void AutoConnectSearch::SetTexts(int baud, int parity, int data, int stop) {
  a_.BaudRate = kAutoBaudRates[baud];
  a_.Parity = kAutoParities[parity];
  a_.DataBits = kAutoDataBits[data];
  a_.StopBits = kAutoStopBits[stop];
}

bool AutoConnectSearch::Attempt(const std::string& status) {
  a_.Ui().SetProgressText(status);
  ++attempts_;
  return a_.OpenAndIdentify(true);
}

int AutoConnectSearch::Run() {
  UserInterface& ui = a_.Ui();
  running_ = true;
  abort_ = false;
  attempts_ = 0;

  const SearchAxis stop = AxisOf(ranges_.stopFrom, ranges_.stopTo);
  const SearchAxis data = AxisOf(ranges_.dataFrom, ranges_.dataTo);
  const SearchAxis parity = AxisOf(ranges_.parityFrom, ranges_.parityTo);
  const SearchAxis baud = AxisOf(ranges_.baudFrom, ranges_.baudTo);
  ui.SetProgressRange(0, ProgressMaximum());
  ui.SetProgressStep(1);

  bool found = false;
  if (quickPass_) {
    // Every rate with the most likely format first.
    for (int b = 0; b <= baud.count; ++b) {
      SetTexts(baud.IndexAt(b), parity.from, data.from, stop.from);
      found = Attempt(StatusText(a_.BaudRate, a_.Parity, a_.DataBits, a_.StopBits, 0));
      ui.StepProgress();
      if (found || abort_) break;
    }
  }

  if (!found) {
    for (int b = 0; b <= baud.count && !found && !abort_; ++b) {
      for (int d = 0; d <= data.count && !found && !abort_; ++d) {
        for (int p = 0; p <= parity.count && !found && !abort_; ++p) {
          for (int s = 0; s <= stop.count && !found && !abort_; ++s) {
            // The quick pass already tried the From format at every rate.
            const bool triedBefore = quickPass_ && p == 0 && d == 0 && s == 0;
            if (!triedBefore) {
              SetTexts(baud.IndexAt(b), parity.IndexAt(p), data.IndexAt(d), stop.IndexAt(s));
              const std::string status =
                  StatusText(a_.BaudRate, a_.Parity, a_.DataBits, a_.StopBits, 4);
              // 8 data bits with parity and 2 stop bits (a twelve-bit frame)
              // is never tried, but it still counts on the bar.
              if (status.find("None") != std::string::npos ||
                  status.find(" 8, 2") == std::string::npos)
                found = Attempt(status);
            }
            ui.StepProgress();
          }
        }
      }
    }
  }

  running_ = false;
  if (abort_) {
    // A Cancel that arrived after the last transaction must not cancel the
    // first transaction of whatever runs next (the AutoLoad read).
    a_.AbortRequested = false;
    return AUTOCONNECT_ABORTED;
  }
  return found ? AUTOCONNECT_FOUND : AUTOCONNECT_NOTHING_FOUND;
}

bool AutoConnectSearch::Cancel() {
  if (!running_) return true;
  a_.Ui().SetProgressText("Aborting, please wait.");
  abort_ = true;
  a_.AbortRequested = true;
  return false;
}

std::string AutoConnectRefusal(const std::string& portName, std::string_view thenConnect) {
  if (!IsFixedSettingsPortName(portName)) return {};
  return "Autoconnect cannot search " + portName +
         ": the device server fixes the line settings of a tcp:// port. Set the speed and format there and " +
         std::string(thenConnect) + ", or use rfc2217:// so that the search can change them.";
}

void AutoConnectCommand(CAdapter& a, const std::string& portNumber, const AutoConnectHooks& hooks) {
  if (a.Busy) return;
  UserInterface& ui = a.Ui();
  BusyHold busy(a);
  if (a.LinkState & LS_IDENTIFIED) {
    ui.MessageBox("Already connected!", MsgIcon::Stop, MsgButtons::Ok);
  } else if (const std::string refusal = AutoConnectRefusal(portNumber); !refusal.empty()) {
    ui.MessageBox(refusal, MsgIcon::Stop, MsgButtons::Ok);
  } else {
    a.PortNumber = portNumber;
    if (hooks.choosePort) hooks.choosePort();
    if (!a.OpenAndIdentify(false)) {
      ui.MessageBox("Unable to open COM-port...", MsgIcon::Stop, MsgButtons::Ok);
    } else {
      const int result = hooks.runDialog ? hooks.runDialog() : AUTOCONNECT_ABORTED;
      // An unsupported modem was reported by the identification already.
      if (result == AUTOCONNECT_NOTHING_FOUND) {
        if (a.LinkState == LS_IDLE) {
          ui.MessageBox("No Dalmarin modem found!", MsgIcon::Information, MsgButtons::Ok);
        } else {
          ui.MessageBox("Unable to open COM-port...", MsgIcon::Stop, MsgButtons::Ok);
        }
      }
    }
    ui.ActivateConnectionPage();
  }
  busy.Release();

  ui.UpdatePages();
  a.ResetConfiguration();
  if ((a.LinkState & LS_IDENTIFIED) && a.Options.AutoLoad != 0 && hooks.readConfiguration)
    hooks.readConfiguration();
}

}  // namespace kelvane
