#pragma once
// The Telnet side of a network serial port: the option negotiation a client
// of a device server needs (binary both ways, suppress go-ahead, the COM port
// control option), the escaping of 0xFF in data, and the COM port control
// commands and the server's answers to them. No input or output here: the
// port feeds in what the socket gave and sends what comes out.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

namespace telnet {
inline constexpr uint8_t SE = 240, NOP = 241, SB = 250, WILL = 251, WONT = 252, DO = 253, DONT = 254,
                         IAC = 255;
inline constexpr uint8_t OPT_BINARY = 0, OPT_ECHO = 1, OPT_SGA = 3, OPT_COM_PORT = 44;
}  // namespace telnet

// COM port control commands as the client sends them; the server answers
// with the same code plus 100.
enum ComPortCommand : uint8_t {
  CPC_SET_BAUDRATE = 1,
  CPC_SET_DATASIZE = 2,
  CPC_SET_PARITY = 3,
  CPC_SET_STOPSIZE = 4,
  CPC_SET_CONTROL = 5,
  CPC_NOTIFY_LINESTATE = 6,
  CPC_NOTIFY_MODEMSTATE = 7,
  CPC_SET_LINESTATE_MASK = 10,
  CPC_SET_MODEMSTATE_MASK = 11,
  CPC_PURGE_DATA = 12,
  CPC_SERVER_OFFSET = 100,
};

// Values of SET-CONTROL.
enum ComPortControl : uint8_t {
  CONTROL_FLOW_NONE = 1,
  CONTROL_FLOW_XONXOFF = 2,
  CONTROL_FLOW_HARDWARE = 3,
  CONTROL_BREAK_ON = 5,
  CONTROL_BREAK_OFF = 6,
  CONTROL_DTR_ON = 8,
  CONTROL_DTR_OFF = 9,
  CONTROL_RTS_ON = 11,
  CONTROL_RTS_OFF = 12,
};

// Bits of NOTIFY-MODEMSTATE.
enum ModemStateBits : uint8_t {
  MODEMSTATE_CTS = 0x10,
  MODEMSTATE_DSR = 0x20,
  MODEMSTATE_RI = 0x40,
  MODEMSTATE_CD = 0x80,
};

// A COM port control message from the server: `code` as sent (101 for the
// answer to SET-BAUDRATE, 107 for a modem state notification), `value` the
// bytes after it with the escaping removed.
struct ComPortMessage {
  uint8_t code = 0;
  std::string value;
  bool operator==(const ComPortMessage&) const = default;
};

class TelnetCodec {
 public:
  // What the client sends right after connecting: it offers binary
  // transmission, suppress go-ahead and COM port control, and asks the
  // server for binary and suppress go-ahead.
  std::string Opening();

  // Takes bytes from the server, in pieces cut anywhere. Data goes to `data`,
  // answers the negotiation needs to `replies` (to be sent at once), COM port
  // control messages to `messages`.
  void Feed(std::string_view in, std::string& data, std::string& replies, std::vector<ComPortMessage>& messages);

  // The server agreed to COM port control, or refused it.
  bool ComPortAgreed() const { return local_[telnet::OPT_COM_PORT]; }
  bool ComPortRefused() const { return comPortRefused_; }

  // Data with 0xFF doubled.
  static std::string Escape(std::string_view data);
  // IAC SB COM-PORT-OPTION code value IAC SE, the value escaped.
  static std::string Command(uint8_t code, std::string_view value);
  static std::string Command(uint8_t code, uint8_t value) { return Command(code, std::string_view(reinterpret_cast<const char*>(&value), 1)); }

 private:
  enum class State { Data, Iac, Option, Sub, SubIac };
  void Negotiate(uint8_t verb, uint8_t option, std::string& replies);

  // Subnegotiations longer than any COM port message are dropped.
  static constexpr size_t kMaxSub = 64;

  State state_ = State::Data;
  uint8_t verb_ = 0;
  bool lastWasCr_ = false;
  bool subOverflow_ = false;
  std::string sub_;
  // Per option: enabled on our side (WILL) and on the server's (DO), and a
  // request of ours still waiting for its answer.
  bool local_[256] = {};
  bool remote_[256] = {};
  bool localAsked_[256] = {};
  bool remoteAsked_[256] = {};
  bool comPortRefused_ = false;
};

}  // namespace kelvane
