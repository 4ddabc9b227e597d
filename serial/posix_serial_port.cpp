#include "serial/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelvane {

namespace {

speed_t SpeedOf(int baud) {
  switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
  }
}

}  // namespace

std::string DescribeOpenError(const std::string& portName, int error) {
  std::string text = portName + ": " + std::strerror(error);
  switch (error) {
    case EACCES:
    case EPERM:
      text += ". Your user may not use serial ports: add it to the group that owns the device "
              "(usually dialout: sudo usermod -aG dialout $USER), then log in again.";
      break;
    case EBUSY:
      text += ". Another program holds the port; close it and try again.";
      break;
    case ENOENT:
    case ENXIO:
    case ENODEV:
      text += ". The device does not exist; check the cable or adapter and the port name.";
      break;
    default:
      break;
  }
  return text;
}

PosixSerialPort::~PosixSerialPort() { Close(); }

bool PosixSerialPort::Open(const std::string& portName, std::string& reason) {
  Close();
  lost_ = false;
  const int fd = ::open(portName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reason = DescribeOpenError(portName, errno);
    return false;
  }
  if (!::isatty(fd)) {
    ::close(fd);
    reason = portName + ": not a serial port (not a terminal device).";
    return false;
  }
  // Another program of ours (or one that locks the same way) holds the port.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    reason = DescribeOpenError(portName, EBUSY);
    return false;
  }
  if (::ioctl(fd, TIOCEXCL) != 0 && errno == EBUSY) {
    ::close(fd);
    reason = DescribeOpenError(portName, EBUSY);
    return false;
  }
  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    reason = DescribeOpenError(portName, errno);
    ::close(fd);
    return false;
  }
  fd_ = fd;
  int bits = 0;
  modemLines_ = ::ioctl(fd_, TIOCMGET, &bits) == 0;
  ApplyTermios();
  SetModemBit(TIOCM_DTR, dtr_);
  SetModemBit(TIOCM_RTS, rts_);
  ::tcflush(fd_, TCIOFLUSH);
  return true;
}

void PosixSerialPort::Close() {
  if (fd_ >= 0) {
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
  }
}

void PosixSerialPort::ApplyTermios() {
  if (fd_ < 0) return;
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  switch (settings_.dataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
  }
  if (settings_.parity == 'E') t.c_cflag |= PARENB;
  if (settings_.parity == 'O') t.c_cflag |= PARENB | PARODD;
  if (settings_.stopBits == 2) t.c_cflag |= CSTOPB;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (handshaking_ == 1 || handshaking_ == 3) t.c_iflag |= IXON | IXOFF;
  if (handshaking_ == 2 || handshaking_ == 3) t.c_cflag |= CRTSCTS;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  const speed_t speed = SpeedOf(settings_.baud);
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  ::tcsetattr(fd_, TCSANOW, &t);
}

bool PosixSerialPort::SetSettings(std::string_view settingsText) {
  LineSettings s;
  if (!ParseSettingsText(settingsText, s) || SpeedOf(s.baud) == B0) return false;
  settings_ = s;
  ApplyTermios();
  return true;
}

void PosixSerialPort::SetModemBit(int bit, bool on) {
  if (fd_ < 0 || !modemLines_) return;
  ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit);
}

void PosixSerialPort::SetDtrEnable(bool on) {
  dtr_ = on;
  SetModemBit(TIOCM_DTR, on);
}

void PosixSerialPort::SetRtsEnable(bool on) {
  rts_ = on;
  SetModemBit(TIOCM_RTS, on);
}

void PosixSerialPort::SetHandshaking(int mode) {
  handshaking_ = mode;
  ApplyTermios();
}

void PosixSerialPort::SetBreak(bool on) {
  if (fd_ >= 0) ::ioctl(fd_, on ? TIOCSBRK : TIOCCBRK);
}

int PosixSerialPort::OutBufferCount() const {
  int pending = 0;
  if (fd_ < 0 || ::ioctl(fd_, TIOCOUTQ, &pending) != 0) return 0;
  return pending;
}

size_t PosixSerialPort::Write(std::string_view bytes) {
  size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // The line is slower than we are: wait for room, but not forever.
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, 2000) <= 0 || (p.revents & (POLLERR | POLLHUP))) break;
      continue;
    }
    if (n < 0 && (errno == EIO || errno == ENXIO)) lost_ = true;
    break;
  }
  return done;
}

std::string PosixSerialPort::ReadAll() {
  std::string data;
  char buffer[4096];
  while (fd_ >= 0) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n > 0) {
      data.append(buffer, static_cast<size_t>(n));
      // A short read took everything there was.
      if (static_cast<size_t>(n) < sizeof buffer) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV)) lost_ = true;
    // With VMIN and VTIME at 0 a read of nothing returns 0 whether the line is
    // quiet or gone; a hang-up (the far end of a pseudo-terminal closed, a USB
    // adapter unplugged) shows in poll.
    if (n == 0 && data.empty()) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) lost_ = true;
    }
    break;
  }
  return data;
}

bool PosixSerialPort::Line(int bit) const {
  if (fd_ < 0) return false;
  // A line without modem-status lines (a pseudo-terminal) reads as held.
  if (!modemLines_) return true;
  int bits = 0;
  if (::ioctl(fd_, TIOCMGET, &bits) != 0) return true;
  return (bits & bit) != 0;
}

}  // namespace kelvane
