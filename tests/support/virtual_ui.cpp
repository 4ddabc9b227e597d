#include "support/virtual_ui.h"

#include <poll.h>

namespace kelvane::testing {

void VirtualUi::Advance(long long ms) {
  const long long until = nowMs_ + ms;
  while (nextTickMs_ <= until) {
    nowMs_ = nextTickMs_;
    nextTickMs_ += 50;
    adapter_.OnTimerTick();
  }
  nowMs_ = until;
}

void VirtualUi::PumpEvents(int portFd) {
  ++pumps;
  if (onPump) onPump(*this);
  if (portFd >= 0) {
    pollfd p{portFd, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) return;
  }
  Advance(nextTickMs_ - nowMs_);
}

void VirtualUi::Sleep(int milliseconds) {
  if (milliseconds > 0) Advance(milliseconds);
}

MsgAnswer VirtualUi::MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) {
  boxes.push_back({std::string(text), icon, buttons, {}});
  if (!answers.empty()) {
    const MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  return buttons == MsgButtons::Ok ? MsgAnswer::Ok : defaultAnswer;
}

MsgAnswer VirtualUi::MessageBoxWithDetail(std::string_view text, std::string_view detail, MsgIcon icon,
                                          MsgButtons buttons) {
  const MsgAnswer answer = MessageBox(text, icon, buttons);
  boxes.back().detail = detail;
  return answer;
}

std::optional<std::string> VirtualUi::AskFileName(const FileDialogRequest& request) {
  fileRequests.push_back(request);
  if (fileAnswers.empty()) return std::nullopt;
  auto a = fileAnswers.front();
  fileAnswers.pop_front();
  return a;
}

}  // namespace kelvane::testing
