#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kelvane {

namespace {

long long NowUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

int BaudOf(speed_t s) {
  switch (s) {
    case B50: return 50;
    case B75: return 75;
    case B110: return 110;
    case B134: return 134;
    case B150: return 150;
    case B200: return 200;
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B1800: return 1800;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
  }
}

// How long a wait may be while the slave side is closed: the hang-up stays
// reported, so the master is looked at again only at this pace.
constexpr int kHangupRecheckMs = 50;

}  // namespace

bool ParseFormatText(std::string_view text, int& format, int& parity) {
  static constexpr struct {
    const char* text;
    int format, parity;
  } kFormats[] = {{"7N2", 4, 4}, {"7E1", 5, 1}, {"7O1", 5, 0}, {"8N1", 3, 4},
                  {"8E1", 2, 1}, {"8O1", 2, 0}, {"7E2", 4, 1}, {"7O2", 4, 2},
                  {"8N2", 1, 4}, {"8E2", 1, 1}, {"8O2", 1, 2}};
  if (text.size() != 3) return false;
  const char up[3] = {text[0], static_cast<char>(std::toupper(static_cast<unsigned char>(text[1]))),
                      text[2]};
  for (const auto& f : kFormats) {
    if (std::string_view(f.text) == std::string_view(up, 3)) {
      format = f.format;
      parity = f.parity;
      return true;
    }
  }
  return false;
}

PtyServer::PtyServer(SimulatedModem modem) : modem_(std::move(modem)) {}

PtyServer::~PtyServer() {
  if (!link_.empty()) ::unlink(link_.c_str());
  if (master_ >= 0) ::close(master_);
}

bool PtyServer::Open(std::string& error) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    error = std::string("pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  char name[256];
  if (::ptsname_r(master_, name, sizeof name) != 0) {
    error = std::string("pseudo-terminal name: ") + std::strerror(errno);
    return false;
  }
  slavePath_ = name;

  // Raw line at 9600 until the program sets its own. EXTPROC together with
  // packet mode makes the master hear about every change of the slave's
  // settings.
  termios t{};
  if (::tcgetattr(master_, &t) == 0) {
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    t.c_lflag |= EXTPROC;
    ::tcsetattr(master_, TCSANOW, &t);
  }
  int on = 1;
  ::ioctl(master_, TIOCPKT, &on);
  ReadLine();
  return true;
}

bool PtyServer::CreateLink(const std::string& path, std::string& error) {
  ::unlink(path.c_str());  // a stale link from an earlier run
  if (::symlink(slavePath_.c_str(), path.c_str()) != 0) {
    error = "link " + path + ": " + std::strerror(errno);
    return false;
  }
  link_ = path;
  return true;
}

void PtyServer::ReadLine() {
  termios t{};
  if (::tcgetattr(master_, &t) != 0) return;
  const int baud = BaudOf(::cfgetospeed(&t));
  // The stop bits survive in the slave's settings; parity and 7-bit
  // characters do not (the pseudo-terminal forces 8 bits without parity).
  line_ = LineSettings{baud, 'N', 8, (t.c_cflag & CSTOPB) ? 2 : 1};
}

LineSettings PtyServer::LineForModem() const {
  // What the pseudo-terminal cannot carry is taken as whatever the modem
  // listens for, so speed and stop bits alone decide whether it understands.
  for (char parity : {'N', 'E', 'O'}) {
    for (int dataBits : {8, 7}) {
      const LineSettings line{line_.baud, parity, dataBits, line_.stopBits};
      if (modem_.State().AcceptsLine(line)) return line;
    }
  }
  return line_;
}

void PtyServer::ReadMaster() {
  char buffer[4096];
  while (true) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
      const unsigned char control = static_cast<unsigned char>(buffer[0]);
      if (control == TIOCPKT_DATA) {
        ReadLine();
        hangup_ = false;
        const long long nowUs = NowUs();
        if (paceInput_ && line_.baud > 0) {
          if (in_.empty()) nextInUs_ = std::max(nextInUs_, nowUs + 10000000LL / line_.baud);
          in_.append(buffer + 1, static_cast<size_t>(n - 1));
          FeedArrivedInput(nowUs);
          if (master_ < 0) return;
          continue;
        }
        modem_.Advance(nowUs / 1000);
        modem_.Feed(std::string_view(buffer + 1, static_cast<size_t>(n - 1)), LineForModem());
        if (LineCut()) return;
      } else if (control & TIOCPKT_IOCTL) {
        ReadLine();
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;
    // EIO: no slave is open (any more).
    hangup_ = true;
    out_.clear();
    in_.clear();
    return;
  }
}

void PtyServer::WriteMaster(long long nowUs) {
  if (out_.empty()) return;
  size_t allowed = out_.size();
  long long charUs = 0;
  if (pace_ && line_.baud > 0) {
    charUs = 10000000LL / line_.baud;
    // A line that fell silent starts its next character now; otherwise the
    // schedule is kept, so a late wake-up catches up instead of slowing the
    // line down.
    if (lineIdle_) {
      nextCharUs_ = std::max(nextCharUs_, nowUs);
      lineIdle_ = false;
    }
    allowed = nowUs < nextCharUs_ ? 0 : static_cast<size_t>((nowUs - nextCharUs_) / charUs + 1);
    allowed = std::min(allowed, out_.size());
  }
  if (allowed == 0) return;
  const ssize_t n = ::write(master_, out_.data(), allowed);
  if (n > 0) {
    out_.erase(0, static_cast<size_t>(n));
    nextCharUs_ += charUs * n;
    if (out_.empty()) lineIdle_ = true;
  }
}

