#include "config/adapter.h"

#include <cstring>

#include "config/field_table.h"
#include "config/headless_ui.h"

namespace kelvane {

CAdapter::CAdapter() { ResetConfiguration(); }

UserInterface& CAdapter::Ui() {
  if (ui_) return *ui_;
  if (!fallbackUi_) fallbackUi_ = std::make_unique<HeadlessUserInterface>(*this);
  return *fallbackUi_;
}

void CAdapter::ResetConfiguration() {
  std::memset(&Config, 0, sizeof Config);
  SerialSettings& s = Config.serial;
  s.DteStopBits = 1;
  s.unused8 = 1;
  s.DteDataBits = 8;
  s.DcdControl = 1;
  s.DtrControl = 1;
  s.LocalEcho = 1;
  s.DteParity = 'N';
  s.ResultFormat = 1;
  BasicSettings& b = Config.basic;
  b.S0 = 2;
  b.S7 = 50;
  b.S10 = 14;
  b.S25 = 5;
  b.S91 = 13;
  b.CompressionC = 3;
  b.ErrorCorrectionN = 3;
  b.CountryCode = 0xC7;
  b.BreakControl = 5;
  b.LineQuality = 2;
  SetText(b.Modulation, "V34");
  Config.io.PulseTa = 100;
  Config.io.PulseTp = 50;
}

void CAdapter::OnTimerTick() {
  if (TickCount > 1000) TickCount = 0;
  ++TickCount;
  CheckLineSignals();
}

int PageOfSection(int sectionBit) {
  const SectionInfo* section = SectionOfBit(sectionBit);
  return section ? section->page : -1;
}

CAdapter& GetAdapter() {
  static CAdapter* adapter = new CAdapter();  // lives until the process ends
  return *adapter;
}

}  // namespace kelvane
