#pragma once
// Clocks and a quiet user interface for the benchmark programs.

#include <sys/resource.h>
#include <time.h>

#include <string>

#include "config/adapter.h"
#include "config/headless_ui.h"

namespace kelvane::bench {

inline double WallSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

inline double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Real-time waits, no output.
class QuietUi : public HeadlessUserInterface {
 public:
  using HeadlessUserInterface::HeadlessUserInterface;
  MsgAnswer MessageBox(std::string_view, MsgIcon, MsgButtons b) override {
    return b == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Yes;
  }
};

// The path of kelvane-modemsim (beside this program when not compiled in).
std::string ModemSimPath(const char* argv0);

// Points the adapter at `port` on `path` with `baud`,N,8,1 and runs the
// Connect operation. Prints why and returns false when no modem answered.
bool ConnectAdapter(CAdapter& a, SerialPort& port, const std::string& path, int baud);

// Opens a pseudo-terminal slave raw at `baud` for the bare reference.
int OpenRawTty(const std::string& path, int baud);
// Writes `command`, then reads until `expected` was seen. Returns false on
// a time-out of `timeoutMs`.
bool RawExchange(int fd, const std::string& command, const std::string& expected, int timeoutMs);

}  // namespace kelvane::bench
