#pragma once
// The one way the program reaches a serial line. The members mirror what the
// tool asks of a serial control: open by name, a settings text, DTR/RTS and
// handshaking, break, the output buffer, "everything waiting" as input, the
// modem status lines and line events.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kelvane {

// Line events, as reported by the control's communication event.
enum CommEvent : int {
  COMM_EV_NONE = 0,
  COMM_EV_RECEIVE = 2,
  COMM_EV_CTS = 3,
  COMM_EV_DSR = 4,
  COMM_EV_CD = 5,
};

// Line parameters parsed from a settings text such as "9600,N,8,1".
struct LineSettings {
  int baud = 9600;
  char parity = 'N';  // 'N', 'O', 'E' (also 'M', 'S' accepted by the text form)
  int dataBits = 8;
  int stopBits = 1;

  bool operator==(const LineSettings&) const = default;
};

// Parses "baud,P,data,stop". Returns false (and leaves `out` alone) when the
// text is not a complete, valid settings text.
bool ParseSettingsText(std::string_view text, LineSettings& out);
std::string FormatSettingsText(const LineSettings& s);

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // PortOpen = true. On failure returns false and fills `reason` with what the
  // operating system said (and a remedy where one is known).
  virtual bool Open(const std::string& portName, std::string& reason) = 0;
  // PortOpen = false. Harmless when already closed.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Settings: false when the text is invalid or the line refuses it; the
  // previous settings then stay in force.
  virtual bool SetSettings(std::string_view settingsText) = 0;
  virtual void SetDtrEnable(bool on) = 0;
  virtual void SetRtsEnable(bool on) = 0;
  // 0 none, 1 XOn/XOff, 2 RTS/CTS, 3 both.
  virtual void SetHandshaking(int mode) = 0;
  virtual void SetBreak(bool on) = 0;

  virtual int OutBufferSize() const = 0;
  virtual int OutBufferCount() const = 0;
  // Output: queues the bytes; returns how many were accepted.
  virtual size_t Write(std::string_view bytes) = 0;
  // Input: everything waiting right now (possibly empty). Never blocks.
  virtual std::string ReadAll() = 0;

  virtual bool CtsHolding() const = 0;
  virtual bool DsrHolding() const = 0;
  virtual bool CdHolding() const = 0;
  // Whether CdHolding reads the line itself; a port without modem-status
  // lines (a pseudo-terminal, a plain network port) reads it as held.
  virtual bool ReportsCarrier() const { return false; }

  // A descriptor that polls readable while input is waiting, or -1. Waits
  // block on it instead of spinning.
  virtual int PollFd() const = 0;

  // How the port waits where opening it or a setting takes time (a port
  // across the network connects and waits for the server's answers):
  // `wait(fd)` returns when `fd` polls readable or at the next tick, having
  // let the program's events run meanwhile, and false once the user
  // cancelled. Without one the port blocks in poll(2). Returns the waiter it
  // replaces; ports that never wait keep none.
  using Waiter = std::function<bool(int fd)>;
  virtual Waiter SetWaiter(Waiter waiter) {
    (void)waiter;
    return {};
  }

  // Set when the device went away underneath an open port (unplugged, the
  // other end of a pseudo-terminal closed). The port then reads as closed.
  virtual bool Lost() const { return false; }
};

}  // namespace kelvane
