#include "ui/port_provider.h"

namespace kelvane {

PortProvider::PortProvider() = default;
PortProvider::~PortProvider() {
  if (!attached_) return;
  if (attached_->TrafficFile == &log_) attached_->TrafficFile = nullptr;
  if (attached_->Port() == &logged_) attached_->SetPort(nullptr);
}

void PortProvider::AttachTrafficLog(CAdapter& a) {
  attached_ = &a;
  a.TrafficFile = &log_;
}

SimulatedPort* PortProvider::Simulated(int modelType) {
  if (modelType < 1 || modelType > 4) return nullptr;
  auto& slot = simulated_[modelType];
  if (!slot) slot = std::make_unique<SimulatedPort>(SimulatedModem(modelType));
  return slot.get();
}

void PortProvider::Select(CAdapter& a, const std::string& name) {
  if (a.Port() && a.Port()->IsOpen()) return;
  SerialPort* chosen = nullptr;
  if (const auto it = named_.find(name); it != named_.end() && it->second) {
    chosen = it->second;
  } else {
    const int model = SimulatedModelType(name);
    chosen = model                      ? static_cast<SerialPort*>(Simulated(model))
             : IsNetworkPortName(name) ? static_cast<SerialPort*>(&network_)
                                       : &tty_;
  }
  logged_.SetInner(chosen);
  a.SetPort(&logged_);
  AttachTrafficLog(a);
}

}  // namespace kelvane
