#pragma once
// The monotonic clock in milliseconds, for real-time waits.

#include <time.h>

namespace kelvane {

inline long long MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace kelvane
