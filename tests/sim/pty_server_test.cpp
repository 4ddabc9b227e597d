// kelvane-modemsim as a process: the modem on a pseudo-terminal, reached the
// way the program reaches a serial port.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "sim/modemsim_process.h"
#include "sim/pty_server.h"
#include "support/run_process.h"

namespace kelvane {
namespace {

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

class Slave {
 public:
  Slave(const std::string& path, speed_t speed) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ >= 0) SetSpeed(speed);
  }
  ~Slave() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Ok() const { return fd_ >= 0; }
  void SetSpeed(speed_t speed) {
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  // Sends `text` and collects the answer until `until` appears or the time
  // is up.
  std::string Ask(const std::string& text, const std::string& until, int timeoutMs = 3000) {
    if (::write(fd_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
    std::string got;
    const long long deadline = NowMs() + timeoutMs;
    while (until.empty() || got.find(until) == std::string::npos) {
      const long long left = deadline - NowMs();
      if (left <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
      char buffer[512];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0) got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }

 private:
  int fd_ = -1;
};

// CPU time (user + system, clock ticks) a process has used so far.
long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t close = all.rfind(')');
  if (close == std::string::npos) return -1;
  long utime = 0, stime = 0;
  // After the command name: state, then 10 fields up to utime and stime.
  std::sscanf(all.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld",
              &utime, &stime);
  return utime + stime;
}

TEST(ModemSimulator, AnswersOnlyAtItsRateAndKeepsServingAfterHangUp) {
  char dir[] = "/tmp/kelvane-simXXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string link = std::string(dir) + "/modem";
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--article", "7730-46", "--rate", "9600", "--link", link}));
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(sim.SlavePath(), target);

  {
    Slave port(link, B9600);
    ASSERT_TRUE(port.Ok());
    EXPECT_EQ(port.Ask("ATI9\r", "OK\r\n"), "ATI9\r\r\nDalmarin RP-40 7730-46 SW 3.14\r\n\r\nOK\r\n");
    port.SetSpeed(B19200);
    // All that comes within two seconds, however slowly the simulator runs.
    const std::string wrong = port.Ask("AT\r", "", 2000);
    EXPECT_EQ(wrong.find("OK"), std::string::npos);
    EXPECT_EQ(wrong.size(), 3u);  // the echo, as noise
    port.SetSpeed(B9600);
    EXPECT_EQ(port.Ask("AT+IPR=0\r", "OK\r\n"), "AT+IPR=0\r\r\nOK\r\n");
  }

  // With nobody on the line the server waits without burning the processor,
  // and the next program that opens the line is served.
  const long before = CpuTicks(sim.Pid());
  ::usleep(1000 * 1000);
  const long used = CpuTicks(sim.Pid()) - before;
  EXPECT_LT(used, 20) << "ticks of CPU time while idle";
  {
    Slave port(sim.SlavePath(), B115200);  // automatic rate now
    ASSERT_TRUE(port.Ok());
    EXPECT_EQ(port.Ask("AT\r", "OK\r\n"), "AT\r\r\nOK\r\n");
  }

  sim.Stop();
  EXPECT_NE(::access(link.c_str(), F_OK), 0);  // the link went with the server
  ::rmdir(dir);
}

TEST(ModemSimulator, StartsInTheModesItIsGiven) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "1", "--echo", "0", "--numeric"}));
  Slave port(sim.SlavePath(), B2400);
  ASSERT_TRUE(port.Ok());
  EXPECT_EQ(port.Ask("AT\r", "0\r"), "0\r");
  EXPECT_EQ(port.Ask("ATI9\r", "0\r"), "Dalmarin RMX-21 7730-01 SW 3.14\r\n0\r");
  // The modes survive a reset: they are the stored profile.
  EXPECT_EQ(port.Ask("ATV1Z\r", "0\r"), "0\r");

  ModemSimProcess idle;
  ASSERT_TRUE(idle.Start(KELVANE_MODEMSIM, {"--model", "3", "--line", "idle"}));
  Slave i(idle.SlavePath(), B9600);
  ASSERT_TRUE(i.Ok());
  EXPECT_NE(i.Ask("AT&V1\r", "OK\r\n").find("Norm            IDLE\r\n"), std::string::npos);

  ModemSimProcess quiet;
  ASSERT_TRUE(quiet.Start(KELVANE_MODEMSIM, {"--model", "3", "--quiet", "--format", "7E1"}));
  Slave q(quiet.SlavePath(), B9600);
  // The echo alone: a result code after it would come before the next echo.
  EXPECT_EQ(q.Ask("AT\r", "AT\r"), "AT\r");
  EXPECT_EQ(q.Ask("ATQ0\r", "OK\r\n"), "ATQ0\r\r\nOK\r\n");
}

TEST(ModemSimulator, PacesOutputAtTheLineSpeed) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "2", "--pace"}));
  Slave port(sim.SlavePath(), B1200);
  ASSERT_TRUE(port.Ok());
  const long long start = NowMs();
  const std::string answer = port.Ask("AT&V1\r", "OK\r\n");
  const long long took = NowMs() - start;
  ASSERT_NE(answer.find("OK\r\n"), std::string::npos);
  // 10 bits a character at 1200 bit/s: 8.3 ms each.
  EXPECT_GE(took, static_cast<long long>(answer.size()) * 25 / 3 - 50) << answer.size();
}

TEST(ModemSimulator, CommandLine) {
  const auto help = testing::RunProcess(KELVANE_MODEMSIM, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--rate"), std::string::npos);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--model", "5"}, {"--rate", "1234"}, {"--format", "9X1"},
        {"--echo"}, {"--bogus"}, {"--line", "v22"}, {"--line"}}) {
    const auto r = testing::RunProcess(KELVANE_MODEMSIM, bad);
    EXPECT_EQ(r.exitCode, 2) << bad[0];
    EXPECT_NE(r.err.find("Usage"), std::string::npos);
  }
}

TEST(ModemSimulator, FormatTexts) {
  int format = -1, parity = -1;
  EXPECT_TRUE(ParseFormatText("7o2", format, parity));
  EXPECT_EQ(format, 4);
  EXPECT_EQ(parity, 2);
  EXPECT_TRUE(ParseFormatText("8N1", format, parity));
  EXPECT_EQ(format, 3);
  EXPECT_EQ(parity, 4);
  EXPECT_FALSE(ParseFormatText("7N1", format, parity));  // the modem has no 7N1
  EXPECT_FALSE(ParseFormatText("8N", format, parity));
  EXPECT_EQ(format, 3);
}

}  // namespace
}  // namespace kelvane
