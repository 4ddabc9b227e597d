#pragma once
// A profile compared with what a modem holds: the fields of the sections read
// from the modem that differ from the profile, leaving out what no write can
// change (so a modem that was just written compares equal).

#include <string_view>
#include <vector>

#include "config/adapter.h"
#include "config/field_table.h"

namespace kelvane {

// The fields of `sections` (section bits) in which the modem's records, as
// the last read left them in `modem.Config`, differ from `wanted`. Only the
// sections whose page is valid take part. Left out, because a write does not
// send them and the modem keeps its own: the fields the table marks as not
// sent to this model or with this profile (IsSent), and the unused and
// padding bytes. FieldDifference.left is the profile's value, .right the
// modem's.
std::vector<FieldDifference> CompareWithModem(const ConfigBlock& wanted, const CAdapter& modem, int sections);

// CompareWithModem, then the fields in which `stored` (the records a reset
// brings back, read as the modem's) differs from `wanted` although the
// active ones agree: a change that was never stored with "AT&W" is lost at
// the next reset.
std::vector<FieldDifference> CompareWithModemAndStored(const ConfigBlock& wanted, CAdapter& modem, int sections,
                                                       ConfigBlock& stored);

// The section bit of a field named as CompareBlocks names it
// ("BasicSettings.S0" -> SEC_BASIC), 0 for none.
int SectionOfField(std::string_view name);

// The sections a write changes on a model: all but Diagnostic, and I/O only
// on model type 3.
int WritableSections(int modelType);

}  // namespace kelvane
