#include "sim/telephone_network.h"

#include "sim/simulated_modem.h"

namespace kelvane {

namespace {

// "T555-1234" and "5551234" ring the same line: only the digits (and * #)
// count.
std::string Digits(std::string_view number) {
  std::string out;
  for (char c : number) {
    if ((c >= '0' && c <= '9') || c == '*' || c == '#') out += c;
  }
  return out;
}

}  // namespace

TelephoneNetwork::TelephoneNetwork() = default;
TelephoneNetwork::~TelephoneNetwork() = default;

SimulatedModem& TelephoneNetwork::AddFarModem(const std::string& number, std::string_view article,
                                              const std::string& password) {
  auto modem = std::make_unique<SimulatedModem>(article);
  for (ModemSettings* s : {&modem->State(), &modem->Stored()}) {
    s->remoteEnable = 1;
    s->remotePassword = password;
  }
  SimulatedModem& added = *modem;
  far_[Digits(number)] = std::move(modem);
  return added;
}

SimulatedModem* TelephoneNetwork::Answer(std::string_view number, const SimulatedModem* caller, bool& busy) {
  busy = false;
  const auto found = far_.find(Digits(number));
  if (found == far_.end()) return nullptr;
  SimulatedModem* far = found->second.get();
  const auto call = calls_.find(far);
  if (call != calls_.end() && call->second != caller) {
    busy = true;
    return nullptr;
  }
  calls_[far] = caller;
  return far;
}

void TelephoneNetwork::Release(const SimulatedModem* far) { calls_.erase(far); }

}  // namespace kelvane