void PtyServer::FeedArrivedInput(long long nowUs) {
  if (in_.empty() || line_.baud <= 0) return;
  const long long charUs = 10000000LL / line_.baud;
  // Each character is fed at its own arrival time, so what the modem sends
  // back starts no earlier than it would on a real line.
  while (!in_.empty() && nextInUs_ <= nowUs) {
    modem_.Advance(nextInUs_ / 1000);
    modem_.Feed(std::string_view(in_.data(), 1), LineForModem());
    in_.erase(0, 1);
    nextInUs_ += charUs;
    if (LineCut()) return;
  }
}

bool PtyServer::LineCut() {
  if (!modem_.TakeLineCut()) return false;
  // The command line that cut it is reported before the line goes.
  ReportEvents();
  ::close(master_);
  master_ = -1;
  in_.clear();
  out_.clear();
  return true;
}

void PtyServer::ReportEvents() {
  if (!events_) return;
  const auto& lines = modem_.ReceivedLines();
  for (; linesReported_ < lines.size(); ++linesReported_) std::fprintf(events_, "line %s\n", lines[linesReported_].c_str());
  const auto& farLines = modem_.FarModem().ReceivedLines();
  for (; farLinesReported_ < farLines.size(); ++farLinesReported_) {
    std::fprintf(events_, "far-line %s\n", farLines[farLinesReported_].c_str());
  }
  const std::string state = modem_.CallStateName();
  if (state != stateReported_) {
    stateReported_ = state;
    std::fprintf(events_, "state %s\n", state.c_str());
  }
  // The slave is seen closed only once everything it wrote has been read, so
  // "hangup" comes after the lines of the program that closed the port.
  if (hangup_ && !hangupReported_) std::fprintf(events_, "hangup\n");
  hangupReported_ = hangup_;
  std::fflush(events_);
}

int PtyServer::Run(int stopFd) {
  if (master_ < 0) return 1;
  std::unique_lock<std::mutex> hold;
  if (shared_) hold = std::unique_lock<std::mutex>(*shared_);
  while (true) {
    const long long nowUs = NowUs();
    FeedArrivedInput(nowUs);
    if (master_ < 0) return 0;
    modem_.Advance(nowUs / 1000);
    ReportEvents();
    std::string fresh = modem_.TakeOutput();
    // Nobody listens while the slave is closed: what the modem sends is lost.
    if (hangup_) out_.clear();
    else out_ += fresh;
    WriteMaster(nowUs);

    // Waits are kept in microseconds: a paced character lasts about a
    // millisecond at 9600 baud, so millisecond waits would slow the line.
    long long timeoutUs = -1;
    const long long next = modem_.NextEventMs();
    if (next >= 0) timeoutUs = (std::max(0LL, next - nowUs / 1000) + 1) * 1000;
    if (!out_.empty() && pace_ && line_.baud > 0) {
      const long long wait = std::max(0LL, nextCharUs_ - nowUs);
      timeoutUs = timeoutUs < 0 ? wait : std::min(timeoutUs, wait);
    }
    if (!in_.empty()) {
      const long long wait = std::max(0LL, nextInUs_ - nowUs);
      timeoutUs = timeoutUs < 0 ? wait : std::min(timeoutUs, wait);
    }
    if (hangup_) {
      const long long recheck = kHangupRecheckMs * 1000LL;
      timeoutUs = timeoutUs < 0 ? recheck : std::min(timeoutUs, recheck);
    }
    timespec timeout{timeoutUs / 1000000, (timeoutUs % 1000000) * 1000};

    pollfd fds[2] = {{stopFd, POLLIN, 0}, {master_, POLLIN, 0}};
    if (!out_.empty() && !pace_) fds[1].events |= POLLOUT;
    // While hung up the master reports POLLHUP at once, every time: leave it
    // out and look again after a short sleep instead of spinning on it.
    const bool watchMaster = !hangup_;
    const int count = watchMaster ? 2 : 1;
    if (shared_) hold.unlock();
    const int r = ::ppoll(fds, static_cast<nfds_t>(count), timeoutUs < 0 ? nullptr : &timeout, nullptr);
    if (shared_) hold.lock();
    if (r < 0 && errno != EINTR) return 1;
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) return 0;

    if (!watchMaster) {
      // Has a slave been opened meanwhile?
      pollfd probe{master_, POLLIN, 0};
      if (::poll(&probe, 1, 0) >= 0 && !(probe.revents & POLLHUP)) hangup_ = false;
      if (probe.revents & POLLIN) ReadMaster();
      if (master_ < 0) return 0;
      continue;
    }
    if (fds[1].revents & POLLIN) {
      ReadMaster();
      if (master_ < 0) return 0;
    } else if (fds[1].revents & POLLHUP) {
      hangup_ = true;
      out_.clear();
    }
    if (fds[1].revents & POLLNVAL) return 1;
  }
}

}  // namespace kelvane
