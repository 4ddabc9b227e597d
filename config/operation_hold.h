#pragma once
// What an operation holds while it runs, given back on every way out (a
// return, an exception): the adapter's Busy, and the verbose result codes it
// switched the modem to.

#include <string>

#include "config/adapter.h"

namespace kelvane {

// Sets Busy (or, with `busy` false, clears it for a moment) and puts it back
// as it was when the hold ends. Release() ends it early, where others may
// start before the operation's last steps.
class BusyHold {
 public:
  explicit BusyHold(CAdapter& a, bool busy = true) : a_(a), before_(a.Busy) { a.Busy = busy; }
  ~BusyHold() { Release(); }
  BusyHold(const BusyHold&) = delete;
  BusyHold& operator=(const BusyHold&) = delete;

  void Release() {
    if (!held_) return;
    held_ = false;
    a_.Busy = before_;
  }

 private:
  CAdapter& a_;
  bool before_;
  bool held_ = true;
};

// Verbose result codes for an operation's exchanges. Begin switches a modem
// in numeric mode to verbose ("ATV1"); End switches it back when Begin did,
// and the destructor ends the session on any other way out.
class VerboseResultsSession {
 public:
  explicit VerboseResultsSession(CAdapter& a) : a_(a) {}
  ~VerboseResultsSession() { End(); }
  VerboseResultsSession(const VerboseResultsSession&) = delete;
  VerboseResultsSession& operator=(const VerboseResultsSession&) = delete;

  // Sends "ATV1" when the modem answers in numeric codes. False when it was
  // not taken; the exchange is then in `failed`.
  bool Begin(std::string& failed, int matchMode = MatchInOrder);
  // Whether End returns to numeric results. Begin's switch decides, unless
  // the operation chose the modem's mode itself (a written profile's result
  // format, the factory defaults).
  void SetRestoreNumeric(bool restore) { restore_ = restore; }
  bool RestoresNumeric() const { return restore_; }
  void End();

 private:
  CAdapter& a_;
  bool restore_ = false;
};

}  // namespace kelvane
