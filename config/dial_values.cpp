#include "config/dial_values.h"

#include "config/entry_rules.h"
#include "config/page_values.h"

namespace kelvane {

const std::vector<std::string>& HotCallItems() {
  static const std::vector<std::string> items = {
      "0 - Disable DTR/TX Hotcall", "1 - Enable DTR Hotcall", "2 - Enable TX Hotcall"};
  return items;
}

const std::vector<std::string>& DialAbortItems() {
  static const std::vector<std::string> items = {"0 - Enabled", "1 - Disabled"};
  return items;
}

DialView ShowDial(const DialSettings& d, int modelType) {
  DialView v;
  v.hotCall = FindNumberedItem(HotCallItems(), d.HotCall);
  v.dialAbort = FindNumberedItem(DialAbortItems(), d.DialAbort);
  for (std::size_t n = 0; n < v.numbers.size(); ++n) {
    v.numbers[n] = ShownText(d.StoredNumbers[n], sizeof d.StoredNumbers[n], kStoredNumberChars);
  }
  v.backup = HasDialBackup(modelType);
  if (v.backup) {
    v.backupNumber = ShownText(d.BackupNumber, sizeof d.BackupNumber, kBackupNumberChars);
    v.backupRetries = ShownNumber(d.BackupRetries, kBackupRetriesChars);
    v.backupTime = ShownNumber(d.BackupTime, kBackupTimeChars);
  }
  return v;
}

void StoreDial(const DialView& v, DialSettings& d) {
  StoreSelection(d.HotCall, v.hotCall);
  StoreSelection(d.DialAbort, v.dialAbort);
  for (std::size_t n = 0; n < v.numbers.size(); ++n) {
    StoreText(d.StoredNumbers[n], sizeof d.StoredNumbers[n], kStoredNumberChars, v.numbers[n]);
  }
  if (v.backup) {
    StoreText(d.BackupNumber, sizeof d.BackupNumber, kBackupNumberChars, v.backupNumber);
    StoreNumber(d.BackupRetries, kBackupRetriesChars, v.backupRetries);
    StoreNumber(d.BackupTime, kBackupTimeChars, v.backupTime);
  }
}

}  // namespace kelvane
