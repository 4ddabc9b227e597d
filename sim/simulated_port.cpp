#include "sim/simulated_port.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

namespace kelvane {

SimulatedPort::SimulatedPort(SimulatedModem modem) : modem_(std::move(modem)) {
  efd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  const auto start = std::chrono::steady_clock::now();
  clock_ = [start] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
  };
}

SimulatedPort::~SimulatedPort() {
  if (efd_ >= 0) ::close(efd_);
}

void SimulatedPort::SetClock(std::function<long long()> clock) {
  if (clock) clock_ = std::move(clock);
}

void SimulatedPort::Signal() const {
  if (efd_ < 0) return;
  const bool want = !input_.empty();
  if (want == signalled_) return;
  if (want) {
    const uint64_t one = 1;
    if (::write(efd_, &one, sizeof one) == sizeof one) signalled_ = true;
  } else {
    uint64_t count = 0;
    if (::read(efd_, &count, sizeof count) == sizeof count || errno == EAGAIN) signalled_ = false;
  }
}

void SimulatedPort::Refresh() const {
  if (!open_ || lost_) return;
  modem_.Advance(clock_());
  input_ += modem_.TakeOutput();
  Signal();
}

bool SimulatedPort::Open(const std::string& portName, std::string& reason) {
  (void)portName;
  if (!failNextOpen_.empty()) {
    reason = failNextOpen_;
    failNextOpen_.clear();
    return false;
  }
  if (!present_) {
    reason = "No such device";
    return false;
  }
  open_ = true;
  lost_ = false;
  input_.clear();
  Signal();
  return true;
}

void SimulatedPort::Close() {
  open_ = false;
  lost_ = false;
  input_.clear();
  Signal();
}

bool SimulatedPort::SetSettings(std::string_view settingsText) {
  LineSettings s;
  if (!ParseSettingsText(settingsText, s)) return false;
  line_ = s;
  return true;
}

void SimulatedPort::SetDtrEnable(bool on) {
  dtr_ = on;
  if (IsOpen()) {
    modem_.Advance(clock_());
    modem_.SetDtr(on);
    Refresh();
  }
}

size_t SimulatedPort::Write(std::string_view bytes) {
  if (!IsOpen()) return 0;
  written_ += bytes;
  modem_.Advance(clock_());
  modem_.Feed(bytes, line_);
  if (modem_.TakeLineCut()) {
    LoseDevice();
    // Back as soon as it is opened again.
    RestoreDevice();
    return bytes.size();
  }
  Refresh();
  return bytes.size();
}

std::string SimulatedPort::ReadAll() {
  if (!IsOpen()) return {};
  Refresh();
  std::string bytes;
  bytes.swap(input_);
  Signal();
  return bytes;
}

void SimulatedPort::InjectInput(std::string_view bytes) {
  input_ += bytes;
  Signal();
}

void SimulatedPort::LoseDevice() {
  present_ = false;
  if (open_) lost_ = true;
  input_.clear();
  Signal();
}

void SimulatedPort::RestoreDevice() { present_ = true; }

bool SimulatedPort::CtsHolding() const { return IsOpen() && modem_.CtsOn(); }

bool SimulatedPort::DsrHolding() const {
  Refresh();
  return IsOpen() && modem_.DsrOn();
}

bool SimulatedPort::CdHolding() const {
  Refresh();
  return IsOpen() && modem_.CdOn();
}

int SimulatedPort::PollFd() const {
  Refresh();
  return efd_;
}

int SimulatedModelType(const std::string& name) {
  if (name.size() != 5 || name.compare(0, 4, "sim:") != 0) return 0;
  const char n = name[4];
  return n >= '1' && n <= '4' ? n - '0' : 0;
}

std::unique_ptr<SerialPort> MakeSimulatedPort(const std::string& name) {
  const int model = SimulatedModelType(name);
  if (!model) return nullptr;
  return std::make_unique<SimulatedPort>(SimulatedModem(model));
}

}  // namespace kelvane
