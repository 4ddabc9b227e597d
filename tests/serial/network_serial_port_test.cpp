// The network port against a server played by the test: the faults a real
// device server does not show on demand.

#include "serial/network_serial_port.h"

#include <gtest/gtest.h>

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "serial/clock.h"
#include "support/hostile_server.h"

namespace kelvane {
namespace {

using namespace telnet;

std::string B(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += static_cast<char>(b);
  return out;
}

// Listens on a free loopback port and runs `play` on the one connection.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::function<void(int fd)> play) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 1);
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &length);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this, play] {
      const int fd = ::accept(listen_, nullptr, nullptr);
      if (fd < 0) return;
      play(fd);
      ::close(fd);
    });
  }
  ~ScriptedServer() {
    Finish();
    ::close(listen_);
  }
  // Waits for the play to end: what it wrote is then the test's to read.
  void Finish() {
    ::shutdown(listen_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
  }
  std::string Url(const char* scheme) const { return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_); }

 private:
  int listen_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// What the client sends within `ms`, or until it closes or `enough` bytes
// came.
std::string Receive(int fd, int ms, size_t enough = SIZE_MAX) {
  std::string got;
  const long long until = MonotonicMs() + ms;
  char buffer[512];
  for (long long left; got.size() < enough && (left = until - MonotonicMs()) > 0;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, enough - got.size()));
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

