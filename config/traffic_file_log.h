#pragma once
// The traffic log file: every byte to and from the modem, written as text one
// line at a time, each line with its time stamp and direction:
//
//   2026-12-07 11:52:09.123 TX AT&V\r
//   2026-12-07 11:52:09.180 RX AT&V\r
//   2026-12-07 11:52:09.181 RX \r\n
//
// Bytes outside printable ASCII appear as \r, \n, \t or \xNN and a backslash
// as \\, so the bytes can be told exactly from the file. A line ends after a
// line feed, after a carriage return not followed by a line feed, or when the
// direction changes; a longer line than 256 bytes is written in pieces of 256
// with the time of its first byte.
//
// Passwords never reach the file: a send marked secret (the remote login's
// password) is written as "********" and so is its echo, and the password
// fields of configuration commands and answers ("AT*WRCP=", "*WRCP: ",
// "n_Password=", the third argument of "AT*WCBTAB=") are masked in both
// directions.
//
// TrafficLoggingPort puts a log between the program and any serial port, so
// every byte is seen whoever reads or writes.

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "serial/serial_port.h"

namespace kelvane {

class TrafficFileLog {
 public:
  // The time stamp of a line; local time with milliseconds by default.
  using StampFunction = std::function<std::string()>;

  explicit TrafficFileLog(StampFunction stamp = {});
  ~TrafficFileLog();
  TrafficFileLog(const TrafficFileLog&) = delete;
  TrafficFileLog& operator=(const TrafficFileLog&) = delete;

  // Opens `path` for appending (a log kept across sessions grows) and writes
  // a line saying the log starts. On failure `error` names the file and what
  // the system said.
  bool Open(const std::string& path, std::string& error);
  // Writes what is pending, a closing line, and closes. Harmless when closed.
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }

  // Bytes written to the modem and bytes received from it.
  void Sent(std::string_view bytes);
  void Received(std::string_view bytes);
  // The next Sent call carries a secret (a password): its text is masked,
  // and so is its echo in what is received until the next send.
  void MaskNextSend();
  // Writes a line still open and flushes the file.
  void Flush();

  static constexpr std::string_view kMask = "********";

  // "YYYY-MM-DD HH:MM:SS.mmm" of the current local time.
  static std::string LocalTimeStamp();

 private:
  enum class Direction { None, Sent, Received };
  void Add(Direction direction, std::string_view bytes);
  // `cut`: the line ends only because it grew too long.
  void EndLine(bool cut = false);
  void WriteRaw(const std::string& text);

  StampFunction stamp_;
  std::FILE* file_ = nullptr;
  std::string path_;
  Direction direction_ = Direction::None;
  std::string line_;       // bytes of the line being collected
  std::string lineStamp_;  // the time of its first byte
  bool maskNextSend_ = false;
  bool lineIsSecret_ = false;
  bool secretRunsOn_ = false;  // a line cut inside a password field
  std::string secret_;  // the last secret sent, masked in its echo
};

// Opens (or creates, readable by its owner only) a traffic log for appending;
// a link another user planted in a shared folder is refused. On failure
// nullptr, with `error` naming the file and the reason.
std::FILE* OpenTrafficLogFile(const std::string& path, std::string& error);

// Masks the password fields of configuration commands and answers in one
// line of traffic (the line end excluded).
std::string MaskPasswordFields(std::string_view line);
// The same for a text of several lines (a modem's answer with its echo).
std::string MaskPasswordFieldsInText(std::string_view text);

// A serial port that forwards everything to another and logs every byte
// written and read to a TrafficFileLog (when the log is open).
class TrafficLoggingPort : public SerialPort {
 public:
  explicit TrafficLoggingPort(TrafficFileLog& log, SerialPort* inner = nullptr) : log_(log), inner_(inner) {}
  void SetInner(SerialPort* inner) { inner_ = inner; }
  SerialPort* Inner() const { return inner_; }

  bool Open(const std::string& portName, std::string& reason) override;
  void Close() override;
  bool IsOpen() const override { return inner_ && inner_->IsOpen(); }
  bool SetSettings(std::string_view settingsText) override;
  void SetDtrEnable(bool on) override;
  void SetRtsEnable(bool on) override;
  void SetHandshaking(int mode) override;
  void SetBreak(bool on) override;
  int OutBufferSize() const override { return inner_ ? inner_->OutBufferSize() : 0; }
  int OutBufferCount() const override { return inner_ ? inner_->OutBufferCount() : 0; }
  size_t Write(std::string_view bytes) override;
  std::string ReadAll() override;
  bool CtsHolding() const override { return inner_ && inner_->CtsHolding(); }
  bool DsrHolding() const override { return inner_ && inner_->DsrHolding(); }
  bool CdHolding() const override { return inner_ && inner_->CdHolding(); }
  bool ReportsCarrier() const override { return inner_ && inner_->ReportsCarrier(); }
  int PollFd() const override { return inner_ ? inner_->PollFd() : -1; }
  bool Lost() const override { return inner_ && inner_->Lost(); }
  Waiter SetWaiter(Waiter waiter) override { return inner_ ? inner_->SetWaiter(std::move(waiter)) : Waiter(); }

 private:
  TrafficFileLog& log_;
  SerialPort* inner_;
};

}  // namespace kelvane
