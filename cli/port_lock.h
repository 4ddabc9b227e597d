#pragma once
// A port in use by one kelvane-cli process (or thread) at a time: apply takes
// it for each target, and a far target of the dial-out pool (--via) waits for
// whichever port of the pool is free.

#include <string>
#include <vector>

namespace kelvane::cli {

// "$KELVANE_LOCK_DIR/kelvane-port-ttyUSB0.lock" (/tmp without it), named
// after the device the port is (a link and its target share one).
std::string PortLockPath(const std::string& port);
// The built-in simulated modems ("sim:3") belong to one process each, and a
// device that does not exist needs no lock.
bool UsesPortLock(const std::string& port);

class PortLock {
 public:
  PortLock() = default;
  PortLock(PortLock&& other) noexcept;
  PortLock& operator=(PortLock&& other) noexcept;
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;
  ~PortLock();

  enum class Attempt { Taken, Busy, Failed };
  // Takes the port's lock without waiting; Failed with `error` when the
  // lock file cannot be made.
  Attempt TryTake(const std::string& port, std::string& error);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

enum class PoolWait { Taken, TimedOut, Cancelled, Failed };

// The first of `ports` that is free, looked at again every 50 ms until
// `waitSeconds` have passed or `cancelFd` becomes readable. `taken` names
// the port whose lock `lock` now holds.
PoolWait TakeFreePort(const std::vector<std::string>& ports, int waitSeconds, int cancelFd, PortLock& lock,
                      std::string& taken, std::string& error);

}  // namespace kelvane::cli
