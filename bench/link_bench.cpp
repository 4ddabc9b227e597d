// Measures the link layer against references taken in the same run:
//  (a) the round trip of "AT" -> "OK" through the termios port, Transact and
//      kelvane-modemsim, against a bare write/poll/read round trip on the
//      same pseudo-terminal (goal: ratio <= 1.5);
//  (b) the CPU time spent while a transaction waits out its 2-second budget,
//      as a share of the wall time (goal: <= 1 %).

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/bench_support.h"
#include "connection/connect.h"
#include "serial/posix_serial_port.h"
#include "sim/modemsim_process.h"

using namespace kelvane;
using namespace kelvane::bench;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
  ModemSimProcess sim;
  if (!sim.Start(ModemSimPath(argv[0]), {"--model", "3", "--echo", "0"})) {
    std::fprintf(stderr, "cannot start kelvane-modemsim\n");
    return 1;
  }

  // The program's path: termios port, Transact, real-time waits.
  CAdapter a;
  QuietUi ui(a);
  a.SetUi(&ui);
  PosixSerialPort port;
  if (!ConnectAdapter(a, port, sim.SlavePath(), 115200)) return 1;
  // Reference: a bare write/poll/read round trip on the same line. The two
  // alternate round by round, so both see the same machine load.
  const int fd = OpenRawTty(sim.SlavePath(), 115200);
  if (fd < 0) return 1;
  std::vector<double> bare, ours;
  for (int i = 0; i < rounds; ++i) {
    double t0 = WallSeconds();
    if (!RawExchange(fd, "AT\r", "OK\r\n", 2000)) {
      std::fprintf(stderr, "bare exchange failed\n");
      return 1;
    }
    bare.push_back(WallSeconds() - t0);

    std::string command = "AT";
    t0 = WallSeconds();
    if (a.Transact(command, 1, "OK\r\n", MatchExact) != 1) {
      std::fprintf(stderr, "transaction failed: %s\n", command.c_str());
      return 1;
    }
    ours.push_back(WallSeconds() - t0);
  }
  ::close(fd);

  // A transaction whose budget runs out: 9600 baud, "ResponseTimeout" 1 = 40
  // ticks = 2 s. Not identified, so there is no retry.
  a.BaudRate = "9600";
  a.ApplyPortSettings();
  a.Identified = false;
  std::string command = "AT";
  const double wall0 = WallSeconds(), cpu0 = CpuSeconds();
  const int result = a.Transact(command, 1, "NEVER ANSWERED", MatchExact);
  const double wall = WallSeconds() - wall0, cpu = CpuSeconds() - cpu0;
  a.CloseLink();

  const double bareMedian = Median(bare), oursMedian = Median(ours);
  std::printf("AT round trip, %d rounds (median):\n", rounds);
  std::printf("  bare pseudo-terminal   %8.1f us\n", bareMedian * 1e6);
  std::printf("  termios port+Transact  %8.1f us\n", oursMedian * 1e6);
  std::printf("  ratio                  %8.2f   (goal <= 1.5)\n", oursMedian / bareMedian);
  std::printf("Budget run-out (result %d): wall %.3f s, CPU %.4f s\n", result, wall, cpu);
  std::printf("  CPU share              %8.2f %% (goal <= 1 %%)\n", 100.0 * cpu / wall);
  return 0;
}
