#include "config/modem_comparison.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "config/adapter.h"
#include "config/field_table.h"

namespace kelvane {

namespace {

void CopyBytes(ConfigBlock& to, const ConfigBlock& from, size_t offset, size_t size) {
  std::memcpy(reinterpret_cast<char*>(&to) + offset, reinterpret_cast<const char*>(&from) + offset, size);
}

}  // namespace

int SectionOfField(std::string_view name) {
  const std::string_view record = name.substr(0, name.find('.'));
  for (const SectionInfo& s : Sections()) {
    if (*s.record && record == s.record && record.size() < name.size()) return s.bit;
  }
  return 0;
}

int WritableSections(int modelType) {
  int sections = SEC_BASIC | SEC_SERIAL | SEC_DIAL | SEC_CALLERID | SEC_REMOTE | SEC_CALLBACK;
  if (modelType == MT_RM40_485) sections |= SEC_IO;
  return sections;
}

std::vector<FieldDifference> CompareWithModem(const ConfigBlock& wanted, const CAdapter& modem, int sections) {
  // The modem's side: the profile, with every record that was read from the
  // modem in its place.
  ConfigBlock held = wanted;
  const int taken = sections & WritableSections(modem.ModelType);
  int valid = 0;
  for (const SectionInfo& s : Sections()) {
    if (modem.pages[static_cast<size_t>(s.page)].valid) valid |= s.bit;
  }
  CopySections(held, modem.Config, taken & valid);

  // What a write did not send the modem keeps: the profile's own values stand.
  for (const FieldInfo& f : ConfigFields()) {
    if (IsSent(f, wanted, modem.ModelType)) continue;
    CopyBytes(held, wanted, f.offset, f.width * f.count);
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
