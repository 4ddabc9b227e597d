#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "config/adapter.h"
#include "serial/clock.h"
#include "config/headless_ui.h"

namespace kelvane {
namespace {

// A pipe standing in for the command line's Ctrl-C pipe.
struct CancelPipe {
  CancelPipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0); }
  ~CancelPipe() {
    for (int fd : fds)
      if (fd >= 0) ::close(fd);
  }
  void Press() { ASSERT_EQ(::write(fds[1], "c", 1), 1); }
  void CloseWriteEnd() {
    ::close(fds[1]);
    fds[1] = -1;
  }
  int fds[2] = {-1, -1};
};

TEST(HeadlessCancel, APressDuringAWaitActsAsCancel) {
  struct Row {
    const char* what;
    bool customHandler;
  } rows[] = {{"default: AbortRequested", false}, {"an operation's own Cancel", true}};
  for (const Row& r : rows) {
    CAdapter a;
    HeadlessUserInterface ui(a);
    CancelPipe pipe;
    ui.WatchCancel(pipe.fds[0]);
    int handled = 0;
    if (r.customHandler) ui.SetCancelHandler([&] { ++handled; });
    pipe.Press();
    pipe.Press();  // two quick presses before the wait: one Cancel
    ui.PumpEvents(-1);
    EXPECT_EQ(ui.CancelCount(), 1) << r.what;
    EXPECT_EQ(a.AbortRequested, !r.customHandler) << r.what;
    EXPECT_EQ(handled, r.customHandler ? 1 : 0) << r.what;
    // Drained: the next wait sees no press.
    a.AbortRequested = false;
    ui.PumpEvents(-1);
    EXPECT_EQ(ui.CancelCount(), 1) << r.what;
    EXPECT_FALSE(a.AbortRequested) << r.what;
  }
}

TEST(HeadlessCancel, APauseRunsToItsEndAfterAPress) {
  CAdapter a;
  HeadlessUserInterface ui(a);
  CancelPipe pipe;
  ui.WatchCancel(pipe.fds[0]);
  pipe.Press();
  const long long start = MonotonicMs();
  ui.Sleep(150);
  // A guard time cut short would break the escape sequence that follows it.
  EXPECT_GE(MonotonicMs() - start, 150);
  EXPECT_TRUE(a.AbortRequested);
  EXPECT_EQ(ui.CancelCount(), 1);
}

TEST(HeadlessCancel, AClosedPipeIsDroppedInsteadOfWakingEveryWait) {
  CAdapter a;
  HeadlessUserInterface ui(a);
  CancelPipe pipe;
  ui.WatchCancel(pipe.fds[0]);
  pipe.CloseWriteEnd();
  // Each wait still lasts until the next tick: count the waits in 200 ms.
  const long long start = MonotonicMs();
  int waits = 0;
  while (MonotonicMs() - start < 200) {
    ui.PumpEvents(-1);
    ++waits;
  }
  EXPECT_LE(waits, 6);
  EXPECT_EQ(ui.CancelCount(), 0);
  EXPECT_FALSE(a.AbortRequested);
}

}  // namespace
}  // namespace kelvane
