// Modem identification: the model table, the identification command and the
// operation that opens, probes and identifies.

#include <cstdlib>

#include "config/adapter.h"

namespace kelvane {

const ModelRow ModelTable[12] = {
    {MT_RMX21, "ATI9", "7730-01", "RMX-21"},
    {MT_RM40, "ATI9", "7730-02", "RM-40"},
    {MT_RM40_485, "ATI9", "7730-03", "RM-40 485"},
    {MT_RMX21, "ATI9", "7730-06", "RMX-21"},
    {MT_RM40, "ATI9", "7730-07", "RM-40"},
    {MT_RM40_485, "ATI9", "7730-08", "RM-40 485"},
    {MT_RP40, "ATI9", "7730-14", "RP-40"},
    {MT_RMX21, "ATI9", "7730-43", "RMX-21"},
    {MT_RM40, "ATI9", "7730-44", "RM-40"},
    {MT_RM40_485, "ATI9", "7730-45", "RM-40 485"},
    {MT_RP40, "ATI9", "7730-46", "RP-40"},
    {MT_NONE, nullptr, nullptr, nullptr},
};

std::string_view ModelName(int modelType) {
  for (const ModelRow& row : ModelTable) {
    if (row.type == 0) break;
    if (row.type == modelType) return row.name;
  }
  return {};
}

const ModelRow* MatchModel(std::string_view command, std::string_view answer) {
  for (const ModelRow& row : ModelTable) {
    if (row.type == 0) break;
    if (command == row.command && answer.find(row.article) != std::string_view::npos) return &row;
  }
  return nullptr;
}

void CAdapter::ResetPageFlags() {
  for (PageState& p : pages) {
    p.refreshing = 1;
    p.changed = 0;
    p.valid = 0;
  }
  UpdateChangeMarkers();
}

void CAdapter::ClosePortQuietly() {
  if (port_) port_->Close();
  DarkenIndicators();
  LinkState = LS_IDLE;
}

int CAdapter::IdentifyModem(std::string* answerOut) {
  size_t row = 0;
  while (ModelTable[row].type != 0) {
    const std::string_view command = ModelTable[row].command;
    std::string answer(command);
    const auto [expected1, expected2] = InfoExpectations();
    if (Transact(answer, 1, expected1, expected2, MatchInOrder) < 1) return -1;
    IdentificationAnswer = answer;
    if (answerOut) *answerOut = answer;

    if (const ModelRow* model = MatchModel(command, answer)) {
      LinkState = LS_PORT_OPEN | LS_IDENTIFIED;
      ModelType = model->type;
      ResetPageFlags();
      RefreshIndicators();
      Identified = true;
      return 1;
    }
    // On to the next command the table holds.
    while (ModelTable[row].type != 0 && command == ModelTable[row].command) ++row;
  }
  return 0;
}

int CAdapter::ProbeForIdentification() {
  const int baud = std::atoi(BaudRate.c_str());
  ProbeMode = lastProbeFoundNothing_;
  SetTimeoutUnit(baud);
  QuietWasOn = false;
  const int result = ProbeModem();
  // A cancelled probe says nothing about the line.
  if (result >= 0) lastProbeFoundNothing_ = result == 0;
  ProbeMode = false;
  SetTimeoutUnit(baud);
  return result;
}

bool CAdapter::OpenAndIdentify(bool identify) {
  if (!OpenPort()) return false;
  if (!identify) return true;

  if (ProbeForIdentification() < 1) {
    ClosePortQuietly();
    return false;
  }
  ApplyPortSettings();

  const int found = IdentifyModem(nullptr);
  if (found < 0) {
    ClosePortQuietly();
    return false;
  }
  if (found == 0) {
    Ui().MessageBox("A modem was found, but it is unsupported by Kelvane.", MsgIcon::Information,
                    MsgButtons::Ok);
    ClosePortQuietly();
  }
  return true;
}

}  // namespace kelvane
