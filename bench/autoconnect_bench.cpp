// Measures the Autoconnect search against the waits its own rules prescribe:
// each failed attempt sleeps TimeoutTicks x 5 ms after the lone carriage
// return and waits out the answer budgets of TimeoutTicks x 50 ms of "AT",
// "AT" in order and "ATQ0" (three budgets), and when something came back to
// "ATQ0" (a modem at another speed echoes noise) of one more "AT" (four),
// with the time unit cut to one fifth after the first failed probe; a found
// modem costs its sleep plus the exchanges themselves.
//
//  (a) the complete default search (quick pass and full pass, 100 attempts)
//      on a pseudo-terminal where no modem answers. In real time that is
//      minutes of waiting, so the waits run on virtual time: every wait
//      returns at once with the clock moved on, and what the run costs in
//      real time is the tool's own work (opening, configuring and closing the
//      port 100 times, probing, the search itself). Goal: that own time
//      within 5 % of the prescribed waits. "--real" runs it in real time too.
//  (b) a search that finds kelvane-modemsim at 300 baud (the last rate of the
//      quick pass, 10 attempts), in real time, against the prescribed waits.
//      A budget ends on the 50 ms tick, so each may end up to one tick early:
//      the ratio can come out a little below 1. Goal: <= 1.05.

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "config/adapter.h"
#include "connection/autoconnect.h"
#include "serial/posix_serial_port.h"
#include "sim/modemsim_process.h"

using namespace kelvane;
using namespace kelvane::bench;

namespace {

// The answer budget unit in ticks for a rate, with "ResponseTimeout" 1, as
// the adapter itself computes it.
int UnitTicks(int baud, bool probeMode) {
  CAdapter a;
  a.Options.ResponseTimeout = 1;
  a.ProbeMode = probeMode;
  a.SetTimeoutUnit(baud);
  return a.TimeoutTicks;
}

// The rates of the attempts, read from the status texts.
struct AttemptLog {
  std::vector<int> bauds;
  void Note(std::string_view text) {
    if (text.rfind("Searching : ", 0) == 0) bauds.push_back(std::atoi(std::string(text.substr(12, 6)).c_str()));
  }
};

struct Prescribed {
  double seconds = 0;
  int budgets = 0;
};

// The waits of a search whose attempts all fail, with `budgets` answer
// budgets each, except, when `lastFound`, the last one (which sleeps but
// answers at once).
Prescribed PrescribedWaits(const std::vector<int>& bauds, int budgets, bool lastFound) {
  Prescribed p;
  bool probeMode = false;  // the first attempt runs with the full unit
  for (size_t k = 0; k < bauds.size(); ++k) {
    const int t = UnitTicks(bauds[k], probeMode);
    p.seconds += t * 5 / 1000.0;
    if (lastFound && k + 1 == bauds.size()) break;
    p.seconds += budgets * t * 50 / 1000.0;
    p.budgets += budgets;
    probeMode = true;
  }
  return p;
}

// Waits on virtual time: a wait with nothing to read moves the clock to the
// next tick at once.
class VirtualClockUi : public UserInterface {
 public:
  explicit VirtualClockUi(CAdapter& a) : a_(a) {}
  void PumpEvents(int portFd) override {
    if (portFd >= 0) {
      pollfd p{portFd, POLLIN, 0};
      if (::poll(&p, 1, 0) > 0) return;
    }
    Advance(nextTickMs_ - nowMs_);
  }
  void Sleep(int ms) override { Advance(ms > 0 ? ms : 0); }
  MsgAnswer MessageBox(std::string_view, MsgIcon, MsgButtons) override { return MsgAnswer::Ok; }
  void SetProgressText(std::string_view text) override { log.Note(text); }
  long long NowMs() const { return nowMs_; }
  AttemptLog log;

 private:
  void Advance(long long ms) {
    const long long until = nowMs_ + ms;
    while (nextTickMs_ <= until) {
      nowMs_ = nextTickMs_;
      nextTickMs_ += 50;
      a_.OnTimerTick();
    }
    nowMs_ = until;
  }
  CAdapter& a_;
  long long nowMs_ = 0;
  long long nextTickMs_ = 50;
};

class RealUi : public QuietUi {
 public:
  using QuietUi::QuietUi;
  void SetProgressText(std::string_view text) override { log.Note(text); }
  AttemptLog log;
};

// Opens the port without identification, as the Autoconnect command does,
// then searches with the default ranges.
int Search(CAdapter& a, SerialPort& port, const std::string& path) {
  a.SetPort(&port);
  a.PortNumber = path;
  if (!a.OpenAndIdentify(false)) {
    std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), a.LastOpenError.c_str());
    return -1;
  }
  AutoConnectSearch search(a, {}, true);
  return search.Run();
}

