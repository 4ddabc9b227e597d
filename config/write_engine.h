#pragma once
// Writing the configuration block back to the modem, section by section, and
// storing it there with "AT&W".

#include <string_view>

#include "config/adapter.h"

namespace kelvane {

// Writes the valid sections of `sections` to the identified modem and stores
// them with "AT&W". For the I/O section the low byte selects what is written:
// bit 0 the I/O parameters, bit 1 the entries (all ten when the byte is below
// 6 or 0xFF, otherwise only entry byte >> 2). SEC_ALL (0xFFFF) first asks
// "Write current profile to adapter?". A failure and the pages left out are
// reported with message boxes. Returns 1 when everything, "AT&W" included,
// went through, otherwise 0. `storedSections`, when given, receives the
// section bits that were sent and stored with "AT&W" (0 unless the result is
// 1): the pages whose records now match the modem.
int WriteConfiguration(CAdapter& a, int sections, int* storedSections = nullptr);
// The question a write of every section asks first.
inline constexpr std::string_view kWriteAllQuestion = "Write current profile to adapter?";

// What a write of a profile did.
struct ProfileWrite {
  int result = 0;      // as WriteConfiguration: 1 when everything, "AT&W" included, went through
  int stored = 0;      // the section bits sent and stored with "AT&W"
  int notWritten = 0;  // sections asked for, present on this model, and not stored
};

// The one way a profile reaches a modem: the window's writes, kelvane-cli
// write and apply all come here, so one rule decides what is written. With
// `profile`, its records of `sections` take the place of the adapter's and
// hold data from then on, the Remote configuration as much as any other (a
// profile carries every record). Without it the records are written as they
// stand: what the pages hold, read or loaded. Then WriteConfiguration.
ProfileWrite WriteProfile(CAdapter& a, int sections, const ConfigBlock* profile = nullptr);

}  // namespace kelvane
