// kelvane-cli apply on eight simulated modems, each on its own
// pseudo-terminal at 9600 baud (paced, 10 bits a character) and each needing
// one section (Basic) written. Prints the time for all eight against the time
// for one, measured in the same run (goal: ratio <= 1.25: the ports run side
// by side), and the tool's CPU time per modem.
//
//   apply_bench [MODEL]   (model type of the simulated modems, default 3)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "sim/modemsim_process.h"

using namespace kelvane;
using namespace kelvane::bench;

namespace {

constexpr int kModems = 8;

struct Run {
  int exitCode = -1;
  double wall = 0;
  double cpu = 0;  // user + system of kelvane-cli
};

// Runs kelvane-cli with `args`, its output to /dev/null.
Run RunCli(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string program = KELVANE_CLI;
  argv.push_back(program.data());
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  Run run;
  const double start = WallSeconds();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!std::getenv("APPLY_BENCH_VERBOSE")) {
      (void)!std::freopen("/dev/null", "w", stdout);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  run.wall = WallSeconds() - start;
  run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string model = argc > 1 ? argv[1] : "3";
  std::vector<std::unique_ptr<ModemSimProcess>> sims;
  for (int i = 0; i < kModems; ++i) {
    sims.push_back(std::make_unique<ModemSimProcess>());
    if (!sims.back()->Start(ModemSimPath(argv[0]), {"--model", model, "--rate", "9600", "--pace"})) {
      std::fprintf(stderr, "cannot start kelvane-modemsim\n");
      return 1;
    }
  }
  const std::string dir = "/tmp/kelvane-apply-bench-" + std::to_string(::getpid());
  const std::string profile = dir + ".dat", reference = dir + "-ref.dat";
  // The profile is the first modem's own configuration with one Basic field
  // changed; the reference run takes another value of it, so that afterwards
  // every modem still needs its Basic section written.
  if (RunCli({"read", "--port", sims[0]->SlavePath(), "--baud", "9600", "-o", profile}).exitCode != 0 ||
      RunCli({"read", "--port", sims[0]->SlavePath(), "--baud", "9600", "-o", reference}).exitCode != 0 ||
      RunCli({"set", profile, "BasicSettings.S0=3"}).exitCode != 0 ||
      RunCli({"set", reference, "BasicSettings.S0=4"}).exitCode != 0) {
    std::fprintf(stderr, "cannot make the profiles\n");
    return 1;
  }

  const Run one = RunCli({"apply", reference, "--port", sims[0]->SlavePath(), "--baud", "9600"});
  std::vector<std::string> all = {"apply", profile, "--baud", "9600"};
  for (const auto& sim : sims) {
    all.push_back("--port");
    all.push_back(sim->SlavePath());
  }
  const Run eight = RunCli(all);
  ::unlink(profile.c_str());
  ::unlink(reference.c_str());
  if (one.exitCode != 0 || eight.exitCode != 0) {
    std::fprintf(stderr, "apply failed (exit %d and %d)\n", one.exitCode, eight.exitCode);
    return 1;
  }

  std::printf("kelvane-cli apply, model type %s at 9600 baud (paced simulated modems), Basic written on each:\n",
              model.c_str());
  std::printf("  one modem                  %7.3f s\n", one.wall);
  std::printf("  %d modems on %d ports       %7.3f s   ratio %.3f (goal <= 1.25)\n", kModems, kModems, eight.wall,
              eight.wall / one.wall);
  std::printf("  CPU of kelvane-cli: one modem %.1f ms; %d modems %.1f ms, %.1f ms per modem\n", one.cpu * 1000,
              kModems, eight.cpu * 1000, eight.cpu * 1000 / kModems);
  return 0;
}
