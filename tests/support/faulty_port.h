#pragma once
// A serial port in front of an in-process simulated modem that counts the
// commands the program sends and, at a chosen one, injects a fault:
//   Lost   - the adapter is pulled: the command never arrives, the port reads
//            as closed and lost, and opening fails until Repair();
//   Error  - the modem answers "ERROR" (in its own echo and result format)
//            instead of carrying the command out;
//   Silent - the modem goes dead: this command and everything after it is
//            swallowed and nothing more comes back.
// A command is a line ended by a carriage return (empty lines, such as the
// probe's lone CR, do not count) or a write of plus signs alone (an escape
// sequence or a remote configuration request).

#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_port.h"
#include "sim/simulated_port.h"

namespace kelvane::testing {

enum class Fault { None, Lost, Error, Silent };

const char* FaultName(Fault fault);

class FaultyPort : public SerialPort {
 public:
  explicit FaultyPort(SimulatedPort& inner) : inner_(inner) {}

  // The fault hits the k-th command (1-based) counted from the last
  // ResetCount(); k = 0 makes it hit at once, before any command.
  void Arm(Fault fault, int k);
  // Takes the fault back: the device is present again and the modem talks.
  void Repair();
  void ResetCount();
  // The commands sent since the last ResetCount(), without their CR.
  const std::vector<std::string>& Commands() const { return commands_; }
  // The command the fault hit (empty before it fired).
  const std::string& HitCommand() const { return hit_; }
  bool Fired() const { return fired_; }
  // The position the fault is armed for.
  int At() const { return at_; }
  SimulatedPort& Inner() { return inner_; }

  bool Open(const std::string& portName, std::string& reason) override { return inner_.Open(portName, reason); }
  void Close() override;
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool SetSettings(std::string_view settingsText) override { return inner_.SetSettings(settingsText); }
  void SetDtrEnable(bool on) override { inner_.SetDtrEnable(on); }
  void SetRtsEnable(bool on) override { inner_.SetRtsEnable(on); }
  void SetHandshaking(int mode) override { inner_.SetHandshaking(mode); }
  void SetBreak(bool on) override { inner_.SetBreak(on); }
  int OutBufferSize() const override { return inner_.OutBufferSize(); }
  int OutBufferCount() const override { return inner_.OutBufferCount(); }
  size_t Write(std::string_view bytes) override;
  std::string ReadAll() override;
  bool CtsHolding() const override { return inner_.CtsHolding(); }
  bool DsrHolding() const override { return inner_.DsrHolding(); }
  bool CdHolding() const override { return inner_.CdHolding(); }
  bool ReportsCarrier() const override { return inner_.ReportsCarrier(); }
  // A dead modem never makes the line readable.
  int PollFd() const override { return silent_ ? -1 : inner_.PollFd(); }
  bool Lost() const override { return inner_.Lost(); }

 private:
  // Counts one command; true when the armed fault fires on it.
  bool Count(std::string_view command);
  void Fire();
  // What the modem says to a command it refuses, echo included.
  std::string ErrorAnswer(std::string_view command) const;

  SimulatedPort& inner_;
  Fault fault_ = Fault::None;
  int at_ = 0;
  bool fired_ = false;
  bool silent_ = false;
  std::string hit_;
  std::string line_;  // the command being written, up to its CR
  std::vector<std::string> commands_;
};

}  // namespace kelvane::testing
