#pragma once
// Reading the modem's configuration into the configuration block and the
// diagnostic values, section by section.

#include "config/adapter.h"

namespace kelvane {

// Reads the sections of `sections` (SEC_BASIC ... SEC_IO, SEC_ALL for every
// one) from the identified modem. Progress goes to the adapter's user
// interface; no message is shown. Returns 1 when every requested section was
// read, 0 when the read failed or could not start (Busy set, no identified
// modem). Sections read before a failure keep their values and stay valid.
int ReadConfiguration(CAdapter& a, int sections);

// What the modem keeps for a reset, as far as the "STORED PROFILE 0:" listing
// of "AT&V" shows it: the settings of the Basic, Serial and Dial records that
// the listing carries (\N, S0, S7, S10, S25, S30, S40, S41, S91, E, V, W, X,
// &C, &D, &K, &S, &A, &B) and the stored quiet mode (Q). Settings read with
// commands of their own (+MS, +GCI, +IPR, the stored numbers, the "*W"
// settings) are not listed; for them `block` holds the active values.
struct StoredProfile {
  bool known = false;  // false when the modem lists no stored profile
  ConfigBlock block{};  // the records as read, the listed fields as stored
  int quiet = 0;
};

// ReadConfiguration, then the stored profile of the sections read.
int ReadConfiguration(CAdapter& a, int sections, StoredProfile& stored);

}  // namespace kelvane
