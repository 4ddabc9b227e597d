#include "sim/simulated_modem.h"
#include "sim/telephone_network.h"

#include <algorithm>

#include "sim/sim_text.h"

// Dialling and the call: "ATD", "ATH", "ATO", "ATA", DTR, online data and the
// "+++" escape; then the firmware loader started by "AT**": the record
// download and the flashing that follows it.

namespace kelvane {

using namespace simtext;

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The bytes of a hex text, or false when it is not an even run of hex digits.
bool HexBytes(std::string_view hex, std::vector<int>& out) {
  if (hex.size() % 2 != 0) return false;
  out.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(hi * 16 + lo);
  }
  return true;
}

// What the loader takes: a Motorola S-record (count, address, data and a
// ones' complement checksum) or an Intel hex record (two's complement
// checksum). An empty record is ignored.
bool IsGoodRecord(std::string_view r) {
  if (r.empty()) return true;
  std::vector<int> bytes;
  int sum = 0;
  if (r.size() >= 4 && Up(r[0]) == 'S' && IsDigit(r[1]) && HexBytes(r.substr(2), bytes)) {
    if (bytes.size() < 2 || static_cast<size_t>(bytes[0]) != bytes.size() - 1) return false;
    for (size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
    return ((~sum) & 0xFF) == bytes.back();
  }
  if (r.size() >= 11 && r[0] == ':' && HexBytes(r.substr(1), bytes)) {
    if (static_cast<size_t>(bytes[0]) + 5 != bytes.size()) return false;
    for (int b : bytes) sum += b;
    return (sum & 0xFF) == 0;
  }
  return false;
}

// The header record "S0" carries text after its two address bytes: the
// version the firmware reports once it is flashed ("SW 3.15"). Empty for
// any other record.
std::string HeaderText(std::string_view r) {
  std::vector<int> bytes;
  if (r.size() < 10 || Up(r[0]) != 'S' || r[1] != '0' || !HexBytes(r.substr(2), bytes) || bytes.size() < 4) return "";
  std::string text;
  for (size_t i = 3; i + 1 < bytes.size(); ++i) {
    if (bytes[i] >= 0x20 && bytes[i] < 0x7F) text += static_cast<char>(bytes[i]);
  }
  return text;
}

bool IsEndRecord(std::string_view r) {
  if (r.size() >= 2 && Up(r[0]) == 'S' && (r[1] == '7' || r[1] == '8' || r[1] == '9')) return true;
  return Upper(r) == ":00000001FF";
}

}  // namespace

bool SimulatedModem::Connected() const {
  return mode_ == Mode::Online || mode_ == Mode::OnlineCommand;
}
std::string SimulatedModem::CallStateName() const {
  switch (mode_) {
    case Mode::Command: return "command";
    case Mode::Dialling: return "dialling";
    case Mode::OnlineCommand: return "online-command";
    case Mode::Download:
    case Mode::Flashing: return "download";
    case Mode::Online: break;
  }
  if (escapeDue_ >= 0) return "escape";
  if (far_ && far_->session_ == LineSession::Password) return "password";
  if (far_ && far_->session_ == LineSession::Remote) return "session";
  return "online";
}

bool SimulatedModem::Downloading() const {
  return mode_ == Mode::Download || mode_ == Mode::Flashing;
}
bool SimulatedModem::CdOn() const { return active_.dcdControl == 0 || Connected(); }
bool SimulatedModem::DsrOn() const { return active_.dsrControl == 0 || Connected(); }

// --- commands --------------------------------------------------------------------

void SimulatedModem::DialCommand(CommandLine& cl) {
  if (cl.remote || mode_ != Mode::Command) {
    cl.result = RC_ERROR;
    return;
  }
  std::string number;
  std::string_view rest = cl.body.substr(cl.i + 1);
  const std::string urest = Upper(rest);
  if (urest.rfind("S=", 0) == 0 || urest == "S") {
    int slot = 0;
    if (urest.size() > 2 && !ParseNumber(urest.substr(2), 3, slot)) {
      cl.result = RC_ERROR;
      return;
    }
    number = active_.storedNumbers[static_cast<size_t>(slot)];
  } else {
    for (char d : rest)
      if (d != ' ' && d != ';') number += d;
  }
  if (std::none_of(number.begin(), number.end(), IsDigit)) {
    cl.result = RC_ERROR;
    return;
  }
  StartDial(number);
  // The rest of the line is the number; the result comes when the call does.
  cl.result = RC_NONE;
}

