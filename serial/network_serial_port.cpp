#include "serial/network_serial_port.h"

#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "serial/clock.h"

namespace kelvane {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

uint8_t ParityCode(char parity) {
  switch (parity) {
    case 'O': return 2;
    case 'E': return 3;
    case 'M': return 4;
    case 'S': return 5;
    default: return 1;
  }
}

// What a server sent before it closed the connection (ser2net, for one,
// says why), as one printable line.
std::string PrintableLine(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (out.size() >= 80) break;
    if (c >= 0x20 && c < 0x7F) {
      out += c;
    } else if (!out.empty() && out.back() != ' ') {
      out += ' ';
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// A lookup on its own thread. getaddrinfo(3) takes no time limit, and with a
// name server that does not answer it returns only when the resolver's own
// retries are spent, 30 s and more. The thread signals `doneFd` when it has
// finished; a caller whose deadline passed first abandons the lookup, which
// then releases whatever it finds.
struct PendingLookup {
  PendingLookup() : doneFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~PendingLookup() {
    if (doneFd >= 0) ::close(doneFd);
  }
  PendingLookup(const PendingLookup&) = delete;
  PendingLookup& operator=(const PendingLookup&) = delete;

  const int doneFd;
  std::mutex mutex;
  bool done = false;
  bool abandoned = false;
  int result = EAI_AGAIN;
  addrinfo* found = nullptr;
};

using LookUpWait = std::function<bool(int fd, long long deadline)>;

// Looks `host` up on a thread of its own, within the deadline; `wait` blocks
// until the descriptor polls readable or a tick passed, and says false once
// the caller gave up. `timedOut` is set when the deadline passed first.
int LookUpBounded(const NetworkSerialPort::Resolver& resolver, const std::string& host, const std::string& service,
                  long long deadline, addrinfo*& found, bool& timedOut, const LookUpWait& wait) {
  found = nullptr;
  timedOut = false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  const NetworkSerialPort::Resolver resolve =
      resolver ? resolver : [](const char* h, const char* s, const addrinfo* i, addrinfo** f) {
        return ::getaddrinfo(h, s, i, f);
      };
  const auto pending = std::make_shared<PendingLookup>();
  bool started = pending->doneFd >= 0;
  if (started) {
    try {
      std::thread([pending, resolve, host, service, hints] {
        addrinfo* result = nullptr;
        const int code = resolve(host.c_str(), service.c_str(), &hints, &result);
        const std::lock_guard lock(pending->mutex);
        if (pending->abandoned) {
          if (code == 0 && result) ::freeaddrinfo(result);
          return;
        }
        pending->done = true;
        pending->result = code;
        pending->found = code == 0 ? result : nullptr;
        const uint64_t one = 1;
        (void)!::write(pending->doneFd, &one, sizeof one);
      }).detach();
    } catch (const std::system_error&) {
      started = false;
    }
  }
  // No thread to be had: look up here, unbounded, rather than not at all.
  if (!started) return resolve(host.c_str(), service.c_str(), &hints, &found);

  for (bool waiting = true;;) {
    {
      const std::lock_guard lock(pending->mutex);
      if (pending->done) {
        found = pending->found;
        return pending->result;
      }
      if (!waiting || MonotonicMs() >= deadline) {
        pending->abandoned = true;
        timedOut = waiting;
        return EAI_AGAIN;
      }
    }
    waiting = wait(pending->doneFd, deadline);
  }
}

}  // namespace

bool ParseNetworkPortName(std::string_view name, NetworkAddress& out) {
  NetworkAddress a;
  if (StartsWithNoCase(name, "rfc2217://")) {
    a.telnet = true;
    name.remove_prefix(10);
  } else if (StartsWithNoCase(name, "tcp://")) {
    name.remove_prefix(6);
  } else {
    return false;
  }
  size_t colon;
  if (!name.empty() && name[0] == '[') {
    const size_t close = name.find(']');
    if (close == std::string_view::npos || close + 1 >= name.size() || name[close + 1] != ':') return false;
    a.host = std::string(name.substr(1, close - 1));
    colon = close + 1;
  } else {
    colon = name.rfind(':');
    if (colon == std::string_view::npos) return false;
    a.host = std::string(name.substr(0, colon));
    if (a.host.find(':') != std::string::npos) return false;
  }
  if (a.host.empty()) return false;
  for (const char c : a.host) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '[' || c == ']' || c == '@') return false;
  }
  const std::string_view digits = name.substr(colon + 1);
  if (digits.empty() || digits.size() > 5) return false;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), a.port);
  if (ec != std::errc() || end != digits.data() + digits.size() || a.port < 1 || a.port > 65535) return false;
  out = std::move(a);
  return true;
}

