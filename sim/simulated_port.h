#pragma once
// A serial port with a simulated modem behind it, in the same process. What
// the program writes goes straight into the modem; what the modem answers
// waits in an input buffer, and an eventfd polls readable exactly while that
// buffer holds something, so waits block on it like on a real line.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "serial/serial_port.h"
#include "sim/simulated_modem.h"

namespace kelvane {

class SimulatedPort : public SerialPort {
 public:
  explicit SimulatedPort(SimulatedModem modem = SimulatedModem(2));
  ~SimulatedPort() override;
  SimulatedPort(const SimulatedPort&) = delete;
  SimulatedPort& operator=(const SimulatedPort&) = delete;

  SimulatedModem& Modem() { return modem_; }

  // The modem's clock in milliseconds. By default the monotonic clock; tests
  // on virtual time hand in theirs, so that dial delays and escape guard
  // times pass with the virtual time.
  void SetClock(std::function<long long()> clock);

  // The device goes away under the open port (Lost() becomes true and the
  // port reads as closed); opening fails until it is restored.
  void LoseDevice();
  void RestoreDevice();
  // The next Open fails with this reason.
  void FailNextOpen(std::string reason) { failNextOpen_ = std::move(reason); }
  // Bytes that arrive as if the modem had sent them.
  void InjectInput(std::string_view bytes);

  const LineSettings& Line() const { return line_; }
  bool DtrEnabled() const { return dtr_; }
  bool RtsEnabled() const { return rts_; }
  int Handshaking() const { return handshaking_; }
  bool BreakOn() const { return break_; }
  // Everything written since the port was created.
  const std::string& Written() const { return written_; }

  bool Open(const std::string& portName, std::string& reason) override;
  void Close() override;
  bool IsOpen() const override { return open_ && !lost_; }
  bool SetSettings(std::string_view settingsText) override;
  void SetDtrEnable(bool on) override;
  void SetRtsEnable(bool on) override { rts_ = on; }
  void SetHandshaking(int mode) override { handshaking_ = mode; }
  void SetBreak(bool on) override { break_ = on; }
  int OutBufferSize() const override { return 512; }
  int OutBufferCount() const override { return 0; }
  size_t Write(std::string_view bytes) override;
  std::string ReadAll() override;
  bool CtsHolding() const override;
  bool DsrHolding() const override;
  bool CdHolding() const override;
  bool ReportsCarrier() const override { return true; }
  // Also brings the modem up to the clock, so output that fell due since the
  // last call makes the descriptor readable.
  int PollFd() const override;
  bool Lost() const override { return lost_; }

 private:
  // Advances the modem to the clock, collects its due output and sets the
  // eventfd to match.
  void Refresh() const;
  void Signal() const;

  mutable SimulatedModem modem_;
  std::function<long long()> clock_;
  mutable std::string input_;
  mutable bool signalled_ = false;
  int efd_ = -1;
  bool open_ = false;
  bool lost_ = false;
  bool present_ = true;
  std::string failNextOpen_;
  LineSettings line_;
  bool dtr_ = false;
  bool rts_ = false;
  int handshaking_ = 0;
  bool break_ = false;
  std::string written_;
};

// The model type (1 to 4) of a port name "sim:TYPE", or 0 for any other name.
int SimulatedModelType(const std::string& name);

// A new simulated port for a name "sim:TYPE", null for any other name: the
// maker the programs that offer simulated modems register with MakePort.
std::unique_ptr<SerialPort> MakeSimulatedPort(const std::string& name);

}  // namespace kelvane
