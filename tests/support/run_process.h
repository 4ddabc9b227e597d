#pragma once
// Runs a program to its end and captures what it printed and its exit code.

#include <functional>
#include <string>
#include <vector>

namespace kelvane::testing {

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not end in time or could not start
  std::string out;
  std::string err;
  long long afterSignalMs = -1;  // how long it ran on after the signal
  long peakKb = 0;               // its largest resident size
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         int timeoutMs = 60000, const std::string& input = "");
// The same, with a SIGINT (Ctrl-C), or `signal`, sent `interruptAfterMs`
// after the start.
ProcessResult RunProcessInterrupted(const std::string& program, const std::vector<std::string>& args,
                                    int interruptAfterMs, int timeoutMs = 60000,
                                    const std::string& input = "", int signal = 2);
// The same, with `signal` sent once `due()` (asked every 10 ms) says the
// program has come to where it should hear it.
ProcessResult RunProcessSignalledWhen(const std::string& program, const std::vector<std::string>& args,
                                      const std::function<bool()>& due, int signal, int timeoutMs = 60000);

}  // namespace kelvane::testing
