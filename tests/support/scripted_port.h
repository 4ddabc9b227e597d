#pragma once
// A serial port whose far end is a function: every line the program sends
// (up to its carriage return) is handed to `respond`, and what it returns is
// waiting as input at once. The descriptor polls readable while input waits.

#include <functional>
#include <string>
#include <vector>

#include "serial/serial_port.h"

namespace kelvane::testing {

class ScriptedPort : public SerialPort {
 public:
  ScriptedPort();
  ~ScriptedPort() override;

  std::function<std::string(const std::string& line)> respond;
  bool refuseOpen = false;
  std::string refuseReason = "Permission denied";
  bool cts = true, dsr = true, cd = false;
  std::vector<std::string> sentLines;  // every line, without its CR
  std::string sentBytes;                // everything written
  std::string lastSettings;
  int outBufferCount = 0;
  // Every change of DTR, RTS and handshaking, in order ("RTS off",
  // "handshaking 2").
  std::vector<std::string> lineSignals;

  void Inject(std::string_view bytes);
  void SetLost(bool lost) { lost_ = lost; }

  bool Open(const std::string& portName, std::string& reason) override;
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  bool SetSettings(std::string_view settingsText) override;
  void SetDtrEnable(bool on) override { lineSignals.push_back(on ? "DTR on" : "DTR off"); }
  void SetRtsEnable(bool on) override { lineSignals.push_back(on ? "RTS on" : "RTS off"); }
  void SetHandshaking(int mode) override { lineSignals.push_back("handshaking " + std::to_string(mode)); }
  void SetBreak(bool) override {}
  int OutBufferSize() const override { return 512; }
  int OutBufferCount() const override { return outBufferCount; }
  size_t Write(std::string_view bytes) override;
  std::string ReadAll() override;
  bool CtsHolding() const override { return cts; }
  bool DsrHolding() const override { return dsr; }
  bool CdHolding() const override { return cd; }
  int PollFd() const override { return eventFd_; }
  bool Lost() const override { return lost_; }

 private:
  void Signal();
  bool open_ = false;
  bool lost_ = false;
  int eventFd_ = -1;
  std::string line_;
  std::string input_;
};

}  // namespace kelvane::testing
