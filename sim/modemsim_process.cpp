#include "sim/modemsim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "serial/clock.h"

namespace kelvane {

ModemSimProcess::~ModemSimProcess() { Stop(); }

bool ModemSimProcess::Start(const std::string& program, const std::vector<std::string>& args, int timeoutMs) {
  Stop();
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return false;
  }
  if (pid == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  pid_ = pid;
  stdoutFd_ = pipeFds[0];

  // With "--locals N" it prints N paths, one a line.
  size_t expected = 1;
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--locals") expected = static_cast<size_t>(std::max(1, std::atoi(args[i + 1].c_str())));
  }
  std::string line;
  const long long deadline = MonotonicMs() + timeoutMs;
  while (static_cast<size_t>(std::count(line.begin(), line.end(), '\n')) < expected) {
    const long long left = deadline - MonotonicMs();
    if (left <= 0) break;
    pollfd p{stdoutFd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buffer[256];
    const ssize_t n = ::read(stdoutFd_, buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<size_t>(n));
  }
  const size_t end = line.find('\n');
  if (end == std::string::npos) {
    Stop();
    return false;
  }
  slavePath_ = line.substr(0, end);
  // The first `expected` lines are the paths; what follows them is events.
  slavePaths_.clear();
  size_t start = 0;
  for (size_t next; slavePaths_.size() < expected && (next = line.find('\n', start)) != std::string::npos;
       start = next + 1) {
    slavePaths_.push_back(line.substr(start, next - start));
  }
  if (slavePaths_.size() < expected) {
    Stop();
    return false;
  }
  events_ = line.substr(start);
  return true;
}

std::string ModemSimProcess::TakeEvents() {
  pollfd p{stdoutFd_, POLLIN, 0};
  char buffer[4096];
  while (stdoutFd_ >= 0 && ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
    const ssize_t n = ::read(stdoutFd_, buffer, sizeof buffer);
    if (n <= 0) break;
    events_.append(buffer, static_cast<size_t>(n));
  }
  std::string taken;
  taken.swap(events_);
  return taken;
}

std::string ModemSimProcess::TakeEventsThrough(const std::string& event, int timeoutMs) {
  const long long deadline = MonotonicMs() + timeoutMs;
  for (size_t scanned = 0;;) {
    for (size_t end; (end = events_.find('\n', scanned)) != std::string::npos; scanned = end + 1) {
      if (events_.compare(scanned, event.size(), event) == 0) {
        std::string taken = events_.substr(0, end + 1);
        events_.erase(0, end + 1);
        return taken;
      }
    }
    const long long left = deadline - MonotonicMs();
    if (stdoutFd_ < 0 || left <= 0) return {};
    pollfd p{stdoutFd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) return {};
    char buffer[4096];
    const ssize_t n = ::read(stdoutFd_, buffer, sizeof buffer);
    if (n <= 0) return {};
    events_.append(buffer, static_cast<size_t>(n));
  }
}

bool ModemSimProcess::WaitForEvent(const std::string& event, int timeoutMs) {
  const long long deadline = MonotonicMs() + timeoutMs;
  for (;;) {
    size_t end;
    while ((end = events_.find('\n')) != std::string::npos) {
      const bool found = events_.compare(0, event.size(), event) == 0;
      events_.erase(0, end + 1);
      if (found) return true;
    }
    const long long left = deadline - MonotonicMs();
    if (stdoutFd_ < 0 || left <= 0) return false;
    pollfd p{stdoutFd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
    char buffer[4096];
    const ssize_t n = ::read(stdoutFd_, buffer, sizeof buffer);
    if (n <= 0) return false;
    events_.append(buffer, static_cast<size_t>(n));
  }
}

void ModemSimProcess::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    const long long deadline = MonotonicMs() + 2000;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (MonotonicMs() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      ::poll(nullptr, 0, 10);
    }
    pid_ = -1;
  }
  if (stdoutFd_ >= 0) {
    ::close(stdoutFd_);
    stdoutFd_ = -1;
  }
  slavePath_.clear();
  events_.clear();
  slavePaths_.clear();
}

}  // namespace kelvane
