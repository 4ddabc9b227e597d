// kelvane-cli apply on 32 simulated modems, each on its own pseudo-terminal
// at 9600 baud (paced, 10 bits a character) and each needing one section
// (Basic) written. Prints the time for all of them against the time for one,
// measured in the same run (goal: ratio <= 1.3: the ports run side by side),
// and the tool's CPU time per modem.
//
// In remote mode: one unchanged far modem behind a simulated local one (paced
// at 9600 baud as the modems above). Prints
// the time of the whole run against the time of its login and read (from the
// start to the logout's "AT*WRCE" in its traffic log), goal <= 1.3: the
// logout waits for nothing.
//
// In pool mode: 16 far modems of a simulated telephone network reached
// through a dial-out pool of 4 local modems (--via), each far modem needing
// Basic written, against one far modem through a pool of one. Goal: all 16
// take at most 1.3 x 4 x one (the 4 ports carry 4 calls at a time).
//
//   apply_bench [MODEL]   (model type of the simulated modems, default 3)
//   apply_bench remote
//   apply_bench pool

#include <sys/resource.h>
#include <sys/stat.h>
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

constexpr int kModems = 32;

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

// Seconds of the day of the first traffic log line holding `part`
// ("2026-12-07 23:28:49.395 port TX ..."), -1 when there is none.
double LoggedAt(const std::string& log, const std::string& part) {
  const size_t at = log.find(part);
  if (at == std::string::npos) return -1;
  const size_t newline = log.rfind('\n', at);
  const size_t line = newline == std::string::npos ? 0 : newline + 1;
  int h = 0, m = 0, sec = 0, ms = 0;
  if (std::sscanf(log.c_str() + line + 11, "%d:%d:%d.%d", &h, &m, &sec, &ms) != 4) return -1;
  return ((h * 60.0 + m) * 60 + sec) + ms / 1000.0;
}

int RemoteBench(const char* argv0) {
  ModemSimProcess sim;
  if (!sim.Start(ModemSimPath(argv0), {"--model", "2", "--rate", "9600", "--pace", "--remote-number", "5551234",
                                       "--password", "letmein", "--remote-model", "3"})) {
    std::fprintf(stderr, "cannot start kelvane-modemsim\n");
    return 1;
  }
  const std::string dir = "/tmp/kelvane-apply-bench-" + std::to_string(::getpid());
  const std::string profile = dir + ".dat", password = dir + ".pw", log = dir + ".log";
  {
    std::FILE* f = std::fopen(password.c_str(), "w");
    if (!f) return 1;
    std::fputs("letmein\n", f);
    std::fclose(f);
  }
  // A profile of the far modem's model that it holds already; the remote
  // configuration, which a profile does not carry, is left out.
  if (RunCli({"read", "--port", "sim:3", "-o", profile}).exitCode != 0) {
    std::fprintf(stderr, "cannot make the profile\n");
    return 1;
  }
  const Run run = RunCli({"apply", profile, "--port", sim.SlavePath(), "--baud", "9600", "--remote", "5551234",
                          "--password-file", password, "--sections", "basic,serial,dial,callerid,callback,io",
                          "--log", log});
  std::string traffic;
  if (std::FILE* f = std::fopen(log.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) traffic.append(buffer, n);
    std::fclose(f);
  }
  for (const std::string& f : {profile, password, log}) ::unlink(f.c_str());
  const double start = LoggedAt(traffic, " -- traffic log started"), logout = LoggedAt(traffic, " TX AT*WRCE");
  if (run.exitCode != 0 || start < 0 || logout < 0) {
    std::fprintf(stderr, "apply failed (exit %d) or its log lacks the logout\n", run.exitCode);
    return 1;
  }
  const double work = logout - start;
  std::printf("kelvane-cli apply over a remote link, an unchanged far modem at 9600 baud (paced):\n");
  std::printf("  login and read             %7.3f s\n", work);
  std::printf("  whole run                  %7.3f s   ratio %.3f (goal <= 1.3)\n", run.wall, run.wall / work);
  return 0;
}

