#include "cli/interrupt.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace kelvane::cli {

namespace {

int g_readEnd = -1;
int g_writeEnd = -1;
volatile sig_atomic_t g_count = 0;
volatile sig_atomic_t g_first = 0;
volatile sig_atomic_t g_pipeSeen = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void OnInterrupt(int signal) {
  const int saved = errno;
  if (signal == SIGPIPE) {
    if (g_pipeSeen) {
      errno = saved;
      return;
    }
    g_pipeSeen = 1;
  }
  if (g_first == 0) g_first = signal;
  g_count = g_count + 1;
  if (g_count >= 3 && signal != SIGPIPE) {
    // The user insists: the default action ends the process.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
  }
  const char press = 'c';
  // A full pipe already holds a press; nothing is lost by dropping this one.
  (void)!::write(g_writeEnd, &press, 1);
  errno = saved;
}

}  // namespace

int InstallInterruptPipe() {
  if (g_readEnd >= 0) return g_readEnd;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  g_readEnd = fds[0];
  g_writeEnd = fds[1];
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a question waiting on the terminal returns, unanswered.
  sa.sa_flags = 0;
  for (int signal : kSignals) {
    if (::sigaction(signal, &sa, nullptr) != 0) {
      for (int s : kSignals) ::signal(s, SIG_DFL);
      ::close(g_readEnd);
      ::close(g_writeEnd);
      g_readEnd = g_writeEnd = -1;
      break;
    }
  }
  return g_readEnd;
}

int InterruptCount() { return g_count; }

std::string CancelledText() {
  switch (g_first) {
    case SIGTERM: return "Cancelled by SIGTERM.";
    case SIGHUP: return "Cancelled by SIGHUP.";
    case SIGPIPE: return "Cancelled: the output was closed (SIGPIPE).";
    default: return "Cancelled by Ctrl-C.";
  }
}

}  // namespace kelvane::cli
