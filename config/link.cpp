// Serial port access of the adapter: open and close, plain writes and reads,
// the traffic log, the line settings and the line events.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "config/adapter.h"
#include "config/operation_hold.h"

namespace kelvane {

namespace {

constexpr int kLogLimit = 9600;
constexpr int kLogKeep = 9584;

int ToInt(const std::string& text) { return std::atoi(text.c_str()); }

// While an operation opens the port or changes its settings, a port that
// takes time for it (one across the network) waits through the user
// interface: the window goes on painting and Cancel is heard. Only inside an
// operation, which holds Busy: a settings change from a combo box or the
// options dialog is no operation, and events run from its handler could
// start one.
class WaitThroughUi {
 public:
  explicit WaitThroughUi(CAdapter& a) : port_(a.Busy ? a.Port() : nullptr) {
    if (port_) {
      previous_ = port_->SetWaiter([&a](int fd) {
        a.Ui().PumpEvents(fd);
        return !a.AbortRequested;
      });
    }
  }
  ~WaitThroughUi() {
    if (port_) port_->SetWaiter(std::move(previous_));
  }
  WaitThroughUi(const WaitThroughUi&) = delete;
  WaitThroughUi& operator=(const WaitThroughUi&) = delete;

 private:
  SerialPort* port_;
  SerialPort::Waiter previous_;
};

}  // namespace

bool CAdapter::PortIsOpen() const {
  return (LinkState & LS_PORT_OPEN) && port_ && port_->IsOpen() && !port_->Lost();
}

bool CAdapter::OpenPort() {
  ResetConfiguration();
  Identified = false;

  // The page update must not be deferred here although every caller runs with
  // Busy set.
  auto updateNow = [this] {
    {
      BusyHold notBusy(*this, false);
      Ui().UpdatePages();
    }
    RefreshIndicators();
  };

  if (LinkState & LS_FILE) {
    LinkState = LS_IDLE;
    updateNow();
  }

  if (!port_ || !port_->IsOpen()) {
    std::string reason;
    if (!port_) {
      reason = PortNumber + ": no such port.";
    } else {
      port_->SetDtrEnable(Options.DTREnable == 1);
      port_->SetRtsEnable(Options.RTSEnable == 1);
      port_->SetHandshaking(Options.FlowControl);
    }
    bool opened = false;
    if (port_) {
      const WaitThroughUi wait(*this);
      opened = port_->Open(PortNumber, reason);
    }
    if (!opened) {
      // A Cancel that ended the open is spent with it; a closing window's
      // stays, to stop whatever else runs.
      if (!ShuttingDown) AbortRequested = false;
      LinkState = LS_OPEN_FAILED;
      LastOpenError = reason;
      Ui().TerminalOutput("Unable to open " + PortNumber + ": " + reason + "\r\n");
      return false;
    }
    LastOpenError.clear();
    RThreshold = 1;
    InputMode = Options.HexInput ? 1 : 0;
    LinkState = LS_PORT_OPEN;
  } else {
    LinkState = LS_PORT_OPEN;
    updateNow();
  }

  ApplyPortSettings();
  RefreshIndicators();
  return true;
}

void CAdapter::CloseLink() {
  if ((LinkState & LS_PORT_OPEN) || (port_ && port_->IsOpen())) {
    if (port_) port_->Close();
  }
  DarkenIndicators();
  LinkState = LS_IDLE;
  QuietWasOn = false;
  Ui().UpdatePages();
  BaudRate = Parity = DataBits = StopBits = "-";
  Ui().RefreshTerminalInfo();
  Ui().ActivateConnectionPage();
}

bool CAdapter::SendText(std::string_view text) {
  if (!port_ || !port_->IsOpen()) return false;
  if (port_->OutBufferCount() != 0) return false;
  port_->Write(text);
  return true;
}

int CAdapter::SendBytes(const uint8_t* bytes, int count) {
  if (!port_ || !port_->IsOpen() || !bytes) return 0;
  count = std::min(count, port_->OutBufferSize() - port_->OutBufferCount());
  if (count <= 0) return 0;
  return static_cast<int>(
      port_->Write(std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count))));
}

void CAdapter::LogBytes(std::string_view bytes, bool trim) {
  char hex[4];
  for (unsigned char b : bytes) {
    std::snprintf(hex, sizeof hex, "%02X ", b);
    HexLog += hex;
    CharLog += b < 22 ? '.' : static_cast<char>(b);
    ++LogCount;
  }
  if (trim && LogCount > kLogLimit) {
    LogCount = kLogKeep;
    if (CharLog.size() > static_cast<size_t>(kLogKeep)) CharLog.erase(0, CharLog.size() - kLogKeep);
    if (HexLog.size() > static_cast<size_t>(3 * kLogKeep)) HexLog.erase(0, HexLog.size() - 3 * kLogKeep);
  }
}

void CAdapter::ClearTrafficLog() {
  HexLog.clear();
  CharLog.clear();
  LogCount = 0;
}