bool SimulatedModem::CallCommand(char letter, int v, CommandLine& cl) {
  switch (letter) {
    case 'H':
      if (v != 0 || cl.remote) {
        cl.result = RC_ERROR;
      } else if (Connected()) {
        HangUp();
      }
      return true;
    case 'O':
      if (cl.remote || v != 0) {
        cl.result = RC_ERROR;
      } else if (mode_ == Mode::OnlineCommand) {
        mode_ = Mode::Online;
        lastDataMs_ = now_;
        cl.result = RC_CONNECT;
      } else {
        cl.result = RC_NO_CARRIER;
      }
      return true;
    case 'A':
      // No call is ringing.
      cl.result = cl.remote ? RC_ERROR : RC_NO_CARRIER;
      return true;
    default:
      return false;
  }
}

void SimulatedModem::StartDownload(CommandLine& cl) {
  if (cl.remote || mode_ != Mode::Command) {
    cl.result = RC_ERROR;
    return;
  }
  mode_ = Mode::Download;
  records_.clear();
  recordBuf_.clear();
  firmwareValid_ = true;
  flashedVersion_.clear();
  endRecordSeen_ = false;
  downloadIdleDue_ = now_ + options_.downloadIdleMs;
  cl.out += Info(options_.downloadMode == 2 ? "Downloading Record Data..."
                                            : "Download initiated...");
  cl.result = RC_NONE;
}

// --- calls -----------------------------------------------------------------------

void SimulatedModem::StartDial(std::string number) {
  dialled_ = std::move(number);
  mode_ = Mode::Dialling;
  dialDue_ = now_ + options_.dialDelayMs;
}

void SimulatedModem::FinishDial() {
  if (mode_ != Mode::Dialling) return;
  std::string r = !options_.remoteNumber.empty() && dialled_ != options_.remoteNumber
                      ? std::string("NO ANSWER")
                      : options_.dialResult;
  if (r.empty() && options_.network) {
    bool busy = false;
    called_ = options_.network->Answer(dialled_, this, busy);
    if (!called_) r = busy ? "BUSY" : "NO ANSWER";
  }
  if (!r.empty()) {
    mode_ = Mode::Command;
    const int code = r == "BUSY" ? RC_BUSY
                     : r == "NO ANSWER" ? RC_NO_ANSWER
                     : r == "NO DIALTONE" ? RC_NO_DIALTONE
                                          : RC_NO_CARRIER;
    Emit(Result(code));
    return;
  }
  mode_ = Mode::Online;
  lastDataMs_ = now_;
  plusCount_ = 0;
  SimulatedModem& far = Far();
  far.session_ = LineSession::Data;
  far.linePlus_ = 0;
  far.lineBuf_.clear();
  remoteLines_ = 0;
  sessionSeen_ = false;
  const std::string carrier = active_.modulation.substr(0, active_.modulation.find(','));
  diag_.norm = carrier;
  diag_.termination = "NONE";
  Emit(Result(RC_CONNECT));
}

void SimulatedModem::HangUp() {
  if (!Connected()) return;
  mode_ = Mode::Command;
  escapeDue_ = -1;
  plusCount_ = 0;
  diag_.termination = "LOCAL REQUEST";
  EndCall();
}

SimulatedModem& SimulatedModem::Far() { return called_ ? *called_ : FarModem(); }

void SimulatedModem::EndCall() {
  if (called_) {
    called_->LineDropped();
    options_.network->Release(called_);
    called_ = nullptr;
  } else if (far_) {
    far_->LineDropped();
  }
}

