// A full read of every section over a pseudo-terminal, with kelvane-modemsim
// pacing its output at 9600 baud (10 bits a character). Prints the read's
// wall time against the wire time of the bytes actually exchanged (counted in
// the same run; goal: ratio <= 1.10) and the CPU share during the read (goal:
// <= 2 %).

#include <cstdio>
#include <cstdlib>

#include "bench/bench_support.h"
#include "config/read_engine.h"
#include "connection/connect.h"
#include "serial/posix_serial_port.h"
#include "sim/modemsim_process.h"

using namespace kelvane;
using namespace kelvane::bench;

namespace {

// Counts the bytes that cross the port in each direction.
class CountingPort : public PosixSerialPort {
 public:
  size_t Write(std::string_view bytes) override {
    const size_t n = PosixSerialPort::Write(bytes);
    sent += n;
    return n;
  }
  std::string ReadAll() override {
    std::string data = PosixSerialPort::ReadAll();
    received += data.size();
    return data;
  }
  size_t sent = 0, received = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const int model = argc > 1 ? std::atoi(argv[1]) : 3;
  const int baud = 9600;
  ModemSimProcess sim;
  if (!sim.Start(ModemSimPath(argv[0]), {"--model", std::to_string(model), "--pace"})) {
    std::fprintf(stderr, "cannot start kelvane-modemsim\n");
    return 1;
  }
  CAdapter a;
  QuietUi ui(a);
  a.SetUi(&ui);
  CountingPort port;
  if (!ConnectAdapter(a, port, sim.SlavePath(), baud)) return 1;

  port.sent = port.received = 0;
  const double wall0 = WallSeconds(), cpu0 = CpuSeconds();
  const int result = ReadConfiguration(a, SEC_ALL);
  const double wall = WallSeconds() - wall0, cpu = CpuSeconds() - cpu0;
  a.CloseLink();
  if (result != 1) {
    std::fprintf(stderr, "the read failed\n");
    return 1;
  }

  const double bitsPerSecond = baud;
  const double wireReceived = static_cast<double>(port.received) * 10 / bitsPerSecond;
  const double wireBoth = static_cast<double>(port.received + port.sent) * 10 / bitsPerSecond;
  std::printf("Full read of model type %d at %d baud (paced simulated modem):\n", model, baud);
  std::printf("  bytes sent %zu, received %zu\n", port.sent, port.received);
  std::printf("  wall time                    %7.3f s\n", wall);
  std::printf("  wire time, both directions   %7.3f s   ratio %.3f (goal <= 1.10)\n", wireBoth, wall / wireBoth);
  std::printf("  wire time, modem's answers   %7.3f s   ratio %.3f\n", wireReceived, wall / wireReceived);
  std::printf("  CPU time %.4f s: share %.2f %% (goal <= 2 %%)\n", cpu, 100.0 * cpu / wall);
  return 0;
}