bool IsFixedSettingsPortName(std::string_view name) {
  NetworkAddress a;
  return ParseNetworkPortName(name, a) && !a.telnet;
}

std::string CanonicalPortName(const std::string& name) {
  NetworkAddress a;
  if (!ParseNetworkPortName(name, a)) return name;
  const std::string host = Lower(a.host);
  const bool v6 = host.find(':') != std::string::npos;
  return std::string(a.telnet ? "rfc2217://" : "tcp://") + (v6 ? "[" + host + "]" : host) + ":" +
         std::to_string(a.port);
}

std::vector<std::string> PortEndpoints(const std::string& name, int ms) {
  NetworkAddress a;
  if (!ParseNetworkPortName(name, a)) return {name};
  static std::mutex mutex;
  static std::map<std::string, std::vector<std::string>> known;
  const std::string canonical = CanonicalPortName(name);
  {
    const std::lock_guard lock(mutex);
    if (const auto at = known.find(canonical); at != known.end()) return at->second;
  }
  addrinfo* found = nullptr;
  bool timedOut = false;
  const int code = LookUpBounded({}, a.host, std::to_string(a.port), MonotonicMs() + ms, found, timedOut,
                                 [](int fd, long long deadline) {
                                   pollfd p{fd, POLLIN, 0};
                                   ::poll(&p, 1, static_cast<int>(std::max(0LL, deadline - MonotonicMs())));
                                   return true;
                                 });
  std::vector<std::string> out;
  for (const addrinfo* ai = code == 0 ? found : nullptr; ai; ai = ai->ai_next) {
    char host[NI_MAXHOST], service[NI_MAXSERV];
    if (::getnameinfo(ai->ai_addr, ai->ai_addrlen, host, sizeof host, service, sizeof service,
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
      continue;
    }
    std::string endpoint = std::string(host) + ":" + service;
    if (std::find(out.begin(), out.end(), endpoint) == out.end()) out.push_back(std::move(endpoint));
  }
  if (found) ::freeaddrinfo(found);
  if (out.empty()) out.push_back(canonical);
  const std::lock_guard lock(mutex);
  known.emplace(canonical, out);
  return out;
}

NetworkSerialPort::~NetworkSerialPort() { Close(); }

bool NetworkSerialPort::WaitReadable(int fd, long long deadline) {
  if (cancelled_) return false;
  const long long left = deadline - MonotonicMs();
  if (left <= 0) return true;
  if (waiter_) {
    cancelled_ = !waiter_(fd);
    return !cancelled_;
  }
  pollfd p{fd, POLLIN, 0};
  ::poll(&p, 1, static_cast<int>(left));
  return true;
}

int NetworkSerialPort::LookUp(const std::string& service, long long deadline, addrinfo*& found, bool& timedOut) {
  return LookUpBounded(resolver_, address_.host, service, deadline, found, timedOut,
                       [this](int fd, long long until) { return WaitReadable(fd, until) && !cancelled_; });
}

bool NetworkSerialPort::Open(const std::string& portName, std::string& reason) {
  const long long deadline = MonotonicMs() + timing_.connectMs;
  cancelled_ = false;
  Close();
  if (!ParseNetworkPortName(portName, address_)) {
    reason = portName + ": not a network port; write rfc2217://HOST:PORT or tcp://HOST:PORT.";
    return false;
  }
  const std::string seconds = std::to_string((timing_.connectMs + 999) / 1000) + " s";

  // The host is looked up once: a server that turns every connection away
  // is retried at the addresses already found, so the lookup never takes
  // the blame for the time those attempts used.
  addrinfo* found = nullptr;
  bool timedOut = false;
  const int lookup = LookUp(std::to_string(address_.port), deadline, found, timedOut);
  if (cancelled_) {
    if (found) ::freeaddrinfo(found);
    reason = portName + ": cancelled.";
    return false;
  }
  if (lookup != 0) {
    if (timedOut) {
      reason = portName + ": the host " + address_.host + " could not be looked up within " + seconds +
               "; check the name in the port, or give the device server's address.";
    } else if (lookup == EAI_NONAME || lookup == EAI_FAIL || lookup == EAI_NODATA) {
      reason = portName + ": the host " + address_.host + " is not known; check the name in the port.";
    } else {
      reason = portName + ": the host " + address_.host + " could not be looked up (" + ::gai_strerror(lookup) + ").";
    }
    return false;
  }
  const std::unique_ptr<addrinfo, void (*)(addrinfo*)> addresses(found, ::freeaddrinfo);
  // Every send of the connect keeps within its time as well.
  sendUntil_ = deadline;
  struct EndOfConnect {
    long long& until;
    ~EndOfConnect() { until = 0; }
  } endOfConnect{sendUntil_};
  std::string turnedAwayReason;
  for (;;) {
    bool turnedAway = false;
    if (Connect(portName, found, deadline, reason, turnedAway)) return true;
    // A server that turned us away until the time ran out is reported as
    // such, not as the time running out on the last attempt.
    if (!turnedAway && !cancelled_ && !turnedAwayReason.empty() && MonotonicMs() >= deadline) {
      reason = turnedAwayReason;
    }
    // A server still closing the previous session on its line turns the next
    // one away for a moment; commands run one after another expect to get in.
    if (!turnedAway || cancelled_ || MonotonicMs() + 100 >= deadline) return false;
    turnedAwayReason = reason;
    const long long retry = MonotonicMs() + 100;
    while (MonotonicMs() < retry && WaitReadable(-1, retry)) {
    }
    if (cancelled_) {
      reason = portName + ": cancelled.";
      return false;
    }
  }
}

bool NetworkSerialPort::Connect(const std::string& portName, const addrinfo* found, long long deadline,
                                std::string& reason, bool& turnedAway) {
  Close();
  lost_ = false;
  fault_.clear();
  overrun_ = 0;
  codec_ = TelnetCodec();
  modemState_ = MODEMSTATE_CTS | MODEMSTATE_DSR | MODEMSTATE_CD;
  lineState_ = 0;
  awaited_ = silent_ = 0;
  acknowledgedBaud_ = 0;
  const std::string seconds = std::to_string((timing_.connectMs + 999) / 1000) + " s";

  int fd = -1;
  int error = ETIMEDOUT;
  for (const addrinfo* ai = found; ai && fd < 0 && !cancelled_ && MonotonicMs() < deadline; ai = ai->ai_next) {
    const int s = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (s < 0) {
      error = errno;
      continue;
    }
    int result = ::connect(s, ai->ai_addr, ai->ai_addrlen);
    if (result != 0 && errno == EINPROGRESS) {
      // A wait takes a descriptor that polls readable: an epoll set that
      // holds the socket's writability is one.
      const int connected = ::epoll_create1(EPOLL_CLOEXEC);
      epoll_event e{};
      e.events = EPOLLOUT;
      e.data.fd = s;
      bool ready = false;
      if (connected >= 0 && ::epoll_ctl(connected, EPOLL_CTL_ADD, s, &e) == 0) {
        for (;;) {
          pollfd p{s, POLLOUT, 0};
          ready = ::poll(&p, 1, 0) > 0;
          if (ready || MonotonicMs() >= deadline || !WaitReadable(connected, deadline)) break;
        }
      }
      if (connected >= 0) ::close(connected);
      socklen_t length = sizeof result;
      if (!ready) {
        result = -1;
        errno = cancelled_ ? ECANCELED : ETIMEDOUT;
      } else if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &result, &length) != 0 || result != 0) {
        errno = result != 0 ? result : errno;
        result = -1;
      }
    }
    if (result == 0) {
      fd = s;
    } else {
      error = errno;
      ::close(s);
    }
  }
  if (fd < 0) {
    switch (cancelled_ ? ECANCELED : error) {
      case ECANCELED:
        reason = portName + ": cancelled.";
        break;
      case ECONNREFUSED:
        reason = portName + ": the connection was refused; check the port number and that the device server "
                            "listens on it.";
        break;
      case ETIMEDOUT:
        reason = portName + ": no answer within " + seconds + "; check the address and that the device server is on.";
        break;
      default:
        reason = portName + ": " + std::strerror(error) + ".";
        break;
    }
    return false;
  }
  const int one = 1;
  // Commands are short and answered at once: no waiting to fill a segment.
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
  socket_ = fd;
  inputEvent_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  pollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
  if (inputEvent_ < 0 || pollFd_ < 0) {
    reason = portName + ": " + std::strerror(errno) + ".";
    Close();
    return false;
  }
  for (const int watched : {socket_, inputEvent_}) {
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.fd = watched;
    ::epoll_ctl(pollFd_, EPOLL_CTL_ADD, watched, &e);
  }
  if (!Telnet()) return true;

  SendRaw(codec_.Opening());
  while (!codec_.ComPortAgreed() && !codec_.ComPortRefused() && !lost_ && MonotonicMs() < deadline) {
    if (!WaitReadable(socket_, deadline)) break;
    Drain();
  }
  if (!codec_.ComPortAgreed()) {
    if (cancelled_) {
      reason = portName + ": cancelled.";
    } else if (!fault_.empty()) {
      reason = portName + ": " + fault_;
    } else if (lost_) {
      turnedAway = true;
      const std::string said = PrintableLine(input_);
      reason = portName + ": the device server closed the connection" + (said.empty() ? "" : " (\"" + said + "\")") +
               "; another program may be using the port.";
    } else if (codec_.ComPortRefused()) {
      reason = portName + ": the device server does not offer COM port control (RFC 2217); if its line settings "
                          "are fixed, use tcp://" + portName.substr(portName.find("//") + 2) + ".";
    } else {
      reason = portName + ": the device server did not answer within " + seconds +
               "; check that the port speaks Telnet with COM port control (RFC 2217).";
    }
    Close();
    return false;
  }
  SetHandshaking(handshaking_);
  SetDtrEnable(dtr_);
  SetRtsEnable(rts_);
  SendRaw(TelnetCodec::Command(CPC_SET_MODEMSTATE_MASK, MODEMSTATE_CTS | MODEMSTATE_DSR | MODEMSTATE_RI |
                                                            MODEMSTATE_CD | 0x0F));
  // Whatever the server's line took in before we came is not ours.
  input_.clear();
  SendRaw(TelnetCodec::Command(CPC_PURGE_DATA, 3));
  awaited_ |= 1u << CPC_PURGE_DATA;
  AwaitAcknowledgements(std::min(deadline, MonotonicMs() + timing_.acknowledgeMs));
  if (cancelled_) {
    reason = portName + ": cancelled.";
    Close();
    return false;
  }
  if (!fault_.empty()) {
    reason = portName + ": " + fault_;
    Close();
    return false;
  }
  if (lost_) {
    // ser2net, for one, agrees to the options before it finds its line busy.
    turnedAway = true;
    reason = portName + ": the device server closed the connection; another program may be using the port.";
    Close();
    return false;
  }
  return true;
}