int DefaultSearchNoModem(bool realTime) {
  int master = -1, slave = -1;
  char name[128];
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::fprintf(stderr, "openpty: %s\n", std::strerror(errno));
    return 1;
  }
  // The slave stays open here too, so the line never hangs up between the
  // attempts' opens and closes; nothing ever answers on the master.
  CAdapter a;
  PosixSerialPort port;
  double wall = 0, cpu = 0, waited = 0;
  int result = 0;
  std::vector<int> bauds;
  if (realTime) {
    RealUi ui(a);
    a.SetUi(&ui);
    const double w0 = WallSeconds(), c0 = CpuSeconds();
    result = Search(a, port, name);
    wall = WallSeconds() - w0;
    cpu = CpuSeconds() - c0;
    bauds = ui.log.bauds;
    a.SetUi(nullptr);
  } else {
    VirtualClockUi ui(a);
    a.SetUi(&ui);
    const double w0 = WallSeconds(), c0 = CpuSeconds();
    result = Search(a, port, name);
    wall = WallSeconds() - w0;
    cpu = CpuSeconds() - c0;
    waited = ui.NowMs() / 1000.0;
    bauds = ui.log.bauds;
    a.SetUi(nullptr);
  }
  ::close(slave);
  ::close(master);
  if (result != AUTOCONNECT_NOTHING_FOUND) {
    std::fprintf(stderr, "the search without a modem ended with %d\n", result);
    return 1;
  }
  // Nothing comes back to "ATQ0": three budgets an attempt.
  const Prescribed p = PrescribedWaits(bauds, 3, false);
  std::printf("(a) complete default search, no modem answering: %zu attempts, %d budgets\n", bauds.size(),
              p.budgets);
  std::printf("    prescribed waits            %9.3f s\n", p.seconds);
  if (realTime) {
    std::printf("    measured (real time)        %9.3f s   (CPU %.3f s)\n", wall, cpu);
    std::printf("    ratio                       %9.3f     (goal <= 1.05; budgets end on a 50 ms tick)\n",
                wall / p.seconds);
  } else {
    std::printf("    waited (virtual time)       %9.3f s\n", waited);
    std::printf("    tool's own time (real)      %9.3f s   (CPU %.3f s)\n", wall, cpu);
    std::printf("    ratio (waits + own time)    %9.4f\n", (p.seconds + wall) / p.seconds);
    std::printf("    own time / prescribed       %9.3f %%   (goal <= 5 %%)\n", 100.0 * wall / p.seconds);
  }
  return 0;
}

int FindAt300(const char* argv0) {
  ModemSimProcess sim;
  if (!sim.Start(ModemSimPath(argv0), {"--model", "2", "--rate", "300"})) {
    std::fprintf(stderr, "cannot start kelvane-modemsim\n");
    return 1;
  }
  CAdapter a;
  RealUi ui(a);
  a.SetUi(&ui);
  PosixSerialPort port;
  const double w0 = WallSeconds(), c0 = CpuSeconds();
  const int result = Search(a, port, sim.SlavePath());
  const double wall = WallSeconds() - w0, cpu = CpuSeconds() - c0;
  const bool identified = (a.LinkState & LS_IDENTIFIED) && a.BaudRate == "300";
  a.CloseLink();
  a.SetUi(nullptr);
  if (result != AUTOCONNECT_FOUND || !identified) {
    std::fprintf(stderr, "the modem at 300 baud was not found (result %d)\n", result);
    return 1;
  }
  // At the other speeds the modem echoes noise, so "ATQ0" collects something
  // and the probe asks "AT" once more: four budgets an attempt.
  const Prescribed p = PrescribedWaits(ui.log.bauds, 4, true);
  std::printf("(b) search that finds the modem at 300 baud: %zu attempts, %d budgets (real time)\n",
              ui.log.bauds.size(), p.budgets);
  std::printf("    prescribed waits            %9.3f s   (at least %.3f s with every budget a tick short)\n",
              p.seconds, p.seconds - p.budgets * 0.05);
  std::printf("    measured                    %9.3f s   (CPU %.3f s)\n", wall, cpu);
  std::printf("    ratio                       %9.3f     (goal <= 1.05)\n", wall / p.seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool realTime = argc > 1 && std::strcmp(argv[1], "--real") == 0;
  if (DefaultSearchNoModem(false) != 0) return 1;
  if (realTime && DefaultSearchNoModem(true) != 0) return 1;
  return FindAt300(argv[0]);
}
