#include "config/modem_comparison.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "config/field_table.h"

namespace kelvane {

int SectionOfField(std::string_view name) {
  const std::string_view record = name.substr(0, name.find('.'));
  for (const SectionInfo& s : Sections()) {
    if (*s.record && record == s.record && record.size() < name.size()) return s.bit;
  }
  return 0;
}

int WritableSections(int modelType) {
  int sections = SEC_BASIC | SEC_SERIAL | SEC_DIAL | SEC_CALLERID | SEC_REMOTE | SEC_CALLBACK;
  if (modelType == 3) sections |= SEC_IO;
  return sections;
}

std::vector<FieldDifference> CompareWithModem(const ConfigBlock& wanted, const CAdapter& modem, int sections) {
  // The modem's side: the profile, with every record that was read from the
  // modem in its place.
  ConfigBlock held = wanted;
  const ConfigBlock& read = modem.Config;
  auto take = [&](int bit, int page, auto member) {
    if ((sections & bit) && modem.pages[static_cast<size_t>(page)].valid) held.*member = read.*member;
  };
  take(SEC_SERIAL, PG_SERIAL, &ConfigBlock::serial);
  take(SEC_BASIC, PG_BASIC, &ConfigBlock::basic);
  take(SEC_DIAL, PG_DIAL, &ConfigBlock::dial);
  take(SEC_CALLERID, PG_CALLERID, &ConfigBlock::callerId);
  take(SEC_REMOTE, PG_REMOTE, &ConfigBlock::remote);
  take(SEC_CALLBACK, PG_CALLBACK, &ConfigBlock::callback);
  if (modem.ModelType == 3) take(SEC_IO, PG_IO, &ConfigBlock::io);

  // What a write did not send the modem keeps: the profile's own values stand.
  for (const FieldInfo& f : ConfigFields()) {
    if (IsSent(f, wanted, modem.ModelType)) continue;
    std::memcpy(reinterpret_cast<char*>(&held) + f.offset, reinterpret_cast<const char*>(&wanted) + f.offset,
                f.width * f.count);
  }
  auto diffs = CompareBlocks(wanted, held);
  std::erase_if(diffs, [](const FieldDifference& d) { return SectionOfField(d.name) == 0; });
  return diffs;
}

std::vector<FieldDifference> CompareWithModemAndStored(const ConfigBlock& wanted, CAdapter& modem, int sections,
                                                       ConfigBlock& stored) {
  std::vector<FieldDifference> out = CompareWithModem(wanted, modem, sections);
  std::swap(modem.Config, stored);
  std::vector<FieldDifference> afterReset = CompareWithModem(wanted, modem, sections);
  std::swap(modem.Config, stored);
  for (FieldDifference& d : afterReset) {
    if (std::none_of(out.begin(), out.end(), [&](const FieldDifference& o) { return o.name == d.name; })) {
      out.push_back(std::move(d));
    }
  }
  return out;
}

}  // namespace kelvane
