#include "cli/cli_ui.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "config/traffic_file_log.h"

namespace kelvane::cli {

CliUserInterface::CliUserInterface(CAdapter& adapter, bool assumeYes, bool debug)
    : HeadlessUserInterface(adapter),
      assumeYes_(assumeYes),
      debug_(debug),
      progressOnTerminal_(::isatty(STDOUT_FILENO) == 1) {}

MsgAnswer CliUserInterface::MessageBox(std::string_view text, MsgIcon, MsgButtons buttons) {
  Finish();
  if (text.find(DisconnectedText) != std::string_view::npos) saidDisconnected_ = true;
  // A message may quote the modem: its control bytes are shown escaped.
  std::fprintf(stderr, "%s\n", Printable(text).c_str());
  if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
  const bool yesNo = buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel;
  if (assumeYes_) return yesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
  if (::isatty(STDIN_FILENO) != 1) {
    std::fprintf(stderr, "(not answered: no terminal to ask on; use --yes)\n");
    return yesNo ? MsgAnswer::No : MsgAnswer::Cancel;
  }
  std::fprintf(stderr, yesNo ? "[y/N] " : "[o/C] ");
  std::fflush(stderr);
  std::string reply;
  std::getline(std::cin, reply);
  const char c = reply.empty() ? 'n' : reply[0];
  if (yesNo) return (c == 'y' || c == 'Y') ? MsgAnswer::Yes : MsgAnswer::No;
  return (c == 'o' || c == 'O') ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

void CliUserInterface::SetProgressText(std::string_view text) {
  if (progressToStderr) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    return;
  }
  if (!progressOnTerminal_) return;
  std::printf("%s%.*s", progressLineOpen_ ? "\n" : "", static_cast<int>(text.size()), text.data());
  std::fflush(stdout);
  progressLineOpen_ = true;
}

void CliUserInterface::Finish() {
  if (progressLineOpen_) {
    std::printf("\n");
    std::fflush(stdout);
    progressLineOpen_ = false;
  }
}

CliUserInterface::~CliUserInterface() {
  volatile char* p = secret_.data();
  for (size_t i = 0; i < secret_.size(); ++i) p[i] = 0;
}

void CliUserInterface::TerminalOutput(std::string_view original) {
  if (!debug_) return;
  Finish();
  std::fprintf(stderr, "%s\n", DebugText(original, secret_).c_str());
}

std::string DebugText(std::string_view answer, const std::string& secret) {
  // The login password wherever it shows, the configuration's passwords by
  // their place in commands and answers.
  std::string masked(answer);
  if (!secret.empty()) {
    for (size_t at = masked.find(secret); at != std::string::npos; at = masked.find(secret, at + secret.size())) {
      masked.replace(at, secret.size(), std::string(secret.size(), '*'));
    }
  }
  masked = MaskPasswordFieldsInText(masked);
  // No byte from the modem reaches the terminal as a control sequence.
  std::string out;
  for (char c : masked) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n\n";
    } else if (u < 0x20 || u >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kelvane::cli