int PoolBench(const char* argv0) {
  constexpr int kFar = 16, kLocal = 4;
  std::vector<std::string> args = {"--model", "2", "--rate", "9600", "--pace", "--locals", std::to_string(kLocal)};
  for (int i = 0; i < kFar; ++i) {
    args.push_back("--far");
    args.push_back("55520" + std::to_string(10 + i) + ":3:letmein");
  }
  ModemSimProcess sim;
  if (!sim.Start(ModemSimPath(argv0), args)) {
    std::fprintf(stderr, "cannot start kelvane-modemsim\n");
    return 1;
  }
  const std::string dir = "/tmp/kelvane-apply-bench-" + std::to_string(::getpid());
  const std::string profile = dir + ".dat", reference = dir + "-ref.dat", password = dir + ".pw",
                    inventory = dir + ".txt";
  std::FILE* pw = std::fopen(password.c_str(), "w");
  std::FILE* inv = std::fopen(inventory.c_str(), "w");
  if (!pw || !inv) return 1;
  std::fputs("letmein\n", pw);
  std::fclose(pw);
  ::chmod(password.c_str(), 0600);
  for (int i = 0; i < kFar; ++i) std::fprintf(inv, ",55520%d,%s\n", 10 + i, password.c_str());
  std::fclose(inv);
  // Every far modem needs Basic written, in the reference run and after it.
  if (RunCli({"read", "--port", "sim:3", "-o", profile}).exitCode != 0 ||
      RunCli({"read", "--port", "sim:3", "-o", reference}).exitCode != 0 ||
      RunCli({"set", profile, "BasicSettings.S0=3"}).exitCode != 0 ||
      RunCli({"set", reference, "BasicSettings.S0=4"}).exitCode != 0) {
    std::fprintf(stderr, "cannot make the profiles\n");
    return 1;
  }
  const std::vector<std::string> common = {"--baud", "9600", "--sections", "basic", "--password-file", password};
  std::vector<std::string> single = {"apply", reference, "--remote", "5552010", "--via", sim.SlavePaths()[0]};
  single.insert(single.end(), common.begin(), common.end());
  const Run one = RunCli(single);
  std::vector<std::string> all = {"apply", profile, "--inventory", inventory};
  for (const std::string& port : sim.SlavePaths()) {
    all.push_back("--via");
    all.push_back(port);
  }
  all.insert(all.end(), common.begin(), common.end());
  const Run many = RunCli(all);
  for (const std::string& f : {profile, reference, password, inventory}) ::unlink(f.c_str());
  if (one.exitCode != 0 || many.exitCode != 0) {
    std::fprintf(stderr, "apply failed (exit %d and %d)\n", one.exitCode, many.exitCode);
    return 1;
  }
  std::printf("kelvane-cli apply through a dial-out pool, far modems of type 3 at 9600 baud (paced), Basic written:\n");
  std::printf("  one far modem, a pool of 1      %7.3f s\n", one.wall);
  std::printf("  %d far modems, a pool of %d     %7.3f s   ratio %.3f to %d x one (goal <= 1.3)\n", kFar, kLocal,
              many.wall, many.wall / (kFar / kLocal * one.wall), kFar / kLocal);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "remote") return RemoteBench(argv[0]);
  if (argc > 1 && std::string(argv[1]) == "pool") return PoolBench(argv[0]);
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
  const Run many = RunCli(all);
  ::unlink(profile.c_str());
  ::unlink(reference.c_str());
  if (one.exitCode != 0 || many.exitCode != 0) {
    std::fprintf(stderr, "apply failed (exit %d and %d)\n", one.exitCode, many.exitCode);
    return 1;
  }

  std::printf("kelvane-cli apply, model type %s at 9600 baud (paced simulated modems), Basic written on each:\n",
              model.c_str());
  std::printf("  one modem                  %7.3f s\n", one.wall);
  std::printf("  %d modems on %d ports     %7.3f s   ratio %.3f (goal <= 1.3)\n", kModems, kModems, many.wall,
              many.wall / one.wall);
  std::printf("  CPU of kelvane-cli: one modem %.1f ms; %d modems %.1f ms, %.1f ms per modem\n", one.cpu * 1000,
              kModems, many.cpu * 1000, many.cpu * 1000 / kModems);
  return 0;
}
