#include <poll.h>

#include <algorithm>
#include <cstdio>

#include "config/adapter.h"
#include "serial/user_interface.h"

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

void HeadlessUserInterface::PumpEvents(int portFd) {
  DeliverDueTicks();
  const long long wait = nextTickMs_ - MonotonicMs();
  pollfd p{portFd, POLLIN, 0};
  if (wait > 0) ::poll(&p, portFd >= 0 ? 1 : 0, static_cast<int>(wait));
  // A hung-up descriptor polls ready forever; the caller sees the lost port.
  DeliverDueTicks();
}

void HeadlessUserInterface::Sleep(int milliseconds) {
  const long long until = MonotonicMs() + (milliseconds > 0 ? milliseconds : 0);
  for (;;) {
    DeliverDueTicks();
    const long long now = MonotonicMs();
    if (now >= until) break;
    const long long wait = std::min(until, nextTickMs_) - now;
    ::poll(nullptr, 0, static_cast<int>(wait > 0 ? wait : 0));
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
