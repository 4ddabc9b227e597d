#pragma once
// A serial port behind a device server on the network. "rfc2217://HOST:PORT"
// speaks Telnet with the COM port control option: the line settings, DTR,
// RTS, flow control and break travel to the server, and the server reports
// CTS, DSR, CD and RI. "tcp://HOST:PORT" is a plain byte stream to a port
// whose settings the server fixes: settings are accepted and change nothing.
// A network port is no file: no lock is taken, the server decides who may
// connect.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_port.h"
#include "serial/telnet_codec.h"

struct addrinfo;

namespace kelvane {

struct NetworkAddress {
  bool telnet = false;  // rfc2217:// rather than tcp://
  std::string host;     // without the brackets of an IPv6 literal
  int port = 0;
};

// Reads "rfc2217://HOST:PORT" or "tcp://HOST:PORT" (HOST may be "[v6]",
// the scheme any case). False for anything else.
bool ParseNetworkPortName(std::string_view name, NetworkAddress& out);
inline bool IsNetworkPortName(std::string_view name) {
  NetworkAddress ignored;
  return ParseNetworkPortName(name, ignored);
}
// A tcp:// port: its line settings cannot be changed from here.
bool IsFixedSettingsPortName(std::string_view name);
// The same port written one way (scheme and host in lower case, the port
// number without leading zeros), so that two spellings of one server port
// are one port. Any other name comes back unchanged.
std::string CanonicalPortName(const std::string& name);
// Where a port name leads: for a network port each address its host has, as
// "ADDRESS:PORT", so that two names of one host ("LOCALHOST", "127.0.0.1")
// share one; the canonical name when the host cannot be looked up within
// `ms`. Any other name comes back alone and unchanged. Lookups are kept for
// the life of the program.
std::vector<std::string> PortEndpoints(const std::string& name, int ms = 2000);

class NetworkSerialPort : public SerialPort {
 public:
  // How long connecting (with the Telnet negotiation) may take, and how long
  // a setting waits for the server's acknowledgement.
  struct Timing {
    int connectMs = 5000;
    int acknowledgeMs = 1000;
    // How long one write may wait for the server to take its bytes.
    int sendMs = 1000;
  };

  // A server may send without pause, and may never read what it is sent:
  // the port takes at most `kMostReadPerWake` bytes each time it looks, keeps
  // at most `kMostInput` bytes of data nobody has read yet (more is dropped,
  // as a serial line overruns), and gives the connection up when more than
  // `kMostOutput` bytes wait for a server that does not take them.
  static constexpr size_t kMostReadPerWake = 64 * 1024;
  static constexpr size_t kMostInput = 1024 * 1024;
  static constexpr size_t kMostOutput = 64 * 1024;

  // How a host name becomes addresses: getaddrinfo(3), or a stand-in for a
  // test. What it finds is released with freeaddrinfo(3).
  using Resolver = std::function<int(const char* host, const char* service, const addrinfo* hints, addrinfo** found)>;

  NetworkSerialPort() = default;
  explicit NetworkSerialPort(Timing timing) : timing_(timing) {}
  ~NetworkSerialPort() override;
  NetworkSerialPort(const NetworkSerialPort&) = delete;
  NetworkSerialPort& operator=(const NetworkSerialPort&) = delete;

  void SetResolver(Resolver resolver) { resolver_ = std::move(resolver); }
  Waiter SetWaiter(Waiter waiter) override {
    std::swap(waiter, waiter_);
    return waiter;
  }

