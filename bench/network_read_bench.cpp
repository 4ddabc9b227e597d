// A full read of a model type 3 modem (kelvane-modemsim pacing its output at
// 19200 baud) in one run: on its pseudo-terminal directly, then through
// ser2net over RFC 2217 on the loopback address, with ser2net's default
// batching of received characters and without it. Prints each network
// read's wall time against the direct one (goal: ratio <= 1.05) and the CPU
// share of two seconds idle on the open network port (goal: <= 1 %).

#include <poll.h>

#include <cstdio>

#include "bench/bench_support.h"
#include "config/read_engine.h"
#include "connection/connect.h"
#include "serial/network_serial_port.h"
#include "serial/posix_serial_port.h"
#include "sim/modemsim_process.h"
#include "sim/ser2net_process.h"

using namespace kelvane;
using namespace kelvane::bench;

namespace {

constexpr int kBaud = 19200;

// Connects, reads every section and closes; the read's wall time, or a
// negative time when it failed.
double TimedRead(SerialPort& port, const std::string& name) {
  CAdapter a;
  QuietUi ui(a);
  a.SetUi(&ui);
  if (!ConnectAdapter(a, port, name, kBaud)) return -1;
  const double start = WallSeconds();
  const int result = ReadConfiguration(a, SEC_ALL);
  const double wall = WallSeconds() - start;
  a.CloseLink();
  return result == 1 ? wall : -1;
}

}  // namespace

int main(int, char** argv) {
  if (Ser2NetProcess::Program().empty()) {
    std::fprintf(stderr, "ser2net is not installed (scripts/install-deps.sh installs it)\n");
    return 1;
  }
  ModemSimProcess sim;
  if (!sim.Start(ModemSimPath(argv[0]), {"--model", "3", "--pace"})) {
    std::fprintf(stderr, "cannot start kelvane-modemsim\n");
    return 1;
  }
  PosixSerialPort tty;
  const double direct = TimedRead(tty, sim.SlavePath());

  Ser2NetProcess server;
  std::string error;
  if (!server.Start({{sim.SlavePath(), true, "9600n81"}}, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  NetworkSerialPort network;
  const double viaServer = TimedRead(network, server.Url(0));
  server.Kill();
  // The same without the server's own batching of what the line receives,
  // which no client can change: what remains is this side's cost.
  Ser2NetProcess prompt;
  if (!prompt.Start({{sim.SlavePath(), true, "9600n81", false}}, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const double viaPrompt = TimedRead(network, prompt.Url(0));
  if (direct <= 0 || viaServer <= 0 || viaPrompt <= 0) {
    std::fprintf(stderr, "a read failed\n");
    return 1;
  }

  // Idle: the port open, waiting as the tool waits between commands.
  CAdapter a;
  QuietUi ui(a);
  a.SetUi(&ui);
  if (!ConnectAdapter(a, network, prompt.Url(0), kBaud)) return 1;
  const double wall0 = WallSeconds(), cpu0 = CpuSeconds();
  while (WallSeconds() - wall0 < 2.0) {
    ui.PumpEvents(network.PollFd());
    a.ReadText(false);
  }
  const double idleWall = WallSeconds() - wall0, idleCpu = CpuSeconds() - cpu0;
  a.CloseLink();

  std::printf("Full read of model type 3 at %d baud (paced simulated modem):\n", kBaud);
  std::printf("  pseudo-terminal directly        %7.3f s\n", direct);
  std::printf("  ser2net, RFC 2217 on loopback   %7.3f s   ratio %.3f (goal <= 1.05)\n", viaServer,
              viaServer / direct);
  std::printf("  the same, chardelay: false      %7.3f s   ratio %.3f (goal <= 1.05)\n", viaPrompt,
              viaPrompt / direct);
  std::printf("  idle on the network port: CPU %.4f s in %.2f s, share %.2f %% (goal <= 1 %%)\n", idleCpu, idleWall,
              100.0 * idleCpu / idleWall);
  return 0;
}
