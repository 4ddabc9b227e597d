#pragma once
// Runs a program to its end and captures what it printed and its exit code.

#include <string>
#include <vector>

namespace kelvane::testing {

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not end in time or could not start
  std::string out;
  std::string err;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         int timeoutMs = 60000, const std::string& input = "");
// The same, with a SIGINT (Ctrl-C), or `signal`, sent `interruptAfterMs`
// after the start.
ProcessResult RunProcessInterrupted(const std::string& program, const std::vector<std::string>& args,
                                    int interruptAfterMs, int timeoutMs = 60000,
                                    const std::string& input = "", int signal = 2);

}  // namespace kelvane::testing
