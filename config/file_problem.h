#pragma once
// What the user is told when a file cannot be opened, read or written: the
// program's own message, and what exactly went wrong (the path and the
// system's reason).

#include <string>

namespace kelvane {

struct FileProblem {
  std::string message;  // e.g. "Unable to open file..."
  std::string detail;   // e.g. "profiles/a.dat: Permission denied"
  // The message with the detail on the next line, as the command line prints it.
  std::string Text() const { return detail.empty() ? message : message + "\n" + detail; }
};

// A path as the user gave it, without "." and ".." steps ("a/../b" is "b").
std::string ShownPath(const std::string& path);

// "<shown path>: <the system's text for errno value err>".
std::string FileDetail(const std::string& path, int err);
// "<shown path>: <reason>".
std::string FileDetail(const std::string& path, const std::string& reason);

}  // namespace kelvane
