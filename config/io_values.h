#pragma once
// The I/O configuration as the I/O page and the entry dialog show it: the
// combo lists, the section masks of the page's buttons, the service table
// (which data fields a service uses and what they are called), moving one
// entry between its texts and the record, and the two direct modem actions
// (delete an entry, test a service). No widgets here.

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "config/adapter.h"

namespace kelvane {

// Combo contents, in their order. "Trig type" and "Output ctrl" store the
// number in front of the item ("31 - DCD_PSTN" is 31); the others store the
// item index.
const std::vector<std::string>& TrigTypeItems();
const std::vector<std::string>& TrigLevelItems();
const std::vector<std::string>& OutputCtrlItems();
const std::vector<std::string>& IoServiceItems();
const std::vector<std::string>& IoRetryItems();
const std::vector<std::string>& IoPriorityItems();

constexpr int kIoEntries = 10;

// What each button of the I/O page writes. The low byte selects the part of
// the I/O section: bit 0 the parameters, bit 1 the entries (one entry when
// the byte shifted right by 2 names it).
constexpr int kIoParametersMask = 0x8001;
constexpr int kIoPageMask = 0x8003;
constexpr int kAllPagesMask = 0xFFFF;
// Entry n (1..10) alone: 0x8006, 0x800A, ... 0x802A.
constexpr int IoEntryMask(int entry) { return 0x8000 + entry * 4 + 2; }

// One data field of the entry dialog under a service.
struct IoDataField {
  bool enabled = false;
  const char* label = "";
};
// Data 1 to Data 7 for a service code; a code outside 0..7 (or no
// selection, -1) is treated like "NONE": every field disabled and unlabelled.
const std::array<IoDataField, 7>& IoServiceFields(int service);

// Characters each edit of the entry dialog accepts: Time, then Data 1 to 7.
constexpr int kIoTimeLimit = 3;
constexpr std::array<int, 7> kIoDataLimits = {20, 160, 20, 2, 8, 15, 2};

// What Delete leaves of an entry: numbers 0 and texts empty, except Data7,
// which no command carries and which stays as it is.
void ClearIoEntry(ConfigBlock& block, int index);

// Deletes entry `entry` (1..10) in the modem and in the record: probe,
// verbose results if the modem is numeric, "AT*WIOD=n", numeric results
// restored, then "AT&W" when the delete went through. The progress advances
// once before the command. On failure `failed` holds the failed exchange
// and the record is unchanged. The caller holds Busy and shows the window.
// `reportFailure`, when given, hears of a failure at once, before the
// result codes are restored.
using IoFailureReport = std::function<void(const std::string& failed)>;
bool DeleteIoEntry(CAdapter& a, int entry, std::string& failed, const IoFailureReport& reportFailure = {});

// Starts the service of entry `entry` (1..10) as a test ("AT*WIOT=n"), with
// the same probe and result-code handling as a delete but no "AT&W" and no
// change to the record.
bool TestIoEntry(CAdapter& a, int entry, std::string& failed, const IoFailureReport& reportFailure = {});

}  // namespace kelvane
