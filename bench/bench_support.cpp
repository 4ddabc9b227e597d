#include "bench/bench_support.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "connection/connect.h"

namespace kelvane::bench {

std::string ModemSimPath(const char* argv0) {
#ifdef KELVANE_MODEMSIM
  (void)argv0;
  return KELVANE_MODEMSIM;
#else
  std::string self = argv0;
  const size_t slash = self.rfind('/');
  return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/../kelvane-modemsim";
#endif
}

bool ConnectAdapter(CAdapter& a, SerialPort& port, const std::string& path, int baud) {
  a.SetPort(&port);
  a.PortNumber = path;
  a.BaudRate = std::to_string(baud);
  a.Parity = "None";
  a.DataBits = "8";
  a.StopBits = "1";
  if (RunConnectOperation(a) == CONNECT_IDENTIFIED) return true;
  std::fprintf(stderr, "no modem identified on %s\n", path.c_str());
  return false;
}

int OpenRawTty(const std::string& path, int baud) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  const speed_t speed = baud == 9600 ? B9600 : baud == 19200 ? B19200 : B115200;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  ::tcsetattr(fd, TCSANOW, &t);
  return fd;
}

bool RawExchange(int fd, const std::string& command, const std::string& expected, int timeoutMs) {
  if (::write(fd, command.data(), command.size()) != static_cast<ssize_t>(command.size())) return false;
  std::string answer;
  const double deadline = WallSeconds() + timeoutMs / 1000.0;
  while (answer.find(expected) == std::string::npos) {
    const double left = deadline - WallSeconds();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) return false;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) answer.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

}  // namespace kelvane::bench
