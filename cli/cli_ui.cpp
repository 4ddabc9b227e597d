#include "cli/cli_ui.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace kelvane::cli {

CliUserInterface::CliUserInterface(CAdapter& adapter, bool assumeYes, bool debug)
    : HeadlessUserInterface(adapter),
      assumeYes_(assumeYes),
      debug_(debug),
      progressOnTerminal_(::isatty(STDOUT_FILENO) == 1) {}

MsgAnswer CliUserInterface::MessageBox(std::string_view text, MsgIcon, MsgButtons buttons) {
  Finish();
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
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
  std::string masked(original);
  if (!secret_.empty()) {
    for (size_t at = masked.find(secret_); at != std::string::npos; at = masked.find(secret_, at + secret_.size())) {
      masked.replace(at, secret_.size(), std::string(secret_.size(), '*'));
    }
  }
  const std::string_view text = masked;
  for (char c : text) {
    if (c == '\r') {
      std::fputs("\\r", stderr);
    } else if (c == '\n') {
      std::fputs("\\n\n", stderr);
    } else {
      std::fputc(c, stderr);
    }
  }
  std::fputc('\n', stderr);
}

}  // namespace kelvane::cli
