#pragma once
// A serial line for the fuzz targets: every command line the program sends
// (up to its carriage return) is handed to `respond`, whose bytes wait as
// input at once. Waiting runs on a virtual clock that jumps a tick per pump,
// so an answer that never completes costs no real time.

#include <functional>
#include <string>
#include <vector>

#include "config/adapter.h"

namespace kelvane::fuzz {

class FuzzPort : public SerialPort {
 public:
  std::function<std::string(const std::string&)> respond;
  std::vector<std::string> lines;

  bool Open(const std::string&, std::string&) override { return open_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  bool SetSettings(std::string_view text) override {
    LineSettings s;
    return ParseSettingsText(text, s);
  }
  void SetDtrEnable(bool) override {}
  void SetRtsEnable(bool) override {}
  void SetHandshaking(int) override {}
  void SetBreak(bool) override {}
  int OutBufferSize() const override { return 4096; }
  int OutBufferCount() const override { return 0; }
  size_t Write(std::string_view bytes) override {
    for (char c : bytes) {
      if (c != '\r') {
        line_ += c;
        continue;
      }
      lines.push_back(line_);
      if (respond) input_ += respond(line_);
      line_.clear();
    }
    return bytes.size();
  }
  std::string ReadAll() override {
    std::string out;
    out.swap(input_);
    return out;
  }
  bool CtsHolding() const override { return true; }
  bool DsrHolding() const override { return true; }
  bool CdHolding() const override { return false; }
  int PollFd() const override { return -1; }

 private:
  bool open_ = false;
  std::string line_;
  std::string input_;
};

// Virtual time: every pump or sleep delivers the ticks that fall due at once.
class FuzzUi : public UserInterface {
 public:
  explicit FuzzUi(CAdapter& a) : a_(a) { a_.SetUi(this); }
  ~FuzzUi() override { a_.SetUi(nullptr); }
  void PumpEvents(int) override { a_.OnTimerTick(); }
  void Sleep(int ms) override {
    for (int t = 0; t < ms / 50; ++t) a_.OnTimerTick();
  }
  MsgAnswer MessageBox(std::string_view, MsgIcon, MsgButtons) override { return MsgAnswer::Yes; }

 private:
  CAdapter& a_;
};

// An adapter linked to the port as if a type 3 modem had been identified.
inline void ConnectIdentified(CAdapter& a, FuzzPort& port) {
  std::string reason;
  port.Open("fuzz", reason);
  a.SetPort(&port);
  a.BaudRate = "9600";
  a.Parity = "None";
  a.DataBits = "8";
  a.StopBits = "1";
  a.LinkState = LS_PORT_OPEN | LS_IDENTIFIED;
  a.ModelType = 3;
  a.TimeoutTicks = 4;  // short budgets: a silent answer ends after a few ticks
}

}  // namespace kelvane::fuzz
