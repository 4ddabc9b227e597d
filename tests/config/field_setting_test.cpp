#include "config/field_setting.h"

#include <gtest/gtest.h>

#include <cstring>

#include "config/adapter.h"
#include "config/field_table.h"

namespace kelvane {
namespace {

ConfigBlock NewProfile() { return CAdapter().Config; }

std::string Changes(const ConfigBlock& before, const ConfigBlock& after) {
  std::string out;
  for (const FieldDifference& d : CompareBlocks(before, after)) out += d.name + "=" + d.right + ";";
  return out;
}

struct Accepted {
  std::vector<std::string> assignments;
  std::string changes;  // "Name=value;" for every field that changed
  std::vector<std::string> notes;
};

TEST(FieldSetting, EachKindOfFieldStoresWhatThePageWould) {
  const std::string umlaut = "Z\xC3\xBCrich";  // UTF-8 as a terminal sends it
  const Accepted cases[] = {
      {{"BasicSettings.S0=7"}, "BasicSettings.S0=7;", {}},
      {{"BasicSettings.S0=0x10"}, "BasicSettings.S0=16;", {}},
      {{"BasicSettings.S0=300"}, "BasicSettings.S0=255;", {"BasicSettings.S0: 300 clipped to 255"}},
      {{"BasicSettings.S7=61"}, "BasicSettings.S7=60;", {"BasicSettings.S7: 61 clipped to 60"}},
      {{"BasicSettings.S10=-4"}, "BasicSettings.S10=0;", {"BasicSettings.S10: -4 clipped to 0"}},
      {{"BasicSettings.FastDisconnect=1"}, "BasicSettings.FastDisconnect=1;", {}},
      {{"BasicSettings.FastDisconnect=enabled"}, "BasicSettings.FastDisconnect=1;", {}},
      {{"BasicSettings.CountryCode=0xB5"}, "BasicSettings.CountryCode=181;", {}},
      {{"BasicSettings.CountryCode=4"}, "BasicSettings.CountryCode=4;", {}},
      {{"BasicSettings.ErrorCorrectionN=4", "BasicSettings.CompressionC=2"},
       "BasicSettings.CompressionC=2;BasicSettings.ErrorCorrectionN=4;",
       {}},
      {{"BasicSettings.BreakControl=0"}, "BasicSettings.BreakControl=0;", {}},
      {{"BasicSettings.Modulation=V32B,0,4800,14400,4800,14400"},
       "BasicSettings.Modulation=V32B,0,4800,14400,4800,14400;",
       {}},
      {{"BasicSettings.Modulation=V90A"}, "BasicSettings.Modulation=V90A;", {}},
      {{"SerialSettings.DteRate=19200"}, "SerialSettings.DteRate=19200;", {}},
      {{"SerialSettings.DteRate=Auto"}, "", {}},
      {{"SerialSettings.ModemFlowControl=3"}, "SerialSettings.ModemFlowControl=3;", {}},
      {{"SerialSettings.DteParity=O"}, "SerialSettings.DteParity=O;", {}},
      {{"SerialSettings.DteParity=even"}, "SerialSettings.DteParity=E;", {}},
      {{"DialSettings.StoredNumbers[2]=5551234"}, "DialSettings.StoredNumbers[2]=5551234;", {}},
      {{"IoSettings.Data2[0]=" + umlaut}, "IoSettings.Data2[0]=Z\xFCrich;", {}},
      {{"DialSettings.StoredNumbers[0]=0W555 12,34"}, "DialSettings.StoredNumbers[0]=0W555 12,34;", {}},
      {{"DialSettings.StoredNumbers[3]=" + std::string(31, '9')},
       "DialSettings.StoredNumbers[3]=" + std::string(31, '9') + ";",
       {}},
      {{"DialSettings.BackupTime=999"}, "DialSettings.BackupTime=999;", {}},
      {{"CallerIdSettings.AcceptedNumbers[9]=+4930123"}, "CallerIdSettings.AcceptedNumbers[9]=+4930123;", {}},
      {{"RemoteSettings.RemotePassword=geheim"}, "RemoteSettings.RemotePassword=geheim;", {}},
      {{"CallbackSettings.CallbackMode=6"}, "CallbackSettings.CallbackMode=6;", {}},
      {{"CallbackSettings.CallbackPasswords[0]=abcdefghijkl"},
       "CallbackSettings.CallbackPasswords[0]=abcdefghijkl;",
       {}},
      {{"IoSettings.TrigType=31"}, "IoSettings.TrigType=31;", {}},
      {{"IoSettings.Service[3]=SMS"}, "IoSettings.Service[3]=2;", {}},
      {{"IoSettings.Retry[0]=next_err"}, "IoSettings.Retry[0]=4;", {}},
      {{"IoSettings.Data2[1]=" + std::string(160, 'x')}, "IoSettings.Data2[1]=" + std::string(160, 'x') + ";", {}},
      {{"IoSettings.Data7[9]=-5"}, "IoSettings.Data7[9]=-5;", {}},
      {{"IoSettings.PulseTa=2147483647"}, "IoSettings.PulseTa=2147483647;", {}},
      // A later assignment of the same field wins.
      {{"BasicSettings.S0=1", "BasicSettings.S0=9"}, "BasicSettings.S0=9;", {}},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.assignments.front());
    const ConfigBlock before = NewProfile();
    ConfigBlock block = before;
    const SettingOutcome outcome = ApplyFieldSettings(block, c.assignments);
    EXPECT_EQ(outcome.errors, std::vector<std::string>{});
    EXPECT_EQ(outcome.notes, c.notes);
    EXPECT_EQ(Changes(before, block), c.changes);
  }
}

struct Refused {
  std::string assignment;
  std::string error;  // the whole line, or its beginning when it ends in "..."
};

TEST(FieldSetting, RefusedValuesNameTheFieldAndLeaveTheBlockAlone) {
  const Refused cases[] = {
      {"BasicSettings.S99=1", "BasicSettings.S99: unknown field"},
      {"BasicSettings=1", "BasicSettings: unknown field"},
      {"Basic.S0=1",
       "Basic.S0: unknown section (sections: BasicSettings, SerialSettings, DialSettings, CallerIdSettings, "
       "RemoteSettings, CallbackSettings, IoSettings)"},
      {"BasicSettings.S0=12x", "BasicSettings.S0: \"12x\" is not a number"},
      {"BasicSettings.S0=", "BasicSettings.S0: \"\" is not a number"},
      {"BasicSettings.S0=99999999999999999999", "BasicSettings.S0: 99999999999999999999 out of range ..."},
      {"IoSettings.Data4[0]=100", "IoSettings.Data4[0]: 100 out of range 0-99"},
      {"IoSettings.PulseTp=-1", "IoSettings.PulseTp: -1 out of range 0-2147483647"},
      {"DialSettings.BackupTime=1000", "DialSettings.BackupTime: 1000 out of range 0-999"},
      {"BasicSettings.CountryCode=0x12",
       "BasicSettings.CountryCode: country code 0x12 is not in the list; valid codes: 0x00 Japan, 0x04 Germany, ..."},
      {"BasicSettings.CountryCode=0x1B8", "BasicSettings.CountryCode: country code 0x1B8 is not in the list; ..."},
      {"SerialSettings.DteRate=300",
       "SerialSettings.DteRate: \"300\" is not in the list; valid: 0 (Auto), 1200, 2400, 4800, 9600, 19200, "
       "38400, 57600, 115200"},
      {"SerialSettings.ModemFlowControl=2", "SerialSettings.ModemFlowControl: \"2\" is not in the list; ..."},
      {"SerialSettings.DtrControl=4", "SerialSettings.DtrControl: \"4\" is not in the list; ..."},
      {"SerialSettings.ReducedResults=Disables monitoring of busy tones",
       "SerialSettings.ReducedResults: \"Disables monitoring of busy tones\" is not in the list; ..."},
      {"SerialSettings.DteParity=M", "SerialSettings.DteParity: \"M\" is not in the list; valid: N (None), E (Even), O (Odd)"},
      {"IoSettings.OutputCtrl=2", "IoSettings.OutputCtrl: \"2\" is not in the list; ..."},
      {"CallbackSettings.CallbackMode=7", "CallbackSettings.CallbackMode: \"7\" is not in the list; ..."},
      {"BasicSettings.ErrorCorrectionN=4",
       "BasicSettings.ErrorCorrectionN: ErrorCorrectionN 4 with CompressionC 3 is not in the list; valid pairs "
       "ErrorCorrectionN/CompressionC: 0/0 (0 - Buffered, no compression); ..."},
      {"BasicSettings.Modulation=V34,1,300,0,0,0", "BasicSettings.Modulation: \"V34,1,300,0,0,0\" is not a modulation ..."},
      {"BasicSettings.Modulation=V34,2,0,0,0,0", "BasicSettings.Modulation: \"V34,2,0,0,0,0\" is not a modulation ..."},
      {"BasicSettings.Modulation=V3", "BasicSettings.Modulation: \"V3\" is not a modulation ..."},
      {"DialSettings.StoredNumbers[0]=" + std::string(32, '1'),
       "DialSettings.StoredNumbers[0]: text of 32 characters is longer than the 31 the page takes"},
      {"DialSettings.BackupNumber=" + std::string(17, '1'),
       "DialSettings.BackupNumber: text of 17 characters is longer than the 16 the page takes"},
      {"RemoteSettings.RemotePassword=" + std::string(13, 'p'),
       "RemoteSettings.RemotePassword: text of 13 characters is longer than the 12 the page takes"},
      {"DialSettings.BackupNumber=1\t2", "DialSettings.BackupNumber: control characters are not taken"},
      {"IoSettings.Data2[3]=Door \"A\", open",
       "IoSettings.Data2[3]: a double quote (\") is not taken: the modem gets this text inside double quotes"},
      {"DialSettings.BackupNumber=1\"", "DialSettings.BackupNumber: a double quote (\") is not taken: ..."},
      {"RemoteSettings.RemotePassword=ab;&F;x",
       "RemoteSettings.RemotePassword: a semicolon (;) is not taken: the modem would run what follows it as a command "
       "of its own"},
      {"DialSettings.StoredNumbers[1]=555;*WRCA=1", "DialSettings.StoredNumbers[1]: a semicolon (;) is not taken: ..."},
      // Bare texts are exactly their form.
      {"DialSettings.StoredNumbers[1]=555&F", "DialSettings.StoredNumbers[1]: \"555&F\" is not taken: the modem gets "
                                               "this text bare ..."},
      {"BasicSettings.Modulation=V34*WRCP=owned12", "BasicSettings.Modulation: \"V34*WRCP=owned12\" is not a modulation ..."},
      {"BasicSettings.Modulation=V34&F", "BasicSettings.Modulation: \"V34&F\" is not a modulation ..."},
      {"RemoteSettings.RemotePassword=p\xC3\xA4sswort", "RemoteSettings.RemotePassword: the password is not taken: ..."},
      {"BasicSettings.Modulation=V34;*WRCA=1;S0=1", "BasicSettings.Modulation: \"V34;*WRCA=1;S0=1\" is not a modulation ..."},
      {"CallbackSettings.CallbackPasswords[0]=pass\"wd",
       "CallbackSettings.CallbackPasswords[0]: a double quote (\") is not taken: ..."},
      {"CallerIdSettings.AcceptedNumbers[9]=030-12",
       "CallerIdSettings.AcceptedNumbers[9]: \"030-12\" is not taken: only the digits 0-9 and '+'"},
      {"CallbackSettings.CallbackNumbers[0]=12 34", "CallbackSettings.CallbackNumbers[0]: \"12 34\" is not taken: ..."},
      {"CallbackSettings.CallbackPasswords[4]=abcde",
       "CallbackSettings.CallbackPasswords[4]: a password of 1 to 5 characters is not taken; give none or 6 to 12"},
      {"RemoteSettings.RemotePassword=a",
       "RemoteSettings.RemotePassword: a password of 1 to 5 characters is not taken; give none or 6 to 12"},
      {"RemoteSettings.RemotePassword=\xE2\x82\xACuro12",
       "RemoteSettings.RemotePassword: character U+20AC does not fit a profile text (Latin-1 only)"},
      {"DialSettings.StoredNumbers=1",
       "DialSettings.StoredNumbers: an array of 4 elements; name one, e.g. DialSettings.StoredNumbers[0]"},
      {"DialSettings.StoredNumbers[4]=1", "DialSettings.StoredNumbers[4]: no element 4 (0-3)"},
      {"DialSettings.StoredNumbers[x]=1", "DialSettings.StoredNumbers[x]: unknown field"},
      {"BasicSettings.S0[0]=1", "BasicSettings.S0[0]: not an array"},
      {"BasicSettings.S0", "BasicSettings.S0: not SECTION.FIELD=VALUE"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.assignment);
    const ConfigBlock before = NewProfile();
    ConfigBlock block = before;
    const SettingOutcome outcome = ApplyFieldSettings(block, {"BasicSettings.S0=5", c.assignment});
    ASSERT_EQ(outcome.errors.size(), 1u);
    const std::string& error = outcome.errors.front();
    if (c.error.ends_with("...")) {
      EXPECT_EQ(error.substr(0, c.error.size() - 3), c.error.substr(0, c.error.size() - 3));
    } else {
      EXPECT_EQ(error, c.error);
    }
    EXPECT_EQ(std::memcmp(&before, &block, sizeof block), 0);
  }
}

TEST(FieldSetting, CountryRefusalListsEveryCodeOnceWithItsCountries) {
  ConfigBlock block = NewProfile();
  const auto outcome = ApplyFieldSettings(block, {"BasicSettings.CountryCode=18"});
  ASSERT_EQ(outcome.errors.size(), 1u);
  const std::string& e = outcome.errors.front();
  EXPECT_NE(e.find("0xB5 USA"), std::string::npos) << e;
  EXPECT_NE(e.find("0x2E Czech Rep/Slovakia"), std::string::npos) << e;
  EXPECT_NE(e.find("0xB8 Armenia/Azerbaijan/"), std::string::npos) << e;
  EXPECT_EQ(e.find("0xB8", e.find("0xB8") + 1), std::string::npos) << e;
  EXPECT_TRUE(e.ends_with("0xC7 Universal")) << e;
}

TEST(FieldSetting, SeveralErrorsAreAllNamedAndNothingIsStored) {
  const ConfigBlock before = NewProfile();
  ConfigBlock block = before;
  const auto outcome =
      ApplyFieldSettings(block, {"BasicSettings.S0=300", "BasicSettings.S99=1", "DialSettings.DialAbort=7"});
  ASSERT_EQ(outcome.errors.size(), 2u);
  EXPECT_EQ(outcome.errors[0], "BasicSettings.S99: unknown field");
  EXPECT_TRUE(outcome.errors[1].starts_with("DialSettings.DialAbort: \"7\" is not in the list")) << outcome.errors[1];
  // The clipping that would have happened is not reported for a file left alone.
  EXPECT_TRUE(outcome.notes.empty());
  EXPECT_EQ(std::memcmp(&before, &block, sizeof block), 0);
}

struct FormatCase {
  int rate;
  std::vector<std::string> assignments;
  std::string format;  // data bits, parity, stop bits afterwards
  bool noted;
};

TEST(FieldSetting, SerialFormatFollowsThePageRulesWithAFixedRate) {
  const FormatCase cases[] = {
      {9600, {"SerialSettings.DteDataBits=7"}, "8N1", true},
      {9600, {"SerialSettings.DteDataBits=7", "SerialSettings.DteParity=E"}, "7E1", false},
      {9600, {"SerialSettings.DteParity=E", "SerialSettings.DteDataBits=7"}, "7E1", false},
      {9600, {"SerialSettings.DteParity=E", "SerialSettings.DteStopBits=2"}, "8N2", true},
      {9600, {"SerialSettings.DteDataBits=7", "SerialSettings.DteStopBits=2"}, "7N2", false},
      // Without a fixed rate the format does not count and is stored as given.
      {0, {"SerialSettings.DteDataBits=7"}, "7N1", false},
      // Fixing the rate brings the format held to the rules.
      {0, {"SerialSettings.DteDataBits=7", "SerialSettings.DteRate=1200"}, "8N1", true},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.assignments.front() + " at " + std::to_string(c.rate));
    ConfigBlock block = NewProfile();
    block.serial.DteRate = c.rate;
    const auto outcome = ApplyFieldSettings(block, c.assignments);
    EXPECT_TRUE(outcome.errors.empty());
    const std::string format =
        std::to_string(block.serial.DteDataBits) + block.serial.DteParity + std::to_string(block.serial.DteStopBits);
    EXPECT_EQ(format, c.format);
    EXPECT_EQ(outcome.notes.size(), c.noted ? 1u : 0u);
  }
  ConfigBlock block = NewProfile();
  block.serial.DteRate = 9600;
  EXPECT_EQ(ApplyFieldSettings(block, {"SerialSettings.DteDataBits=7"}).notes,
            std::vector<std::string>{"SerialSettings: format 7N1 becomes 8N1 as on the Serial page"});
}

