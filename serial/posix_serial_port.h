#pragma once
// A serial port on a tty device (a real UART, a USB adapter or a
// pseudo-terminal), driven through termios.

#include <string>

#include "serial/serial_port.h"

namespace kelvane {

class PosixSerialPort : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool Open(const std::string& portName, std::string& reason) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  bool SetSettings(std::string_view settingsText) override;
  void SetDtrEnable(bool on) override;
  void SetRtsEnable(bool on) override;
  void SetHandshaking(int mode) override;
  void SetBreak(bool on) override;
  int OutBufferSize() const override { return 4096; }
  int OutBufferCount() const override;
  size_t Write(std::string_view bytes) override;
  std::string ReadAll() override;
  bool CtsHolding() const override { return Line(0x020 /* TIOCM_CTS */); }
  bool DsrHolding() const override { return Line(0x100 /* TIOCM_DSR */); }
  bool CdHolding() const override { return Line(0x040 /* TIOCM_CD */); }
  bool ReportsCarrier() const override { return fd_ >= 0 && modemLines_; }
  int PollFd() const override { return fd_; }
  bool Lost() const override { return lost_; }

  // Whether the device answers modem-line ioctls (a pseudo-terminal does not).
  bool HasModemLines() const { return modemLines_; }

 private:
  bool Line(int bit) const;
  void ApplyTermios();
  void SetModemBit(int bit, bool on);

  int fd_ = -1;
  bool lost_ = false;
  bool modemLines_ = true;
  LineSettings settings_;
  int handshaking_ = 0;
  bool dtr_ = true;
  bool rts_ = true;
};

// The reason and remedy for a failed open, from errno.
std::string DescribeOpenError(const std::string& portName, int error);

}  // namespace kelvane