void SimulatedModem::SetDtr(bool on) {
  if (on) return;
  if (mode_ == Mode::Dialling && active_.dtrControl >= 2) {
    dialDue_ = -1;
    mode_ = Mode::Command;
    Emit(Result(RC_OK));
  } else if (mode_ == Mode::Online && active_.dtrControl == 1) {
    mode_ = Mode::OnlineCommand;
    Emit(Result(RC_OK));
  } else if (Connected() && active_.dtrControl >= 2) {
    HangUp();
    Emit(Result(RC_OK));
  }
}

void SimulatedModem::EscapeConfirmed() {
  plusCount_ = 0;
  if (mode_ == Mode::Online) {
    mode_ = Mode::OnlineCommand;
    Emit(Result(RC_OK));
  }
}

void SimulatedModem::OnlineData(std::string_view bytes) {
  const long long guard = static_cast<long long>(active_.s[12]) * 20;
  const char plus = static_cast<char>(active_.s[2]);
  for (char c : bytes) {
    // The escape sequence: three escape characters after a guard time of
    // silence; it takes effect after a second guard time without data.
    const bool starts = plusCount_ == 0 && now_ - lastDataMs_ >= guard;
    const bool continues =
        plusCount_ > 0 && plusCount_ < 3 && (guard == 0 || now_ - lastPlusMs_ < guard);
    if (c == plus && (starts || continues)) {
      ++plusCount_;
      lastPlusMs_ = now_;
      if (plusCount_ == 3) escapeDue_ = now_ + guard;
    } else {
      plusCount_ = 0;
      escapeDue_ = -1;
    }
    lastDataMs_ = now_;
    Far().Advance(now_);
    if (c == '\r' && Far().session_ == LineSession::Remote && options_.dropLineAfter > 0 &&
        ++remoteLines_ >= options_.dropLineAfter) {
      // The far end hangs up: the call is over and the local modem says so.
      mode_ = Mode::Command;
      escapeDue_ = -1;
      plusCount_ = 0;
      diag_.termination = "REMOTE REQUEST";
      EndCall();
      Emit(Result(RC_NO_CARRIER));
      return;
    }
    int delayMs = 0;
    const size_t farLines = Far().ReceivedLines().size();
    std::string back = Far().LineInput(std::string_view(&c, 1), options_.promptDelayMs, delayMs);
    if (!options_.cutFarLineOn.empty() && Far().ReceivedLines().size() > farLines &&
        Upper(Far().ReceivedLines().back()).rfind(Upper(options_.cutFarLineOn), 0) == 0) {
      options_.cutFarLineOn.clear();
      lineCut_ = true;
      return;
    }
    Emit(std::move(back), delayMs);
  }
}

// --- firmware download -------------------------------------------------------

void SimulatedModem::DownloadData(std::string_view bytes) {
  for (char c : bytes) {
    if (c == '\n') continue;
    if (c != '\r') {
      if (recordBuf_.size() < 1024) recordBuf_ += c;
      continue;
    }
    records_.push_back(recordBuf_);
    if (!IsGoodRecord(recordBuf_)) firmwareValid_ = false;
    else if (std::string header = HeaderText(recordBuf_); !header.empty()) flashedVersion_ = header;
    const bool last = IsEndRecord(recordBuf_);
    if (last) endRecordSeen_ = true;
    recordBuf_.clear();
    Emit(".");
    if (last) {
      StartFlashing();
      return;
    }
    downloadIdleDue_ = now_ + options_.downloadIdleMs;
  }
}

void SimulatedModem::StartFlashing() {
  mode_ = Mode::Flashing;
  downloadIdleDue_ = -1;
  for (int k = 1; k <= 10; ++k) Emit(".", 100 * k);
  std::string outcome = "Download failed";
  // A bad record or a download that ended without its end record leaves
  // nothing to program.
  if (options_.flashSucceeds && firmwareValid_ && endRecordSeen_) {
    outcome = options_.downloadMode == 2 ? "Download successful" : "Download Success";
    // The new firmware reports the version its header names.
    if (!flashedVersion_.empty()) software_ = flashedVersion_;
  }
  flashedVersion_.clear();
  Emit("\r\n" + outcome + "\r\n", 1100);
  flashEndDue_ = now_ + 1100;
}

}  // namespace kelvane
