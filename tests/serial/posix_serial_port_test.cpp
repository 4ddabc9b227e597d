#include "serial/posix_serial_port.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace kelvane {
namespace {

// A pseudo-terminal pair: the test holds the master, the port opens the slave.
struct Pty {
  Pty() {
    char name[256];
    if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
  }
  ~Pty() {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
  }
  std::string ReadMaster() {
    std::string out;
    pollfd p{master, POLLIN, 0};
    while (::poll(&p, 1, 200) > 0) {
      char buffer[256];
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      out.append(buffer, static_cast<size_t>(n));
      if (out.find('\r') != std::string::npos) break;
    }
    return out;
  }
  int master = -1, slave = -1;
  std::string path;
};

TEST(PosixSerialPort, ExchangesBytesOnAPseudoTerminal) {
  Pty pty;
  ASSERT_FALSE(pty.path.empty());
  PosixSerialPort port;
  std::string reason;
  ASSERT_TRUE(port.Open(pty.path, reason)) << reason;
  EXPECT_TRUE(port.SetSettings("9600,N,8,1"));
  EXPECT_FALSE(port.SetSettings("9600,N,8"));

  EXPECT_EQ(port.Write("AT\r"), 3u);
  EXPECT_EQ(pty.ReadMaster(), "AT\r");
  ASSERT_EQ(::write(pty.master, "OK\r\n", 4), 4);
  pollfd p{port.PollFd(), POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 1000), 1);
  EXPECT_EQ(port.ReadAll(), "OK\r\n");
  EXPECT_EQ(port.ReadAll(), "");

  // The settings reach the line.
  termios t{};
  ASSERT_EQ(::tcgetattr(pty.slave, &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B9600);
  EXPECT_TRUE(port.SetSettings("115200,N,8,1"));
  ASSERT_EQ(::tcgetattr(pty.slave, &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B115200);
}

TEST(PosixSerialPort, PseudoTerminalWithoutModemLinesReadsThemAsHeld) {
  Pty pty;
  PosixSerialPort port;
  std::string reason;
  ASSERT_TRUE(port.Open(pty.path, reason)) << reason;
  EXPECT_FALSE(port.HasModemLines());
  EXPECT_TRUE(port.CtsHolding());
  EXPECT_TRUE(port.DsrHolding());
  EXPECT_TRUE(port.CdHolding());
  port.SetBreak(true);  // harmless where the line has no break
  port.SetBreak(false);
}

TEST(PosixSerialPort, SecondOpenOfABusyPortFailsWithTheReason) {
  Pty pty;
  PosixSerialPort first, second;
  std::string reason;
  ASSERT_TRUE(first.Open(pty.path, reason));
  EXPECT_FALSE(second.Open(pty.path, reason));
  EXPECT_NE(reason.find("Another program holds the port"), std::string::npos) << reason;
  first.Close();
  EXPECT_TRUE(second.Open(pty.path, reason)) << reason;
}

TEST(PosixSerialPort, FarEndClosingMarksThePortLost) {
  Pty pty;
  PosixSerialPort port;
  std::string reason;
  ASSERT_TRUE(port.Open(pty.path, reason));
  ::close(pty.master);
  pty.master = -1;
  port.ReadAll();
  EXPECT_TRUE(port.Lost());
}

TEST(PosixSerialPort, OpenFailuresNameTheReasonAndRemedy) {
  PosixSerialPort port;
  std::string reason;
  EXPECT_FALSE(port.Open("/dev/kelvane-none", reason));
  EXPECT_NE(reason.find("No such file or directory"), std::string::npos);
  EXPECT_FALSE(port.Open("/dev/null", reason));
  EXPECT_NE(reason.find("not a serial port"), std::string::npos);
  const std::string denied = DescribeOpenError("/dev/ttyUSB0", EACCES);
  EXPECT_NE(denied.find("Permission denied"), std::string::npos);
  EXPECT_NE(denied.find("dialout"), std::string::npos);
}

}  // namespace
}  // namespace kelvane