void Send(int fd, const std::string& bytes) { ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(NetworkSerialPort, SettingsAServerLeavesUnansweredAreTakenAsSentAndNotAwaitedAgain) {
  std::string heard;
  {
    ScriptedServer server([&heard](int fd) {
      Send(fd, B({IAC, DO, OPT_COM_PORT}));
      heard = Receive(fd, 1500);
    });
    NetworkSerialPort port(NetworkSerialPort::Timing{2000, 150});
    std::string reason;
    ASSERT_TRUE(port.Open(server.Url("rfc2217"), reason)) << reason;
    long long start = MonotonicMs();
    EXPECT_TRUE(port.SetSettings("19200,E,7,2"));
    EXPECT_GE(MonotonicMs() - start, 100);
    start = MonotonicMs();
    EXPECT_TRUE(port.SetSettings("9600,N,8,1"));
    EXPECT_LT(MonotonicMs() - start, 100);
    port.SetBreak(true);
    port.Close();
  }
  // 19200 = 0x4B00 in four bytes, then 7 data bits, even parity, 2 stop bits.
  EXPECT_TRUE(Has(heard, B({IAC, SB, OPT_COM_PORT, 1, 0, 0, 0x4B, 0, IAC, SE, IAC, SB, OPT_COM_PORT, 2, 7, IAC, SE,
                            IAC, SB, OPT_COM_PORT, 3, 3, IAC, SE, IAC, SB, OPT_COM_PORT, 4, 2, IAC, SE})));
  for (const int control : {CONTROL_FLOW_NONE, CONTROL_DTR_ON, CONTROL_RTS_ON, CONTROL_BREAK_ON}) {
    EXPECT_TRUE(Has(heard, B({IAC, SB, OPT_COM_PORT, CPC_SET_CONTROL, control, IAC, SE}))) << control;
  }
  EXPECT_TRUE(Has(heard, B({IAC, SB, OPT_COM_PORT, CPC_PURGE_DATA, 3, IAC, SE})));
}

TEST(NetworkSerialPort, CarriesEveryByteValueAndTheModemLinesThenSeesTheDrop) {
  std::string heard;
  ScriptedServer server([&heard](int fd) {
    Send(fd, B({IAC, DO, OPT_COM_PORT, IAC, WILL, OPT_BINARY}));
    heard = Receive(fd, 300);
    // The purge is acknowledged; then data with a 0xFF and the lines: CD and
    // RI on, CTS and DSR off.
    Send(fd, B({IAC, SB, OPT_COM_PORT, 112, 3, IAC, SE, 'a', IAC, IAC, 'b', IAC, SB, OPT_COM_PORT, 107, 0xC0, IAC,
                SE}));
    // The line stays up until the client's data has come, however late.
    for (std::string byte; !Has(heard, B({'x', IAC, IAC, 'y'})) && !(byte = Receive(fd, 10000, 1)).empty();)
      heard += byte;
    heard += Receive(fd, 300);
  });
  NetworkSerialPort port(NetworkSerialPort::Timing{2000, 1000});
  std::string reason;
  ASSERT_TRUE(port.Open(server.Url("rfc2217"), reason)) << reason;
  EXPECT_EQ(port.Write(B({'x', 0xFF, 'y'})), 3u);
  std::string got;
  for (int i = 0; i < 40 && got.size() < 3; ++i) {
    pollfd p{port.PollFd(), POLLIN, 0};
    ::poll(&p, 1, 50);
    got += port.ReadAll();
  }
  EXPECT_EQ(got, B({'a', 0xFF, 'b'}));
  EXPECT_TRUE(port.CdHolding());
  EXPECT_TRUE(port.RiHolding());
  EXPECT_FALSE(port.CtsHolding());
  EXPECT_FALSE(port.DsrHolding());
  // The server hangs up: the port reads as lost, and its descriptor wakes a
  // wait so the loss is seen at once.
  for (int i = 0; i < 40 && !port.Lost(); ++i) {
    pollfd p{port.PollFd(), POLLIN, 0};
    ::poll(&p, 1, 50);
    port.ReadAll();
  }
  EXPECT_TRUE(port.Lost());
  EXPECT_EQ(port.Write("AT\r"), 0u);
  server.Finish();
  EXPECT_TRUE(Has(heard, B({'x', IAC, IAC, 'y'})));
}

TEST(NetworkSerialPort, AnAnswerSplitByTheServerArrivesWithoutWaitingForADelayedAcknowledgement) {
  // The server writes the first character of each answer at once and the
  // rest a moment later, as a device server relays a line; the rest waits in
  // its socket until the first is acknowledged. Delayed acknowledgements
  // take at least 40 ms each, 20 answers at least 800 ms.
  constexpr int kAnswers = 20;
  ScriptedServer server([](int fd) {
    for (int i = 0; i < kAnswers; ++i) {
      if (Receive(fd, 2000, 1).empty()) return;
      Send(fd, "O");
      ::poll(nullptr, 0, 2);
      Send(fd, "K\r\n");
    }
  });
  NetworkSerialPort port;
  std::string reason;
  ASSERT_TRUE(port.Open(server.Url("tcp"), reason)) << reason;
  const long long start = MonotonicMs();
  for (int i = 0; i < kAnswers; ++i) {
    ASSERT_EQ(port.Write("Q"), 1u);
    std::string got;
    while (got.find('\n') == std::string::npos && !port.Lost()) {
      pollfd p{port.PollFd(), POLLIN, 0};
      ASSERT_GT(::poll(&p, 1, 2000), 0) << "answer " << i;
      got += port.ReadAll();
    }
    ASSERT_EQ(got, "OK\r\n");
  }
  EXPECT_LT(MonotonicMs() - start, 400);
}

// A server that floods the port while a setting waits for its answer: the
// setting keeps its bound, the data kept is capped (the rest counted as an
// overrun), and a server that takes nothing has the connection given up.
TEST(NetworkSerialPort, AFloodingServerIsHeldWithinTheBounds) {
  using Way = testing::HostileServer::Way;
  struct Case {
    Way way;
    bool opens;
    bool overruns;
  };
  for (const Case c : {Case{Way::Data, true, true}, Case{Way::Notifications, true, false},
                       Case{Way::OptionChanges, true, false}, Case{Way::Options, false, false}}) {
    testing::HostileServer server(c.way, true);
    NetworkSerialPort port(NetworkSerialPort::Timing{3000, 500});
    std::string reason;
    const bool opened = port.Open(server.Url(), reason);
    ASSERT_EQ(opened, c.opens) << server.Url() << " " << reason;
    if (!opened) {
      EXPECT_TRUE(Has(reason, "does not take what it is sent")) << reason;
      EXPECT_FALSE(port.Fault().empty());
      continue;
    }
    // Nothing is read until the setting is through: what comes meanwhile
    // piles up in the port.
    const long long start = MonotonicMs();
    EXPECT_TRUE(port.SetSettings("19200,N,8,1"));
    EXPECT_LT(MonotonicMs() - start, 900) << server.Url();
    const std::string data = port.ReadAll();
    EXPECT_LE(data.size(), NetworkSerialPort::kMostInput + NetworkSerialPort::kMostReadPerWake);
    EXPECT_EQ(port.Overrun() > 0, c.overruns) << data.size();
    EXPECT_FALSE(port.Lost());
  }
}

TEST(NetworkSerialPort, ANameServerThatDoesNotAnswerFailsTheOpenWhenTheConnectTimeIsUp) {
  // The lookup answers only when the test ends; it outlives the open on its
  // own thread and owns what it waits on.
  struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
  };
  const auto gate = std::make_shared<Gate>();
  NetworkSerialPort port(NetworkSerialPort::Timing{300, 100});
  port.SetResolver([gate](const char*, const char*, const addrinfo*, addrinfo**) {
    std::unique_lock lock(gate->mutex);
    gate->opened.wait(lock, [&] { return gate->open; });
    return EAI_AGAIN;
  });
  const long long start = MonotonicMs();
  std::string reason;
  EXPECT_FALSE(port.Open("rfc2217://modems.example:2001", reason));
  const long long took = MonotonicMs() - start;
  EXPECT_GE(took, 290);
  EXPECT_LT(took, 1500);
  EXPECT_TRUE(Has(reason, "the host modems.example could not be looked up within 1 s")) << reason;
  const std::lock_guard lock(gate->mutex);
  gate->open = true;
  gate->opened.notify_all();
}

}  // namespace
}  // namespace kelvane
