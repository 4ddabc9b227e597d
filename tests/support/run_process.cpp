#include "support/run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

namespace kelvane::testing {

namespace {

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Runs the program; while `due` is pending (asked every `askEveryMs`, never
// when that is negative) it is asked whether to send `signal` now.
ProcessResult RunProcessSignalled(const std::string& program, const std::vector<std::string>& args,
                                  const std::function<bool()>& due, int askEveryMs, int timeoutMs,
                                  const std::string& input, int signal);

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
                         const std::string& input) {
  return RunProcessInterrupted(program, args, -1, timeoutMs, input);
}

ProcessResult RunProcessInterrupted(const std::string& program, const std::vector<std::string>& args,
                                    int interruptAfterMs, int timeoutMs, const std::string& input, int signal) {
  const long long start = NowMs();
  const auto due = [&] { return interruptAfterMs >= 0 && NowMs() >= start + interruptAfterMs; };
  return RunProcessSignalled(program, args, due, interruptAfterMs >= 0 ? 10 : -1, timeoutMs, input, signal);
}

ProcessResult RunProcessSignalledWhen(const std::string& program, const std::vector<std::string>& args,
                                      const std::function<bool()>& due, int signal, int timeoutMs) {
  return RunProcessSignalled(program, args, due, 10, timeoutMs, "", signal);
}

namespace {

ProcessResult RunProcessSignalled(const std::string& program, const std::vector<std::string>& args,
                                  const std::function<bool()>& due, int askEveryMs, int timeoutMs,
                                  const std::string& input, int signal) {
  ProcessResult result;
  int out[2], err[2], in[2];
  if (::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC) || ::pipe2(in, O_CLOEXEC)) return result;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  ::close(in[0]);
  if (!input.empty()) (void)!::write(in[1], input.data(), input.size());
  ::close(in[1]);

  const long long deadline = NowMs() + timeoutMs;
  bool pending = askEveryMs >= 0;
  long long signalledAt = -1;
  bool outOpen = true, errOpen = true;
  while ((outOpen || errOpen) && NowMs() < deadline) {
    if (pending && due()) {
      ::kill(pid, signal);
      signalledAt = NowMs();
      pending = false;
    }
    pollfd p[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
    const long long until = pending ? std::min(NowMs() + askEveryMs, deadline) : deadline;
    const int ready = ::poll(p, 2, static_cast<int>(std::max(0LL, until - NowMs())));
    if (ready < 0) break;
    if (ready == 0) continue;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
      if (!(p[i].revents & (POLLIN | POLLHUP))) continue;
      const ssize_t n = ::read(p[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        (i == 0 ? outOpen : errOpen) = false;
      } else {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
      }
    }
  }
  ::close(out[0]);
  ::close(err[0]);
  int status = 0;
  rusage usage{};
  if (outOpen || errOpen) {
    ::kill(pid, SIGKILL);
    ::wait4(pid, &status, 0, &usage);
    return result;
  }
  ::wait4(pid, &status, 0, &usage);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (signalledAt >= 0) result.afterSignalMs = NowMs() - signalledAt;
  result.peakKb = usage.ru_maxrss;
  return result;
}

}  // namespace

}  // namespace kelvane::testing
