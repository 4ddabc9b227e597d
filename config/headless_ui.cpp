#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "config/adapter.h"
#include "config/headless_ui.h"

#include "serial/clock.h"

namespace kelvane {

HeadlessUserInterface::HeadlessUserInterface(CAdapter& adapter)
    : adapter_(adapter), nextTickMs_(MonotonicMs() + 50) {}

void HeadlessUserInterface::DeliverDueTicks() {
  const long long now = MonotonicMs();
  // A long stall (a suspended process) delivers at most a handful of ticks, as
  // a window timer would not queue up either.
  if (now - nextTickMs_ > 1000) nextTickMs_ = now;
  while (nextTickMs_ <= now) {
    nextTickMs_ += 50;
    adapter_.OnTimerTick();
  }
}

void HeadlessUserInterface::TakeCancel(short revents) {
  if (cancelFd_ < 0) return;
  if (!(revents & POLLIN)) {
    // A descriptor that can never bring a press again is not watched any
    // more, or every wait would wake at once.
    if (revents & (POLLHUP | POLLERR | POLLNVAL)) cancelFd_ = -1;
    return;
  }
  char drain[64];
  // The descriptor is non-blocking; whatever is waiting is one press or more.
  while (::read(cancelFd_, drain, sizeof drain) > 0) {
  }
  ++cancelCount_;
  if (cancelHandler_) {
    cancelHandler_();
  } else {
    adapter_.AbortRequested = true;
  }
}

void HeadlessUserInterface::PumpEvents(int portFd) {
  DeliverDueTicks();
  const long long wait = nextTickMs_ - MonotonicMs();
  pollfd p[2] = {{portFd, POLLIN, 0}, {cancelFd_, POLLIN, 0}};
  // A negative descriptor is skipped by poll(2), so both may stand.
  if (wait > 0) {
    if (::poll(p, 2, static_cast<int>(wait)) > 0) TakeCancel(p[1].revents);
  }
  // A hung-up descriptor polls ready forever; the caller sees the lost port.
  DeliverDueTicks();
}

void HeadlessUserInterface::Sleep(int milliseconds) {
  // A pause is a guard time or a settling time for the modem: Cancel only
  // marks the operation, the pause itself runs to its end.
  const long long until = MonotonicMs() + (milliseconds > 0 ? milliseconds : 0);
  for (;;) {
    DeliverDueTicks();
    const long long now = MonotonicMs();
    if (now >= until) break;
    const long long wait = std::min(until, nextTickMs_) - now;
    pollfd p{cancelFd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait > 0 ? wait : 0)) > 0) TakeCancel(p.revents);
  }
}

MsgAnswer HeadlessUserInterface::MessageBox(std::string_view text, MsgIcon, MsgButtons buttons) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  switch (buttons) {
    case MsgButtons::Ok: return MsgAnswer::Ok;
    case MsgButtons::OkCancel: return MsgAnswer::Cancel;
    default: return MsgAnswer::No;
  }
}

}  // namespace kelvane
