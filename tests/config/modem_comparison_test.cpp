// A profile against what a modem holds: the fields that differ, without what
// no write can change, so a modem that was just written compares equal.

#include "config/modem_comparison.h"

#include <gtest/gtest.h>

#include <functional>

namespace kelvane {
namespace {

std::vector<std::string> Names(const std::vector<FieldDifference>& diffs) {
  std::vector<std::string> names;
  for (const FieldDifference& d : diffs) names.push_back(d.name);
  return names;
}

// A modem of `modelType` whose every section was read and holds the same
// block as the profile.
struct ReadModem {
  explicit ReadModem(int modelType) {
    modem.ModelType = modelType;
    for (PageState& p : modem.pages) p.valid = 1;
    modem.Config = profile;
  }
  CAdapter modem;
  ConfigBlock profile{};
};

TEST(ModemComparison, NamesWhatAWriteCanChangeAndNothingElse) {
  struct Case {
    const char* what;
    int modelType;
    int sections;
    std::function<void(ConfigBlock& profile, CAdapter& modem)> change;
    std::vector<std::string> expected;
  };
  const int all = SEC_ALL & ~SEC_DIAGNOSTIC;
  const Case cases[] = {
      {"equal", 3, all, [](ConfigBlock&, CAdapter&) {}, {}},
      {"a setting", 2, all, [](ConfigBlock& p, CAdapter&) { p.basic.S0 = 4; }, {"BasicSettings.S0"}},
      {"one element of a table", 2, all,
       [](ConfigBlock& p, CAdapter&) { SetText(p.callback.CallbackNumbers[3], "5551234"); },
       {"CallbackSettings.CallbackNumbers[3]"}},
      {"a section not compared", 2, SEC_BASIC, [](ConfigBlock& p, CAdapter&) { p.dial.HotCall = 1; }, {}},
      {"a section not read", 2, all,
       [](ConfigBlock& p, CAdapter& m) {
         p.dial.HotCall = 1;
         m.Page(PG_DIAL).valid = 0;
       },
       {}},
      {"the quiet mode the probe found", 2, all, [](ConfigBlock& p, CAdapter&) { p.serial.ResultSuppression = 1; },
       {}},
      {"Data7, never sent", 3, all, [](ConfigBlock& p, CAdapter&) { p.io.Data7[2] = 9; }, {}},
      {"unused bytes", 3, all, [](ConfigBlock& p, CAdapter&) { p.serial.unused60[0] = 1; }, {}},
      {"the backup number on a model without it", 2, all,
       [](ConfigBlock& p, CAdapter&) {
         SetText(p.dial.BackupNumber, "0401");
         p.dial.BackupRetries = 3;
       },
       {}},
      {"the backup number on type 3", 3, all, [](ConfigBlock& p, CAdapter&) { p.dial.BackupRetries = 3; },
       {"DialSettings.BackupRetries"}},
      {"the I/O section on a model without it", 2, all, [](ConfigBlock& p, CAdapter&) { p.io.PulseTa = 7; }, {}},
      {"the I/O section on type 3", 3, all, [](ConfigBlock& p, CAdapter&) { p.io.PulseTa = 7; },
       {"IoSettings.PulseTa"}},
      {"the caller ID mode with caller ID off", 2, all,
       [](ConfigBlock& p, CAdapter& m) {
         p.callerId.CidFormat = 0;
         m.Config.callerId.CidFormat = 0;
         p.callerId.CidMode = 1;
       },
       {}},
      {"the caller ID mode with caller ID on", 2, all,
       [](ConfigBlock& p, CAdapter& m) {
         p.callerId.CidFormat = m.Config.callerId.CidFormat = 1;
         p.callerId.CidMode = 1;
       },
       {"CallerIdSettings.CidMode"}},
      {"caller ID turned off", 2, all, [](ConfigBlock&, CAdapter& m) { m.Config.callerId.CidFormat = 1; },
       {"CallerIdSettings.CidFormat"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReadModem rig(c.modelType);
    c.change(rig.profile, rig.modem);
    EXPECT_EQ(Names(CompareWithModem(rig.profile, rig.modem, c.sections)), c.expected);
  }
}

TEST(ModemComparison, ProfileValueLeftModemValueRight) {
  ReadModem rig(2);
  rig.profile.basic.S0 = 4;
  rig.modem.Config.basic.S0 = 2;
  const auto diffs = CompareWithModem(rig.profile, rig.modem, SEC_BASIC);
  ASSERT_EQ(diffs.size(), 1u);
  EXPECT_EQ(diffs[0].left, "4");
  EXPECT_EQ(diffs[0].right, "2");
}

TEST(ModemComparison, SectionsOfFieldsAndModels) {
  EXPECT_EQ(SectionOfField("BasicSettings.S0"), SEC_BASIC);
  EXPECT_EQ(SectionOfField("SerialSettings.DteRate"), SEC_SERIAL);
  EXPECT_EQ(SectionOfField("IoSettings.Data2[9]"), SEC_IO);
  EXPECT_EQ(SectionOfField("RemoteSettings.RemotePassword"), SEC_REMOTE);
  EXPECT_EQ(SectionOfField("unused bytes"), 0);
  EXPECT_EQ(SectionOfField("Basic"), 0);
  EXPECT_EQ(WritableSections(3) & SEC_IO, SEC_IO);
  EXPECT_EQ(WritableSections(2) & (SEC_IO | SEC_DIAGNOSTIC), 0);
  EXPECT_EQ(WritableSections(1) & SEC_REMOTE, SEC_REMOTE);
}

}  // namespace
}  // namespace kelvane
