#pragma once
// Runs kelvane-modemsim as a child process and learns the pseudo-terminal it
// serves (the first line it prints). Stopped with SIGTERM when destroyed.

#include <string>
#include <vector>

#include <sys/types.h>

namespace kelvane {

class ModemSimProcess {
 public:
  ModemSimProcess() = default;
  ~ModemSimProcess();
  ModemSimProcess(const ModemSimProcess&) = delete;
  ModemSimProcess& operator=(const ModemSimProcess&) = delete;

  // Starts `program` with `args` and waits (up to `timeoutMs`) for the path.
  bool Start(const std::string& program, const std::vector<std::string>& args, int timeoutMs = 5000);
  void Stop();
  // With --events: waits up to `timeoutMs` for an event line that begins
  // with `event` ("state session", "line ATH"), passing over the lines
  // before it. False when it did not come in time or the simulator ended.
  bool WaitForEvent(const std::string& event, int timeoutMs = 30000);
  // Every event line reported so far and not yet passed over.
  std::string TakeEvents();
  // Every event line up to and including the first that begins with `event`
  // (waiting up to `timeoutMs` for it); empty when it did not come.
  std::string TakeEventsThrough(const std::string& event, int timeoutMs = 30000);
  const std::string& SlavePath() const { return slavePath_; }
  // Every local modem's path (--locals N), the first being SlavePath().
  const std::vector<std::string>& SlavePaths() const { return slavePaths_; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  std::string slavePath_;
  std::string events_;  // event text read but not yet passed over
  std::vector<std::string> slavePaths_;
};

}  // namespace kelvane
