#include "serial/telnet_codec.h"

#include <gtest/gtest.h>

#include "serial/network_serial_port.h"

namespace kelvane {
namespace {

using namespace telnet;

std::string B(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += static_cast<char>(b);
  return out;
}

struct FeedCase {
  const char* what;
  std::vector<std::string> pieces;  // fed one after another, after the opening
  std::string data;
  std::string replies;
  std::vector<ComPortMessage> messages;
  bool agreed;
};

TEST(TelnetCodec, DecodesServerStreams) {
  const std::string agree = B({IAC, DO, OPT_COM_PORT});
  const std::vector<FeedCase> cases = {
      {"plain data", {"AT\r\r\nOK\r\n"}, "AT\r\r\nOK\r\n", "", {}, false},
      {"doubled 0xFF is one data byte", {B({'a', IAC, IAC, 'b'})}, B({'a', IAC, 'b'}), "", {}, false},
      {"0xFF doubled across two reads", {B({'a', IAC}), B({IAC, 'b'})}, B({'a', IAC, 'b'}), "", {}, false},
      {"answers to our own offers get no reply", {agree + B({IAC, DO, OPT_BINARY, IAC, WILL, OPT_BINARY})}, "", "",
       {}, true},
      {"an unknown option asked of us is refused once", {B({IAC, DO, 24, IAC, DONT, 24})}, "", B({IAC, WONT, 24}), {},
       false},
      {"server echo is declined", {B({IAC, WILL, OPT_ECHO, IAC, WONT, OPT_ECHO})}, "", B({IAC, DONT, OPT_ECHO}), {},
       false},
      {"COM port control refused", {B({IAC, DONT, OPT_COM_PORT})}, "", "", {}, false},
      {"modem state cut across reads",
       {agree + B({IAC, SB, OPT_COM_PORT}), B({107, 0xB0, IAC}), B({SE}) + "x"},
       "x", "", {{107, B({0xB0})}}, true},
      {"0xFF inside a value", {B({IAC, SB, OPT_COM_PORT, 101, 0, 0, IAC, IAC, 0, IAC, SE})}, "", "",
       {{101, B({0, 0, 0xFF, 0})}}, false},
      {"subnegotiations of other options are dropped", {B({IAC, SB, 24, 1, IAC, SE}) + "ok"}, "ok", "", {}, false},
      {"an overlong subnegotiation is dropped whole",
       {B({IAC, SB, OPT_COM_PORT, 107}) + std::string(200, 'z') + B({IAC, SE}) + "ok"}, "ok", "", {}, false},
      {"a command inside a subnegotiation ends it",
       {B({IAC, SB, OPT_COM_PORT, 107, 1, IAC, WILL, OPT_ECHO}) + "ok"}, "ok", B({IAC, DONT, OPT_ECHO}), {}, false},
      {"NOP and go-ahead vanish", {B({'a', IAC, NOP, IAC, 249, 'b'})}, "ab", "", {}, false},
      {"CR NUL is CR before binary mode", {B({'\r', 0, '\n', 0})}, B({'\r', '\n', 0}), "", {}, false},
      {"CR NUL stays in binary mode", {B({IAC, WILL, OPT_BINARY, '\r', 0})}, B({'\r', 0}), "", {}, false},
  };
  for (const FeedCase& c : cases) {
    TelnetCodec codec;
    codec.Opening();
    std::string data, replies;
    std::vector<ComPortMessage> messages;
    for (const std::string& piece : c.pieces) codec.Feed(piece, data, replies, messages);
    EXPECT_EQ(data, c.data) << c.what;
    EXPECT_EQ(replies, c.replies) << c.what;
    EXPECT_EQ(messages, c.messages) << c.what;
    EXPECT_EQ(codec.ComPortAgreed(), c.agreed) << c.what;
  }
}

TEST(TelnetCodec, OffersComPortControlAndAcceptsALateOffer) {
  TelnetCodec codec;
  EXPECT_EQ(codec.Opening(), B({IAC, WILL, OPT_COM_PORT, IAC, WILL, OPT_BINARY, IAC, WILL, OPT_SGA, IAC, DO,
                                OPT_BINARY, IAC, DO, OPT_SGA}));
  std::string data, replies;
  std::vector<ComPortMessage> messages;
  codec.Feed(B({IAC, DONT, OPT_COM_PORT}), data, replies, messages);
  EXPECT_TRUE(codec.ComPortRefused());
  // A server that changes its mind asks again; we agree, once.
  codec.Feed(B({IAC, DO, OPT_COM_PORT, IAC, DO, OPT_COM_PORT}), data, replies, messages);
  EXPECT_EQ(replies, B({IAC, WILL, OPT_COM_PORT}));
  EXPECT_TRUE(codec.ComPortAgreed());
}

TEST(TelnetCodec, EncodesDataAndCommands) {
  EXPECT_EQ(TelnetCodec::Escape(B({'A', IAC, IAC, 'B'})), B({'A', IAC, IAC, IAC, IAC, 'B'}));
  EXPECT_EQ(TelnetCodec::Command(CPC_SET_BAUDRATE, B({0, 0, 0xFF, 0})),
            B({IAC, SB, OPT_COM_PORT, 1, 0, 0, IAC, IAC, 0, IAC, SE}));
  EXPECT_EQ(TelnetCodec::Command(CPC_SET_CONTROL, CONTROL_BREAK_ON), B({IAC, SB, OPT_COM_PORT, 5, 5, IAC, SE}));
}

TEST(NetworkPortName, ReadsBothSchemesAndRefusesTheRest) {
  struct Case {
    const char* name;
    bool ok;
    bool telnet;
    const char* host;
    int port;
    const char* canonical;
  };
  const Case cases[] = {
      {"rfc2217://127.0.0.1:2001", true, true, "127.0.0.1", 2001, "rfc2217://127.0.0.1:2001"},
      {"RFC2217://Server.Example:02001", true, true, "Server.Example", 2001, "rfc2217://server.example:2001"},
      {"tcp://[::1]:4000", true, false, "::1", 4000, "tcp://[::1]:4000"},
      {"tcp://host:65535", true, false, "host", 65535, "tcp://host:65535"},
      {"tcp://host:65536", false, false, "", 0, ""},
      {"tcp://host:0", false, false, "", 0, ""},
      {"tcp://host:", false, false, "", 0, ""},
      {"tcp://host", false, false, "", 0, ""},
      {"tcp://:2000", false, false, "", 0, ""},
      {"tcp://::1:2000", false, false, "", 0, ""},
      {"tcp://host:20x0", false, false, "", 0, ""},
      {"tcp://host:2000/x", false, false, "", 0, ""},
      {"tcp://user@host:2000", false, false, "", 0, ""},
      {"telnet://host:2000", false, false, "", 0, ""},
      {"/dev/ttyUSB0", false, false, "", 0, ""},
      {"sim:3", false, false, "", 0, ""},
  };
  for (const Case& c : cases) {
    NetworkAddress a;
    ASSERT_EQ(ParseNetworkPortName(c.name, a), c.ok) << c.name;
    if (!c.ok) {
      EXPECT_EQ(CanonicalPortName(c.name), c.name);
      continue;
    }
    EXPECT_EQ(a.telnet, c.telnet) << c.name;
    EXPECT_EQ(a.host, c.host) << c.name;
    EXPECT_EQ(a.port, c.port) << c.name;
    EXPECT_EQ(CanonicalPortName(c.name), c.canonical) << c.name;
    EXPECT_EQ(IsFixedSettingsPortName(c.name), !c.telnet) << c.name;
  }
}

}  // namespace
}  // namespace kelvane