// Every element of every field can be set, and a new profile's own values
// are all ones the pages offer: setting each back changes nothing.
TEST(FieldSetting, EveryFieldTakesTheValueOfANewProfile) {
  const ConfigBlock fresh = NewProfile();
  std::size_t elements = 0;
  for (const FieldInfo& f : ConfigFields()) elements += f.count;
  const std::vector<SettableField> settable = SettableFields();
  ASSERT_EQ(settable.size(), elements);

  std::vector<std::string> assignments;
  std::size_t n = 0;
  for (const FieldInfo& f : ConfigFields()) {
    for (std::size_t i = 0; i < f.count; ++i, ++n) {
      std::string name = std::string(f.record) + "." + f.name;
      if (f.kind == FieldKind::IntArray || f.kind == FieldKind::TextArray) name += "[" + std::to_string(i) + "]";
      EXPECT_EQ(settable[n].name, name);
      EXPECT_FALSE(settable[n].values.empty()) << name;
      std::string value;
      switch (f.kind) {
        case FieldKind::Int:
        case FieldKind::IntArray: value = std::to_string(FieldInt(fresh, f.offset + 4 * i)); break;
        case FieldKind::Byte: value = std::to_string(reinterpret_cast<const uint8_t*>(&fresh)[f.offset]); break;
        case FieldKind::Char: value = std::string(1, reinterpret_cast<const char*>(&fresh)[f.offset]); break;
        case FieldKind::Text:
        case FieldKind::TextArray: value = FieldText(fresh, f.offset + f.width * i, f.width); break;
      }
      assignments.push_back(name + "=" + value);
    }
  }
  ConfigBlock block = fresh;
  const auto outcome = ApplyFieldSettings(block, assignments);
  EXPECT_EQ(outcome.errors, std::vector<std::string>{});
  EXPECT_EQ(std::memcmp(&fresh, &block, sizeof block), 0);
}

TEST(FieldSetting, AssignmentSplitsAtTheFirstEqualsSign) {
  std::string name, value;
  ASSERT_TRUE(SplitAssignment("IoSettings.Data2[0]=a=b", name, value));
  EXPECT_EQ(name, "IoSettings.Data2[0]");
  EXPECT_EQ(value, "a=b");
  EXPECT_TRUE(SplitAssignment("DialSettings.BackupNumber=", name, value));
  EXPECT_EQ(value, "");
  EXPECT_FALSE(SplitAssignment("BasicSettings.S0", name, value));
  EXPECT_FALSE(SplitAssignment("=5", name, value));
}

}  // namespace
}  // namespace kelvane
