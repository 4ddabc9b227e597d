#include "sim/ser2net_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "serial/clock.h"

namespace kelvane {

namespace {

// A port nobody listens on now (the kernel's choice for port 0).
int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
    port = ntohs(a.sin_port);
  }
  ::close(s);
  return port;
}

// Whether someone listens on the port, found without connecting (a
// connection would make ser2net open the line).
bool Listening(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  const bool taken = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && errno == EADDRINUSE;
  ::close(s);
  return taken;
}

}  // namespace

Ser2NetProcess::~Ser2NetProcess() {
  Kill();
  if (!file_.empty()) ::unlink(file_.c_str());
}

std::string Ser2NetProcess::Program() {
  for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net", "/usr/local/bin/ser2net"}) {
    if (::access(path, X_OK) == 0) return path;
  }
  return {};
}

bool Ser2NetProcess::Start(const std::vector<Line>& lines, std::string& error) {
  const std::string program = Program();
  if (program.empty()) {
    error = "ser2net is not installed";
    return false;
  }
  static int serial = 0;
  const std::string stem = "/tmp/kelvane-ser2net-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
  file_ = stem + ".yaml";
  configuration_.clear();
  ports_.clear();
  telnet_.clear();
  for (size_t i = 0; i < lines.size(); ++i) {
    const int port = FreePort();
    ports_.push_back(port);
    telnet_.push_back(lines[i].rfc2217);
    configuration_ += "connection: &line" + std::to_string(i) + "\n" +
                      "  accepter: " + (lines[i].rfc2217 ? "telnet(rfc2217),tcp" : "tcp") + ",127.0.0.1," +
                      std::to_string(port) + "\n" + "  connector: serialdev," + lines[i].device + "," +
                      lines[i].settings + ",local\n" + (lines[i].chardelay ? "" : "  options:\n    chardelay: false\n");
  }
  std::ofstream(file_) << configuration_;

  const pid_t pid = ::fork();
  if (pid < 0) {
    error = "cannot start ser2net";
    return false;
  }
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    const std::string pidFile = stem + ".pid";
    ::execl(program.c_str(), program.c_str(), "-n", "-u", "-P", pidFile.c_str(), "-c", file_.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  pid_ = pid;
  const long long deadline = MonotonicMs() + 5000;
  for (size_t i = 0; i < ports_.size();) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      error = "ser2net ended at once; its configuration:\n" + configuration_;
      return false;
    }
    if (Listening(ports_[i])) {
      ++i;
      continue;
    }
    if (MonotonicMs() > deadline) {
      error = "ser2net did not listen on port " + std::to_string(ports_[i]) + " within 5 s";
      Kill();
      return false;
    }
    ::poll(nullptr, 0, 20);
  }
  return true;
}

void Ser2NetProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  ::unlink((file_.substr(0, file_.size() - 5) + ".pid").c_str());
}

std::string Ser2NetProcess::Url(size_t line) const {
  if (line >= ports_.size()) return {};
  return std::string(telnet_[line] ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(ports_[line]);
}

}  // namespace kelvane