  // The host name's lookup counts against the connect time: a name server
  // that does not answer fails the open when that time is up.
  bool Open(const std::string& portName, std::string& reason) override;
  void Close() override;
  bool IsOpen() const override { return socket_ >= 0; }
  bool SetSettings(std::string_view settingsText) override;
  void SetDtrEnable(bool on) override;
  void SetRtsEnable(bool on) override;
  void SetHandshaking(int mode) override;
  void SetBreak(bool on) override;
  int OutBufferSize() const override { return 4096; }
  int OutBufferCount() const override;
  size_t Write(std::string_view bytes) override;
  std::string ReadAll() override;
  // The lines as the server last reported them; held until it reports (a
  // tcp:// port never does).
  bool CtsHolding() const override { return socket_ >= 0 && (modemState_ & MODEMSTATE_CTS); }
  bool DsrHolding() const override { return socket_ >= 0 && (modemState_ & MODEMSTATE_DSR); }
  bool CdHolding() const override { return socket_ >= 0 && (modemState_ & MODEMSTATE_CD); }
  bool RiHolding() const { return socket_ >= 0 && (modemState_ & MODEMSTATE_RI); }
  // Readable while input waits, whether in the socket or already taken from
  // it during a wait for an acknowledgement.
  int PollFd() const override { return pollFd_; }
  bool Lost() const override { return lost_; }
  // Why the port gave the connection up itself (empty when the server closed
  // it or it is still up).
  const std::string& Fault() const { return fault_; }
  // Data bytes dropped since the open because nobody read them in time.
  size_t Overrun() const { return overrun_; }

 private:
  // One connection attempt, with the Telnet negotiation. `turnedAway`: the
  // server accepted and closed the connection at once.
  bool Connect(const std::string& portName, const addrinfo* found, long long deadline, std::string& reason,
               bool& turnedAway);
  bool Telnet() const { return address_.telnet; }
  // Looks the host up on a thread of its own, within the deadline. With
  // `timedOut` set when the deadline passed first.
  int LookUp(const std::string& service, long long deadline, addrinfo*& found, bool& timedOut);
  // Waits until `fd` polls readable (-1: none), the deadline, or the next
  // tick of the waiter; false, and `cancelled_` set, once the user cancelled.
  bool WaitReadable(int fd, long long deadline);
  // Queues bytes as they stand (already escaped) and sends them within the
  // send time; false when the connection is gone or was given up.
  bool SendRaw(std::string_view bytes);
  // Sends what the queue holds without waiting; false when the connection
  // is gone.
  bool SendQueued();
  // Takes at most `kMostReadPerWake` bytes from the socket into `input_`,
  // and queues the negotiation's answers; false when no data came. Marks the
  // port lost at the end of the stream. Never waits.
  bool Drain();
  // Gives the connection up: the port reads as lost from now on.
  void GiveUp(std::string why);
  // Waits until the server answered every command in `awaited_`, or the
  // deadline; kinds that went unanswered are not waited for again on this
  // connection.
  void AwaitAcknowledgements(long long deadline);
  void Take(const ComPortMessage& message);
  void SignalInput();
  void SendControl(uint8_t value);

  Timing timing_;
  Resolver resolver_;
  Waiter waiter_;
  bool cancelled_ = false;
  NetworkAddress address_;
  int socket_ = -1;
  int pollFd_ = -1;   // epoll set of the socket and `inputEvent_`
  int inputEvent_ = -1;
  bool lost_ = false;
  std::string fault_;
  TelnetCodec codec_;
  std::string input_;   // data taken from the socket, not yet read
  std::string output_;  // bytes for the server it has not taken yet
  long long sendUntil_ = 0;  // while set, no send waits beyond it
  size_t overrun_ = 0;
  uint8_t modemState_ = MODEMSTATE_CTS | MODEMSTATE_DSR | MODEMSTATE_CD;
  uint8_t lineState_ = 0;
  // Commands sent and not yet acknowledged, as bits 1 << code; commands a
  // server left unanswered once.
  unsigned awaited_ = 0;
  unsigned silent_ = 0;
  uint32_t acknowledgedBaud_ = 0;
  LineSettings settings_;
  int handshaking_ = 0;
  bool dtr_ = true;
  bool rts_ = true;
};

}  // namespace kelvane
