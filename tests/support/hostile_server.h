#pragma once
// A device server that misbehaves on purpose, on the loopback address: it
// floods every connection with option requests (and never reads), option
// changes, modem state notifications or data, or it closes or resets every
// connection. Each connection is served on a thread of its own until the
// client goes or the server is destroyed.

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "serial/telnet_codec.h"

namespace kelvane::testing {

class HostileServer {
 public:
  enum class Way { Options, OptionChanges, Notifications, Data, Close, Reset };

  // `telnet`: the floods begin once COM port control is agreed and the purge
  // acknowledged, as a device server's would (not for Options).
  HostileServer(Way way, bool telnet) : way_(way), telnet_(telnet) {
    // Not blocking: a client that gave up before it was accepted must not
    // hold the accepter in accept(2).
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 16) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &length) != 0 || ::pipe2(stop_, O_CLOEXEC) != 0) {
      return;
    }
    port_ = ntohs(a.sin_port);
    accepter_ = std::thread([this] { Accept(); });
  }
  ~HostileServer() {
    if (stop_[1] >= 0) ::close(stop_[1]);
    if (accepter_.joinable()) accepter_.join();
    for (std::thread& t : served_) t.join();
    for (int fd : {listen_, stop_[0]}) {
      if (fd >= 0) ::close(fd);
    }
  }
  HostileServer(const HostileServer&) = delete;
  HostileServer& operator=(const HostileServer&) = delete;

  // 0 when no port could be had.
  int Port() const { return port_; }
  std::string Url() const { return std::string(telnet_ ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(port_); }
  // Bytes of the flood sent so far, and connections taken.
  size_t Sent() const { return sent_; }
  int Connections() const { return connections_; }

 private:
  static std::string Bytes(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) out += static_cast<char>(b);
    return out;
  }

  bool Stopped(int wait) const {
    pollfd p{stop_[0], POLLIN, 0};
    return ::poll(&p, 1, wait) > 0;
  }

  void Accept() {
    while (!Stopped(0)) {
      pollfd p[2] = {{listen_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (::poll(p, 2, -1) <= 0 || (p[1].revents & POLLIN)) return;
      // The connection itself blocks: the floods wait in poll(2) only.
      const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++connections_;
      served_.emplace_back([this, fd] {
        Serve(fd);
        ::close(fd);
      });
    }
  }

  void Serve(int fd) {
    using namespace telnet;
    if (way_ == Way::Close) return;
    if (way_ == Way::Reset) {
      // Once the client has said something, the connection is reset.
      pollfd p{fd, POLLIN, 0};
      ::poll(&p, 1, 10000);
      const linger hard{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
      return;
    }
    std::string flood;
    if (way_ == Way::Options) {
      for (int i = 0; i < 2048; ++i) flood += Bytes({IAC, DO, 99, IAC, WILL, 99});
    } else {
      if (telnet_) {
        const std::string agree = Bytes({IAC, DO, OPT_COM_PORT, IAC, WILL, OPT_BINARY, IAC, WILL, OPT_SGA});
        if (::send(fd, agree.data(), agree.size(), MSG_NOSIGNAL) < 0) return;
        // The purge is sent after the agreement: its acknowledgement follows.
        pollfd p{fd, POLLIN, 0};
        for (std::string heard; heard.find(Bytes({SB, OPT_COM_PORT, CPC_PURGE_DATA})) == std::string::npos;) {
          char buffer[512];
          if (::poll(&p, 1, 5000) <= 0 || Stopped(0)) return;
          const ssize_t n = ::read(fd, buffer, sizeof buffer);
          if (n <= 0) return;
          heard.append(buffer, static_cast<size_t>(n));
        }
        const std::string purged = TelnetCodec::Command(CPC_PURGE_DATA + CPC_SERVER_OFFSET, 3);
        if (::send(fd, purged.data(), purged.size(), MSG_NOSIGNAL) < 0) return;
      }
      for (int i = 0; i < 2048; ++i) {
        switch (way_) {
          case Way::OptionChanges: flood += Bytes({IAC, WONT, OPT_BINARY, IAC, WILL, OPT_BINARY}); break;
          case Way::Notifications:
            flood += TelnetCodec::Command(CPC_NOTIFY_MODEMSTATE + CPC_SERVER_OFFSET, i % 2 ? 0xB0 : 0x30);
            break;
          default: flood += "noise "; break;
        }
      }
    }
    const bool reads = way_ != Way::Options;
    for (size_t at = 0;;) {
      pollfd p[2] = {{fd, static_cast<short>(POLLOUT | (reads ? POLLIN : 0)), 0}, {stop_[0], POLLIN, 0}};
      if (::poll(p, 2, 100) < 0 || (p[1].revents & POLLIN) || (p[0].revents & (POLLERR | POLLHUP))) return;
      // Whatever the client answered is taken in full, faster than the
      // flood that earns the answers.
      while (p[0].revents & POLLIN) {
        char buffer[65536];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) return;
        if (n < static_cast<ssize_t>(sizeof buffer)) break;
      }
      if (p[0].revents & POLLOUT) {
        const ssize_t n = ::send(fd, flood.data() + at, flood.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return;
        if (n > 0) {
          sent_ += static_cast<size_t>(n);
          at = (at + static_cast<size_t>(n)) % flood.size();
        }
      }
    }
  }

  const Way way_;
  const bool telnet_;
  int listen_ = -1;
  int port_ = 0;
  int stop_[2] = {-1, -1};
  std::atomic<size_t> sent_{0};
  std::atomic<int> connections_{0};
  std::thread accepter_;
  std::vector<std::thread> served_;  // only the accepter adds, only the destructor joins
};

}  // namespace kelvane::testing