std::string CAdapter::ReadText(bool showInTerminal) {
  if (!port_ || !port_->IsOpen()) return {};
  std::string text = port_->ReadAll();
  if (text.empty()) return text;
  // The log is trimmed here too, so a long transaction with hex input on
  // cannot grow it without bound.
  if (Options.HexInput) {
    LogBytes(text, true);
    Ui().TrafficLogChanged();
  }
  if (showInTerminal) Ui().TerminalOutput(text);
  return text;
}

int CAdapter::ReadBytes(uint8_t* buffer, int size, bool log) {
  if (!buffer || size <= 0) return 0;
  std::memset(buffer, 0, static_cast<size_t>(size));
  if (!port_ || !port_->IsOpen()) return 0;
  const std::string data = port_->ReadAll();
  const int count = std::min(size, static_cast<int>(data.size()));
  std::memcpy(buffer, data.data(), static_cast<size_t>(count));
  if (log && !data.empty()) {
    LogBytes(data, true);
    Ui().TrafficLogChanged();
    Ui().RefreshTerminalInfo();
  }
  return count;
}

std::string CAdapter::SettingsText() const {
  return BaudRate + "," + (Parity.empty() ? std::string() : Parity.substr(0, 1)) + "," + DataBits +
         "," + StopBits;
}

bool CAdapter::ApplyPortSettings() {
  SetTimeoutUnit(ToInt(BaudRate));
  if (!port_) return false;
  {
    const WaitThroughUi wait(*this);
    if (!port_->SetSettings(SettingsText())) return false;
  }
  Ui().SelectPortSettings();
  Ui().RefreshTerminalInfo();
  return true;
}

void CAdapter::ApplyLineOptions() {
  if (!port_) return;
  // Handshaking first, then both lines set outright: switching RTS/CTS
  // handshaking on does not raise an RTS that was lowered by hand (the
  // firmware download lowers it), and a modem that obeys RTS would never
  // answer.
  port_->SetHandshaking(Options.FlowControl);
  port_->SetDtrEnable(Options.DTREnable == 1);
  port_->SetRtsEnable(Options.RTSEnable == 1);
}

void CAdapter::RefreshIndicators() {
  if (!port_ || !port_->IsOpen()) {
    DarkenIndicators();
    return;
  }
  lastCts_ = port_->CtsHolding();
  lastDsr_ = port_->DsrHolding();
  lastCd_ = port_->CdHolding();
  shownCts_ = lastCts_;
  Ui().SetIndicators(lastCts_, lastDsr_, lastCd_);
}

void CAdapter::DarkenIndicators() {
  lastCts_ = lastDsr_ = lastCd_ = shownCts_ = false;
  Ui().SetIndicators(false, false, false);
}

void CAdapter::HandleCommEvent(int event) {
  switch (event) {
    case COMM_EV_RECEIVE: {
      if (!(LinkState & LS_PORT_OPEN)) return;
      if (Options.HexInput && InputMode == 1) {
        uint8_t buffer[4095];
        ReadBytes(buffer, sizeof buffer, true);
      } else if (!Options.HexInput) {
        ReadText(true);
      }
      return;
    }
    case COMM_EV_CTS:
      if (Options.AutoDisconnect == 1) {
        if (LinkState & LS_IDENTIFIED) CloseLink();
        return;
      }
      shownCts_ = lastCts_;
      Ui().SetIndicators(shownCts_, lastDsr_, lastCd_);
      return;
    case COMM_EV_DSR:
    case COMM_EV_CD:
      // With AutoDisconnect a CTS change leaves its indicator as it was.
      Ui().SetIndicators(shownCts_, lastDsr_, lastCd_);
      return;
    default:
      return;
  }
}

bool CAdapter::CloseIfPortLost() {
  if (!(LinkState & LS_PORT_OPEN) || !port_ || (port_->IsOpen() && !port_->Lost())) return false;
  Ui().TerminalOutput("\r\nThe port " + PortNumber + " went away.\r\n");
  ++PortLosses;
  CloseLink();
  return true;
}

void CAdapter::ServiceLineEvents() {
  if (RThreshold == 1 && PortIsOpen()) HandleCommEvent(COMM_EV_RECEIVE);
  CloseIfPortLost();
}

void CAdapter::CheckLineSignals() {
  if (CloseIfPortLost() || !port_ || !port_->IsOpen()) return;
  const bool cts = port_->CtsHolding(), dsr = port_->DsrHolding(), cd = port_->CdHolding();
  const bool ctsChanged = cts != lastCts_, dsrChanged = dsr != lastDsr_, cdChanged = cd != lastCd_;
  lastCts_ = cts;
  lastDsr_ = dsr;
  lastCd_ = cd;
  if (ctsChanged) HandleCommEvent(COMM_EV_CTS);
  if (dsrChanged && (LinkState & LS_PORT_OPEN)) HandleCommEvent(COMM_EV_DSR);
  if (cdChanged && (LinkState & LS_PORT_OPEN)) HandleCommEvent(COMM_EV_CD);
}

}  // namespace kelvane
