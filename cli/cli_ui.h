#pragma once
// The command line's user interface: waits in real time, prints messages to
// stderr, answers questions from --yes or the terminal, and shows one progress
// line per section when stdout is a terminal.

#include <string>

#include "config/headless_ui.h"

namespace kelvane::cli {

class CliUserInterface : public HeadlessUserInterface {
 public:
  CliUserInterface(CAdapter& adapter, bool assumeYes, bool debug);
  MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
  void SetProgressText(std::string_view text) override;
  void TerminalOutput(std::string_view text) override;
  void Finish();
  // Progress lines go to standard error, whether or not it is a terminal.
  bool progressToStderr = false;
  // A text (the remote password) shown as asterisks wherever it would appear
  // in the debug traffic.
  void SetSecret(std::string secret) { secret_ = std::move(secret); }
  // Whether "Modem disconnected during process!" was printed already.
  bool SaidDisconnected() const { return saidDisconnected_; }
  ~CliUserInterface() override;

 private:
  bool assumeYes_;
  bool debug_;
  bool progressOnTerminal_;
  bool progressLineOpen_ = false;
  std::string secret_;
  bool saidDisconnected_ = false;
};

// An answer as --debug shows it: the login password `secret` and the
// configuration's passwords masked, line ends as \r and \n (a line break
// after \n), other control bytes as \xNN.
std::string DebugText(std::string_view answer, const std::string& secret);

}  // namespace kelvane::cli
