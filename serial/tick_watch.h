#pragma once
// Counting the ticks of timer 1 across the wrap of the tick counter.

namespace kelvane {

// Ticks since the watch was started or restarted. The counter runs 1, 2, ...
// 1001, 1, 2, ... (and is set to 0 when a wait begins), so a wait that
// compared it with a budget beyond 1001 would never end; the watch counts
// across the wrap. It must be read at least once per lap of the counter,
// which a wait that reads it on every pass always does.
class TickWatch {
 public:
  explicit TickWatch(const int& tickCount) : ticks_(tickCount), last_(tickCount) {}
  void Restart() {
    last_ = ticks_;
    elapsed_ = 0;
  }
  long long Elapsed() {
    // 0 and 1001 stand for the same place in the counter's cycle.
    elapsed_ += ((ticks_ - last_) % 1001 + 1001) % 1001;
    last_ = ticks_;
    return elapsed_;
  }

 private:
  const int& ticks_;
  int last_;
  long long elapsed_ = 0;
};

}  // namespace kelvane