void NetworkSerialPort::Close() {
  for (int* fd : {&socket_, &pollFd_, &inputEvent_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  input_.clear();
  output_.clear();
}

void NetworkSerialPort::GiveUp(std::string why) {
  if (fault_.empty()) fault_ = std::move(why);
  lost_ = true;
  output_.clear();
  SignalInput();
}

bool NetworkSerialPort::SendQueued() {
  while (socket_ >= 0 && !lost_ && !output_.empty()) {
    const ssize_t n = ::send(socket_, output_.data(), output_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      output_.erase(0, static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else {
      lost_ = true;
    }
  }
  if (output_.size() > kMostOutput) {
    GiveUp("the device server does not take what it is sent (" + std::to_string(output_.size()) +
           " bytes wait); the connection was given up.");
  }
  return socket_ >= 0 && !lost_;
}

bool NetworkSerialPort::SendRaw(std::string_view bytes) {
  if (socket_ < 0 || lost_) return false;
  output_.append(bytes);
  long long deadline = MonotonicMs() + timing_.sendMs;
  if (sendUntil_ > 0) deadline = std::min(deadline, sendUntil_);
  // The server is slower than we are. Its input is taken meanwhile, so that
  // two full buffers never wait on each other; what it sends is answered
  // through the same queue, never by a nested send.
  while (SendQueued() && !output_.empty()) {
    const long long left = deadline - MonotonicMs();
    if (left <= 0) break;
    pollfd p{socket_, POLLOUT | POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::min(left, 50LL))) <= 0) continue;
    // What came before a hang-up is still taken.
    if (p.revents & POLLIN) Drain();
    if (p.revents & (POLLERR | POLLHUP)) lost_ = true;
  }
  // What is left goes out with the next send or the next look at the socket,
  // as bytes in a serial port's output buffer do.
  return socket_ >= 0 && !lost_;
}

bool NetworkSerialPort::Drain() {
  if (socket_ < 0 || lost_) return false;
  const size_t before = input_.size();
  char buffer[16384];
  std::string data, replies;
  std::vector<ComPortMessage> messages;
  // A bounded share per look: a server that never stops sending cannot keep
  // the caller from its time-outs and its cancel.
  for (size_t taken = 0; taken < kMostReadPerWake;) {
    const ssize_t n = ::recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      taken += static_cast<size_t>(n);
      // Acknowledge what came at once rather than up to 40 ms later. A
      // server that holds small writes until its last one is acknowledged
      // (Nagle's algorithm, ser2net's default) would otherwise send the rest
      // of every answer only when our delayed acknowledgement arrives. The
      // kernel drops back to delayed acknowledgements by itself, so this is
      // asked again after every receive.
      const int quick = 1;
      ::setsockopt(socket_, IPPROTO_TCP, TCP_QUICKACK, &quick, sizeof quick);
      if (Telnet()) {
        codec_.Feed(std::string_view(buffer, static_cast<size_t>(n)), data, replies, messages);
      } else {
        data.append(buffer, static_cast<size_t>(n));
      }
      if (static_cast<size_t>(n) < sizeof buffer) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) lost_ = true;
    break;
  }
  const size_t room = kMostInput - std::min(kMostInput, input_.size());
  if (data.size() > room) {
    overrun_ += data.size() - room;
    data.resize(room);
  }
  input_ += data;
  for (const ComPortMessage& m : messages) Take(m);
  if (!replies.empty() && !lost_) {
    output_ += replies;
    SendQueued();
  }
  if (input_.size() > before || lost_) SignalInput();
  return input_.size() > before;
}

void NetworkSerialPort::SignalInput() {
  const uint64_t one = 1;
  if (inputEvent_ >= 0) (void)!::write(inputEvent_, &one, sizeof one);
}

void NetworkSerialPort::Take(const ComPortMessage& m) {
  if (m.code <= CPC_SERVER_OFFSET) return;
  const unsigned command = m.code - CPC_SERVER_OFFSET;
  if (command < 32) awaited_ &= ~(1u << command);
  if (m.value.empty()) return;
  const auto first = static_cast<uint8_t>(m.value[0]);
  switch (command) {
    case CPC_NOTIFY_MODEMSTATE: modemState_ = first; break;
    case CPC_NOTIFY_LINESTATE: lineState_ = first; break;
    case CPC_SET_BAUDRATE:
      if (m.value.size() == 4) {
        acknowledgedBaud_ = 0;
        for (const char c : m.value) acknowledgedBaud_ = acknowledgedBaud_ << 8 | static_cast<uint8_t>(c);
      }
      break;
    default: break;
  }
}

void NetworkSerialPort::AwaitAcknowledgements(long long deadline) {
  cancelled_ = false;
  while ((awaited_ & ~silent_) && !lost_ && socket_ >= 0 && MonotonicMs() < deadline) {
    if (!WaitReadable(socket_, deadline)) break;
    Drain();
  }
  // A wait the user cut short says nothing about the server.
  if (!cancelled_) silent_ |= awaited_;
  awaited_ = 0;
}

bool NetworkSerialPort::SetSettings(std::string_view settingsText) {
  LineSettings s;
  if (!ParseSettingsText(settingsText, s)) return false;
  if (!Telnet() || socket_ < 0) {
    settings_ = s;
    return true;
  }
  uint8_t baud[4];
  for (int i = 0; i < 4; ++i) baud[i] = static_cast<uint8_t>(static_cast<uint32_t>(s.baud) >> (24 - 8 * i));
  acknowledgedBaud_ = 0;
  // Sending the setting and hearing it acknowledged share one bound.
  const long long deadline = MonotonicMs() + timing_.acknowledgeMs;
  sendUntil_ = deadline;
  SendRaw(TelnetCodec::Command(CPC_SET_BAUDRATE, std::string_view(reinterpret_cast<const char*>(baud), 4)) +
          TelnetCodec::Command(CPC_SET_DATASIZE, static_cast<uint8_t>(s.dataBits)) +
          TelnetCodec::Command(CPC_SET_PARITY, ParityCode(s.parity)) +
          TelnetCodec::Command(CPC_SET_STOPSIZE, static_cast<uint8_t>(s.stopBits)));
  sendUntil_ = 0;
  awaited_ |= 1u << CPC_SET_BAUDRATE | 1u << CPC_SET_DATASIZE | 1u << CPC_SET_PARITY | 1u << CPC_SET_STOPSIZE;
  AwaitAcknowledgements(deadline);
  // A server that answers with another speed kept its own: the line refused.
  if (acknowledgedBaud_ != 0 && acknowledgedBaud_ != static_cast<uint32_t>(s.baud)) return false;
  settings_ = s;
  return true;
}

void NetworkSerialPort::SendControl(uint8_t value) {
  if (Telnet() && socket_ >= 0) SendRaw(TelnetCodec::Command(CPC_SET_CONTROL, value));
}

void NetworkSerialPort::SetDtrEnable(bool on) {
  dtr_ = on;
  SendControl(on ? CONTROL_DTR_ON : CONTROL_DTR_OFF);
}

void NetworkSerialPort::SetRtsEnable(bool on) {
  rts_ = on;
  SendControl(on ? CONTROL_RTS_ON : CONTROL_RTS_OFF);
}

void NetworkSerialPort::SetHandshaking(int mode) {
  handshaking_ = mode;
  // The option knows one flow control at a time; with both asked for, the
  // hardware lines win, as they also hold binary data back safely.
  SendControl(mode == 1 ? CONTROL_FLOW_XONXOFF : mode >= 2 ? CONTROL_FLOW_HARDWARE : CONTROL_FLOW_NONE);
}

void NetworkSerialPort::SetBreak(bool on) { SendControl(on ? CONTROL_BREAK_ON : CONTROL_BREAK_OFF); }

int NetworkSerialPort::OutBufferCount() const {
  // What waits in the queue and what the socket has not sent yet: bytes sent
  // and not yet acknowledged by the server are on their way, as on a wire.
  int pending = 0;
  if (socket_ < 0 || ::ioctl(socket_, SIOCOUTQNSD, &pending) != 0) pending = 0;
  return static_cast<int>(std::min<size_t>(output_.size() + static_cast<size_t>(pending), 1 << 30));
}

size_t NetworkSerialPort::Write(std::string_view bytes) {
  if (socket_ < 0 || lost_) return 0;
  if (!Telnet()) return SendRaw(bytes) ? bytes.size() : 0;
  return SendRaw(TelnetCodec::Escape(bytes)) ? bytes.size() : 0;
}

std::string NetworkSerialPort::ReadAll() {
  SendQueued();
  Drain();
  uint64_t count;
  if (inputEvent_ >= 0) (void)!::read(inputEvent_, &count, sizeof count);
  std::string data;
  data.swap(input_);
  return data;
}

}  // namespace kelvane
