#include "support/run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
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

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
                         const std::string& input) {
  return RunProcessInterrupted(program, args, -1, timeoutMs, input);
}

ProcessResult RunProcessInterrupted(const std::string& program, const std::vector<std::string>& args,
                                    int interruptAfterMs, int timeoutMs, const std::string& input, int signal) {
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
  long long interruptAt = interruptAfterMs >= 0 ? NowMs() + interruptAfterMs : -1;
  bool outOpen = true, errOpen = true;
  while ((outOpen || errOpen) && NowMs() < deadline) {
    if (interruptAt >= 0 && NowMs() >= interruptAt) {
      ::kill(pid, signal);
      interruptAt = -1;
    }
    pollfd p[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
    const long long until = interruptAt >= 0 ? std::min(interruptAt, deadline) : deadline;
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
  if (outOpen || errOpen) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return result;
  }
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace kelvane::testing
