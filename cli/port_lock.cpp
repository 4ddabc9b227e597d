// Which process uses a port: an exclusive flock on a lock file named after
// the port. Another kelvane-cli sees it (flock conflicts between any two
// open files, also in one process), and the system drops it when the holder
// ends, however it ends, so a killed run leaves no port taken.

#include "cli/port_lock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "serial/network_serial_port.h"

namespace kelvane::cli {

PortLock::PortLock(PortLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

PortLock& PortLock::operator=(PortLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

PortLock::~PortLock() { Release(); }

void PortLock::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::string PortLockPath(const std::string& port) {
  // One device under two names is one port: its real path names the lock.
  std::string device = CanonicalPortName(port);
  char* real = IsNetworkPortName(port) ? nullptr : ::realpath(port.c_str(), nullptr);
  if (real) {
    device = real;
    std::free(real);
  }
  if (device.rfind("/dev/", 0) == 0) device.erase(0, 5);
  for (char& c : device) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.' || c == '_';
    if (!plain) c = '_';
  }
  const char* dir = std::getenv("KELVANE_LOCK_DIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/kelvane-port-" + device + ".lock";
}

bool UsesPortLock(const std::string& port) {
  // A device that is not there needs no lock (and gets no lock file): its
  // open fails with its own message.
  if (port.empty() || port.rfind("sim:", 0) == 0) return false;
  return IsNetworkPortName(port) || ::access(port.c_str(), F_OK) == 0;
}

PortLock::Attempt PortLock::TryTake(const std::string& port, std::string& error) {
  Release();
  const std::string path = PortLockPath(port);
  // Read only, so that the file of another user serves as well; never
  // through a link someone put in its place. An existing file is opened
  // without O_CREAT: in a sticky folder such as /tmp the system may refuse
  // O_CREAT on another user's file (protected_regular).
  const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY;
  int fd = ::open(path.c_str(), flags);
  if (fd < 0 && errno == ENOENT) {
    fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0644);
    if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), flags);
  }
  if (fd < 0) {
    error = "cannot open the lock file " + path + ": " + std::strerror(errno);
    return Attempt::Failed;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    fd_ = fd;
    return Attempt::Taken;
  }
  const int e = errno;
  ::close(fd);
  if (e == EWOULDBLOCK) return Attempt::Busy;
  error = "cannot lock " + path + ": " + std::strerror(e);
  return Attempt::Failed;
}

PoolWait TakeFreePort(const std::vector<std::string>& ports, int waitSeconds, int cancelFd, PortLock& lock,
                      std::string& taken, std::string& error) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
  for (;;) {
    for (const std::string& port : ports) {
      switch (lock.TryTake(port, error)) {
        case PortLock::Attempt::Taken: taken = port; return PoolWait::Taken;
        case PortLock::Attempt::Failed: return PoolWait::Failed;
        case PortLock::Attempt::Busy: break;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) return PoolWait::TimedOut;
    // The next look at the ports in a 50 ms tick, or at once on Cancel.
    pollfd p{cancelFd, POLLIN, 0};
    if (cancelFd >= 0 && ::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) return PoolWait::Cancelled;
    if (cancelFd < 0) ::poll(nullptr, 0, 50);
  }
}

}  // namespace kelvane::cli
