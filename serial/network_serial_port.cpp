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
#include <chrono>
#include <condition_variable>
#include <cstring>
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
// retries are spent, 30 s and more. When the caller's deadline passes first
// the lookup is left to finish alone, and whatever it finds is released.
struct PendingLookup {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool abandoned = false;
  int result = EAI_AGAIN;
  addrinfo* found = nullptr;
};

// getaddrinfo's result, or EAI_AGAIN with `timedOut` set when the deadline
// passed first.
int LookUp(const NetworkSerialPort::Resolver& resolver, const std::string& host, const std::string& service,
           long long deadline, addrinfo*& found, bool& timedOut) {
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
      pending->finished.notify_one();
    }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: look up here, unbounded, rather than not at all.
    return resolve(host.c_str(), service.c_str(), &hints, &found);
  }
  std::unique_lock lock(pending->mutex);
  const long long left = std::max(0LL, deadline - MonotonicMs());
  if (!pending->finished.wait_for(lock, std::chrono::milliseconds(left), [&] { return pending->done; })) {
    pending->abandoned = true;
    timedOut = true;
    return EAI_AGAIN;
  }
  found = pending->found;
  return pending->result;
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

NetworkSerialPort::~NetworkSerialPort() { Close(); }

bool NetworkSerialPort::Open(const std::string& portName, std::string& reason) {
  const long long deadline = MonotonicMs() + timing_.connectMs;
  for (;;) {
    bool turnedAway = false;
    if (Connect(portName, deadline, reason, turnedAway)) return true;
    // A server still closing the previous session on its line turns the next
    // one away for a moment; commands run one after another expect to get in.
    if (!turnedAway || MonotonicMs() + 100 >= deadline) return false;
    ::poll(nullptr, 0, 100);
  }
}

