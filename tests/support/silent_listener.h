#pragma once
// A device server that listens on the loopback address and never answers:
// the kernel completes each connection and nothing is ever said on it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace kelvane::testing {

class SilentListener {
 public:
  SilentListener() {
    // Not blocking: taking the waiting connections never waits for one.
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(fd_, 16) == 0 && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~SilentListener() {
    for (int fd : taken_) ::close(fd);
    if (fd_ >= 0) ::close(fd_);
  }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  // 0 when no port could be had.
  int Port() const { return port_; }
  // A client has connected since the last TakeWaiting(): it is past its
  // start and waits for an answer.
  bool HasWaiting() const {
    pollfd p{fd_, POLLIN, 0};
    return fd_ >= 0 && ::poll(&p, 1, 0) > 0;
  }
  // Takes the connections waiting so far, and keeps them as silent as ever.
  void TakeWaiting() {
    while (HasWaiting()) {
      const int fd = ::accept(fd_, nullptr, nullptr);
      if (fd < 0) break;
      taken_.push_back(fd);
    }
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::vector<int> taken_;
};

}  // namespace kelvane::testing
