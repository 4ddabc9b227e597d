#pragma once
// Runs ser2net, the Debian device server, on the loopback address in front of
// pseudo-terminals (those of kelvane-modemsim), so that network ports meet a
// real server. Each line gets a free TCP port and an "rfc2217" (Telnet with
// COM port control) or plain "tcp" accepter. Stopped when destroyed.

#include <sys/types.h>

#include <string>
#include <vector>

namespace kelvane {

class Ser2NetProcess {
 public:
  struct Line {
    std::string device;             // a tty path
    bool rfc2217 = true;
    std::string settings = "9600n81";  // the line's settings until a client sets others
    // ser2net holds what the line receives for about two characters' time
    // (up to 20 ms) to fill its packets; false sends at once.
    bool chardelay = true;
  };

  Ser2NetProcess() = default;
  ~Ser2NetProcess();
  Ser2NetProcess(const Ser2NetProcess&) = delete;
  Ser2NetProcess& operator=(const Ser2NetProcess&) = delete;

  // Where ser2net is installed, or "" when it is not.
  static std::string Program();

  // Writes the configuration, starts ser2net and waits until every port
  // listens. On failure `error` says why.
  bool Start(const std::vector<Line>& lines, std::string& error);
  // SIGKILL: every connection drops at once, as when a device server dies.
  void Kill();
  // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT" of a line.
  std::string Url(size_t line) const;
  // The configuration as written, for a failure message.
  const std::string& Configuration() const { return configuration_; }

 private:
  pid_t pid_ = -1;
  std::string file_;
  std::string configuration_;
  std::vector<int> ports_;
  std::vector<bool> telnet_;
};

}  // namespace kelvane
