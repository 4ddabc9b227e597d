#pragma once
// Writing the configuration block back to the modem, section by section, and
// storing it there with "AT&W".

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

}  // namespace kelvane
