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

}  // namespace kelvane
