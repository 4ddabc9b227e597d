#pragma once
// A small telephone network for the simulator: far modems by number, which
// any local modem of the process reaches by dialling, one call at a time each
// (a far modem in a call answers another caller "BUSY"). A far modem keeps
// what one caller configured for the next.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace kelvane {

class SimulatedModem;

class TelephoneNetwork {
 public:
  TelephoneNetwork();
  ~TelephoneNetwork();
  TelephoneNetwork(const TelephoneNetwork&) = delete;
  TelephoneNetwork& operator=(const TelephoneNetwork&) = delete;

  // Connects `number` to a new far modem of `article` with remote
  // configuration on and `password`.
  SimulatedModem& AddFarModem(const std::string& number, std::string_view article, const std::string& password);
  // The far modem `number` reaches for `caller`; nullptr with `busy` when it
  // is in a call with another, without it when no modem has that number.
  SimulatedModem* Answer(std::string_view number, const SimulatedModem* caller, bool& busy);
  // The call to `far` has ended.
  void Release(const SimulatedModem* far);

  // Every modem of the network runs under this lock (each local modem's
  // server holds it while its modem works), so a far modem is never touched
  // by two servers at once.
  std::mutex& Lock() { return lock_; }

 private:
  std::map<std::string, std::unique_ptr<SimulatedModem>> far_;  // by the number's digits
  std::map<const SimulatedModem*, const SimulatedModem*> calls_;  // far modem -> caller
  std::mutex lock_;
};

}  // namespace kelvane
