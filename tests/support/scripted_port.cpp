#include "support/scripted_port.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace kelvane::testing {

ScriptedPort::ScriptedPort() : eventFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ScriptedPort::~ScriptedPort() {
  if (eventFd_ >= 0) ::close(eventFd_);
}

void ScriptedPort::Signal() {
  uint64_t value = 0;
  (void)!::read(eventFd_, &value, sizeof value);
  if (!input_.empty()) {
    value = 1;
    (void)!::write(eventFd_, &value, sizeof value);
  }
}

void ScriptedPort::Inject(std::string_view bytes) {
  input_.append(bytes);
  Signal();
}

bool ScriptedPort::Open(const std::string&, std::string& reason) {
  if (refuseOpen) {
    reason = refuseReason;
    return false;
  }
  open_ = true;
  lost_ = false;
  return true;
}

bool ScriptedPort::SetSettings(std::string_view settingsText) {
  LineSettings s;
  if (!ParseSettingsText(settingsText, s)) return false;
  lastSettings = settingsText;
  return true;
}

size_t ScriptedPort::Write(std::string_view bytes) {
  sentBytes.append(bytes);
  for (char c : bytes) {
    if (c != '\r') {
      line_ += c;
      continue;
    }
    sentLines.push_back(line_);
    if (respond) input_ += respond(line_);
    line_.clear();
  }
  Signal();
  return bytes.size();
}

std::string ScriptedPort::ReadAll() {
  std::string out;
  out.swap(input_);
  Signal();
  return out;
}

}  // namespace kelvane::testing
