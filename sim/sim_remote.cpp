#include "sim/simulated_modem.h"

#include "sim/sim_text.h"

// Remote configuration: its settings (*WRCA, *WRCP), the end of a session
// (*WRCE), and the far modem's side of the line, which asks for the password
// after "++++" and then takes commands behind a ">" prompt.

namespace kelvane {

using namespace simtext;

SimulatedModem& SimulatedModem::FarModem() {
  if (!far_) {
    far_ = std::make_unique<SimulatedModem>(options_.farArticle.empty() ? std::string_view(article_)
                                                                         : std::string_view(options_.farArticle));
    far_->active_.remoteEnable = 1;
    far_->stored_.remoteEnable = 1;
  }
  return *far_;
}

bool SimulatedModem::InRemoteSession() const {
  return Connected() && (called_ || far_) && (called_ ? called_ : far_.get())->session_ == LineSession::Remote;
}

SimulatedModem::Handled SimulatedModem::RemoteCommand(const std::string& name, int kind,
                                                      std::string_view args, std::string& out) {
  ModemSettings& a = active_;
  if (name == "*WRCA") {
    if (kind == K_READ) {
      out += Info(name + ": " + std::to_string(a.remoteEnable));
      return Handled::Done;
    }
    return kind == K_SET && OneNumber(args, 0, 1, a.remoteEnable) ? Handled::Done
                                                                  : Handled::Refused;
  }
  if (name == "*WRCP") {
    if (kind == K_READ) {
      out += Info("*WRCP: " + a.remotePassword);
      return Handled::Done;
    }
    if (kind != K_SET) return Handled::Refused;
    // The password is the rest of the line as typed (quotes optional).
    std::string pw(args);
    if (pw.size() >= 2 && pw.front() == '"' && pw.back() == '"') pw = pw.substr(1, pw.size() - 2);
    if (pw.size() > 20 || !IsPrintable(pw)) return Handled::Refused;
    a.remotePassword = pw;
    return Handled::Done;
  }
  if (name == "*WRCE") {
    if (kind != K_ACTION) return Handled::Refused;
    // Ends a remote configuration session once this answer is out.
    if (session_ == LineSession::Remote) session_ = LineSession::Data;
    return Handled::Done;
  }
  return Handled::No;
}

std::string SimulatedModem::LineInput(std::string_view bytes, int promptDelayMs, int& delayMs) {
  std::string back;
  delayMs = 0;
  for (char c : bytes) {
    switch (session_) {
      case LineSession::Data:
        // Four '+' in a row ask for remote configuration.
        linePlus_ = c == '+' ? linePlus_ + 1 : 0;
        if (linePlus_ == 4) {
          linePlus_ = 0;
          if (active_.remoteEnable) {
            session_ = LineSession::Password;
            passwordBuf_.clear();
            promptAt_ = now_ + promptDelayMs;
            delayMs = promptDelayMs;
            back += "\r\nC_PASSWORD:";
          }
        }
        break;
      case LineSession::Password:
        if (c == '\n' || now_ < promptAt_) break;
        if (c != '\r') {
          if (passwordBuf_.size() < 64) passwordBuf_ += c;
          break;
        }
        if (passwordBuf_ == active_.remotePassword) {
          session_ = LineSession::Remote;
          lineBuf_.clear();
          back += "\r\n>";
        } else {
          back += "\r\nC_PASSWORD:";
        }
        passwordBuf_.clear();
        break;
      case LineSession::Remote:
        CommandChar(c, &back);
        break;
    }
  }
  return back;
}

void SimulatedModem::LineDropped() {
  session_ = LineSession::Data;
  linePlus_ = 0;
  lineBuf_.clear();
  passwordBuf_.clear();
}

}  // namespace kelvane
