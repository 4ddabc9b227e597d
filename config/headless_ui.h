#pragma once
// The user interface of the programs without a window.

#include <functional>

#include "serial/user_interface.h"

namespace kelvane {

class CAdapter;

// A user interface without windows: waits on poll(2) in real time, delivers
// the 50 ms ticks to its adapter, prints messages to stderr and answers each
// question with its default (Ok, No). The command-line tool builds on it.
//
// It has a Cancel button too: a descriptor (the command line's Ctrl-C pipe)
// watched by every wait. Whenever it polls readable it is drained and the
// cancel handler runs; by default that sets AbortRequested, as the transfer
// dialog's Cancel does. A long operation with a Cancel of its own (the
// Autoconnect search) installs that instead.
class HeadlessUserInterface : public UserInterface {
 public:
  explicit HeadlessUserInterface(CAdapter& adapter);
  void PumpEvents(int portFd) override;
  void Sleep(int milliseconds) override;
  MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override;

  void WatchCancel(int fd) { cancelFd_ = fd; }
  // An empty handler restores the default.
  void SetCancelHandler(std::function<void()> handler) { cancelHandler_ = std::move(handler); }
  // How often Cancel was pressed since construction.
  int CancelCount() const { return cancelCount_; }

 protected:
  CAdapter& adapter_;

 private:
  void DeliverDueTicks();
  // Drains the cancel descriptor and runs the handler when it was readable.
  void TakeCancel(short revents);
  long long nextTickMs_ = 0;
  int cancelFd_ = -1;
  int cancelCount_ = 0;
  std::function<void()> cancelHandler_;
};

}  // namespace kelvane
