#include "config/operation_hold.h"

namespace kelvane {

bool VerboseResultsSession::Begin(std::string& failed, int matchMode) {
  if (a_.VerboseResults) return true;
  std::string v1 = "ATV1";
  if (a_.Transact(v1, 3, "OK\r\n", matchMode) != 1) {
    failed = v1;
    return false;
  }
  a_.VerboseResults = true;
  restore_ = true;
  return true;
}

void VerboseResultsSession::End() {
  if (!restore_) return;
  restore_ = false;
  a_.RestoreNumericResults();
  a_.VerboseResults = false;
}

}  // namespace kelvane