bool NetworkSerialPort::Connect(const std::string& portName, long long deadline, std::string& reason,
                                bool& turnedAway) {
  Close();
  lost_ = false;
  input_.clear();
  codec_ = TelnetCodec();
  modemState_ = MODEMSTATE_CTS | MODEMSTATE_DSR | MODEMSTATE_CD;
  lineState_ = 0;
  awaited_ = silent_ = 0;
  acknowledgedBaud_ = 0;
  if (!ParseNetworkPortName(portName, address_)) {
    reason = portName + ": not a network port; write rfc2217://HOST:PORT or tcp://HOST:PORT.";
    return false;
  }
  const std::string seconds = std::to_string((timing_.connectMs + 999) / 1000) + " s";

  addrinfo* found = nullptr;
  bool timedOut = false;
  const int lookup = LookUp(resolver_, address_.host, std::to_string(address_.port), deadline, found, timedOut);
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

  int fd = -1;
  int error = ETIMEDOUT;
  for (addrinfo* ai = found; ai && fd < 0 && MonotonicMs() < deadline; ai = ai->ai_next) {
    const int s = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (s < 0) {
      error = errno;
      continue;
    }
    int result = ::connect(s, ai->ai_addr, ai->ai_addrlen);
    if (result != 0 && errno == EINPROGRESS) {
      pollfd p{s, POLLOUT, 0};
      int ready;
      do {
        const long long left = deadline - MonotonicMs();
        ready = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
      } while (ready < 0 && errno == EINTR);
      socklen_t length = sizeof result;
      if (ready <= 0) {
        result = -1;
        errno = ETIMEDOUT;
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
  ::freeaddrinfo(found);
  if (fd < 0) {
    switch (error) {
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
  while (!codec_.ComPortAgreed() && !codec_.ComPortRefused() && !lost_) {
    const long long left = deadline - MonotonicMs();
    if (left <= 0) break;
    pollfd p{socket_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) > 0) Drain();
  }
  if (!codec_.ComPortAgreed()) {
    if (lost_) {
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
  AwaitAcknowledgements();
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
}

bool NetworkSerialPort::SendRaw(std::string_view bytes) {
  size_t done = 0;
  while (socket_ >= 0 && !lost_ && done < bytes.size()) {
    const ssize_t n = ::send(socket_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // The server is slower than we are. Keep taking its input meanwhile, so
      // that two full buffers never wait on each other.
      pollfd p{socket_, POLLOUT | POLLIN, 0};
      if (::poll(&p, 1, 2000) <= 0) break;
      if (p.revents & POLLIN) Drain();
      if (p.revents & (POLLERR | POLLHUP)) lost_ = true;
      continue;
    }
    lost_ = true;
  }
  return done == bytes.size();
}

bool NetworkSerialPort::Drain() {
  if (socket_ < 0) return false;
  const size_t before = input_.size();
  char buffer[4096];
  std::string replies;
  std::vector<ComPortMessage> messages;
  for (;;) {
    const ssize_t n = ::recv(socket_, buffer, sizeof buffer, 0);
    if (n > 0) {
      // Acknowledge what came at once rather than up to 40 ms later. A
      // server that holds small writes until its last one is acknowledged
      // (Nagle's algorithm, ser2net's default) would otherwise send the rest
      // of every answer only when our delayed acknowledgement arrives. The
      // kernel drops back to delayed acknowledgements by itself, so this is
      // asked again after every receive.
      const int quick = 1;
      ::setsockopt(socket_, IPPROTO_TCP, TCP_QUICKACK, &quick, sizeof quick);
      if (Telnet()) {
        codec_.Feed(std::string_view(buffer, static_cast<size_t>(n)), input_, replies, messages);
      } else {
        input_.append(buffer, static_cast<size_t>(n));
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) lost_ = true;
    break;
  }
  for (const ComPortMessage& m : messages) Take(m);
  if (!replies.empty()) SendRaw(replies);
  if (input_.size() > before) SignalInput();
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

void NetworkSerialPort::AwaitAcknowledgements() {
  const long long deadline = MonotonicMs() + timing_.acknowledgeMs;
  while ((awaited_ & ~silent_) && !lost_ && socket_ >= 0) {
    const long long left = deadline - MonotonicMs();
    if (left <= 0) break;
    pollfd p{socket_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) > 0) Drain();
  }
  silent_ |= awaited_;
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
  SendRaw(TelnetCodec::Command(CPC_SET_BAUDRATE, std::string_view(reinterpret_cast<const char*>(baud), 4)) +
          TelnetCodec::Command(CPC_SET_DATASIZE, static_cast<uint8_t>(s.dataBits)) +
          TelnetCodec::Command(CPC_SET_PARITY, ParityCode(s.parity)) +
          TelnetCodec::Command(CPC_SET_STOPSIZE, static_cast<uint8_t>(s.stopBits)));
  awaited_ |= 1u << CPC_SET_BAUDRATE | 1u << CPC_SET_DATASIZE | 1u << CPC_SET_PARITY | 1u << CPC_SET_STOPSIZE;
  AwaitAcknowledgements();
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
  // Only what the socket has not sent yet: bytes sent and not yet
  // acknowledged by the server are on their way, as on a wire.
  int pending = 0;
  if (socket_ < 0 || ::ioctl(socket_, SIOCOUTQNSD, &pending) != 0) return 0;
  return pending;
}

size_t NetworkSerialPort::Write(std::string_view bytes) {
  if (socket_ < 0 || lost_) return 0;
  if (!Telnet()) return SendRaw(bytes) ? bytes.size() : 0;
  return SendRaw(TelnetCodec::Escape(bytes)) ? bytes.size() : 0;
}

std::string NetworkSerialPort::ReadAll() {
  Drain();
  uint64_t count;
  if (inputEvent_ >= 0) (void)!::read(inputEvent_, &count, sizeof count);
  std::string data;
  data.swap(input_);
  return data;
}

}  // namespace kelvane
