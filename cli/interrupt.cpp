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

void OnInterrupt(int) {
  const int saved = errno;
  g_count = g_count + 1;
  if (g_count >= 3) {
    // The user insists: the default action ends the process.
    ::signal(SIGINT, SIG_DFL);
    ::raise(SIGINT);
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
  if (::sigaction(SIGINT, &sa, nullptr) != 0) {
    ::close(g_readEnd);
    ::close(g_writeEnd);
    g_readEnd = g_writeEnd = -1;
  }
  return g_readEnd;
}

int InterruptCount() { return g_count; }

}  // namespace kelvane::cli
