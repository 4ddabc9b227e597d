#include "support/faulty_port.h"

namespace kelvane::testing {

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::None: return "none";
    case Fault::Lost: return "lost";
    case Fault::Error: return "ERROR";
    case Fault::Silent: return "silent";
  }
  return "?";
}

void FaultyPort::Arm(Fault fault, int k) {
  fault_ = fault;
  at_ = k;
  fired_ = false;
  hit_.clear();
  if (k == 0 && fault != Fault::None) Fire();
}

void FaultyPort::Repair() {
  fault_ = Fault::None;
  silent_ = false;
  inner_.RestoreDevice();
}

void FaultyPort::ResetCount() {
  commands_.clear();
  line_.clear();
}

void FaultyPort::Close() {
  line_.clear();
  inner_.Close();
}

void FaultyPort::Fire() {
  fired_ = true;
  if (fault_ == Fault::Lost) inner_.LoseDevice();
  if (fault_ == Fault::Silent) {
    silent_ = true;
    inner_.ReadAll();  // what was on its way is lost with the modem
  }
}

bool FaultyPort::Count(std::string_view command) {
  commands_.emplace_back(command);
  if (fault_ == Fault::None || fired_ || static_cast<int>(commands_.size()) != at_) return false;
  hit_ = std::string(command);
  Fire();
  return true;
}

std::string FaultyPort::ErrorAnswer(std::string_view command) const {
  const ModemSettings& s = inner_.Modem().State();
  std::string answer = s.echo ? std::string(command) + "\r" : std::string();
  answer += s.verbose ? "\r\nERROR\r\n" : "4\r";
  return answer;
}

size_t FaultyPort::Write(std::string_view bytes) {
  if (silent_) return bytes.size();
  if (!inner_.IsOpen()) return 0;
  // An escape sequence or remote request: plus signs on their own.
  if (line_.empty() && !bytes.empty() && bytes.find_first_not_of('+') == std::string_view::npos) {
    if (Count(bytes)) {
      if (fault_ == Fault::Lost) return 0;
      if (fault_ == Fault::Error) inner_.InjectInput(ErrorAnswer(""));
      return bytes.size();
    }
    return inner_.Write(bytes);
  }
  size_t accepted = 0;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r') continue;
    const std::string_view piece = bytes.substr(start, i + 1 - start);
    const std::string command = line_ + std::string(piece.substr(0, piece.size() - 1));
    line_.clear();
    if (!command.empty() && Count(command)) {
      if (fault_ == Fault::Lost) return accepted;
      if (fault_ == Fault::Silent) return bytes.size();
      inner_.InjectInput(ErrorAnswer(command));
    } else {
      inner_.Write(piece);
    }
    accepted += piece.size();
    start = i + 1;
  }
  // The rest of a line waits for its CR; raw data without one goes through.
  const std::string_view rest = bytes.substr(start);
  if (!rest.empty()) {
    line_ += rest;
    if (line_.size() > 512) {
      inner_.Write(line_);
      line_.clear();
    }
  }
  return accepted + rest.size();
}

std::string FaultyPort::ReadAll() {
  if (silent_) {
    inner_.ReadAll();
    return {};
  }
  return inner_.ReadAll();
}

}  // namespace kelvane::testing
