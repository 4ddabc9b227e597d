#include "config/page_words.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "config/adapter.h"
#include "config/basic_values.h"
#include "config/callback_values.h"
#include "config/callerid_values.h"
#include "config/dial_values.h"
#include "config/field_table.h"
#include "config/io_values.h"
#include "config/page_values.h"
#include "config/remote_values.h"
#include "config/serial_values.h"

namespace kelvane {
namespace {

// Writes a number into the named field ("IoSettings.Service[3]" for an element).
void Poke(ConfigBlock& block, const std::string& fullName, long long value) {
  const std::size_t open = fullName.find('[');
  const std::string name = fullName.substr(0, open);
  const std::size_t index = open == std::string::npos ? 0 : std::stoul(fullName.substr(open + 1));
  for (const FieldInfo& f : ConfigFields()) {
    if (std::string(f.record) + "." + f.name != name) continue;
    auto* bytes = reinterpret_cast<uint8_t*>(&block);
    if (f.kind == FieldKind::Byte || f.kind == FieldKind::Char) {
      bytes[f.offset] = static_cast<uint8_t>(value);
    } else {
      const auto v = static_cast<int32_t>(value);
      std::memcpy(bytes + f.offset + 4 * index, &v, 4);
    }
    return;
  }
  FAIL() << "no field " << name;
}

std::map<std::string, FieldWords> ByName(const ConfigBlock& block) {
  std::map<std::string, FieldWords> out;
  for (const FieldWords& w : DescribeBlock(block)) out[w.name] = w;
  return out;
}

std::string Shown(const ConfigBlock& block, const std::string& name) {
  const auto words = ByName(block);
  const auto it = words.find(name);
  return it == words.end() ? "(missing " + name + ")" : it->second.shown;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

TEST(PageWords, EveryFieldOnceWithItsPageAndCaptionInSheetOrder) {
  CAdapter a;
  const std::vector<FieldWords> words = DescribeBlock(a.Config);
  std::set<std::string> expected;
  for (const FieldInfo& f : ConfigFields()) {
    const std::string name = std::string(f.record) + "." + f.name;
    const bool array = f.kind == FieldKind::IntArray || f.kind == FieldKind::TextArray;
    for (std::size_t i = 0; i < f.count; ++i) expected.insert(array ? name + "[" + std::to_string(i) + "]" : name);
  }
  std::set<std::string> seen;
  const std::vector<int>& order = PagesInSheetOrder();
  std::size_t lastPage = 0;
  for (const FieldWords& w : words) {
    EXPECT_TRUE(seen.insert(w.name).second) << "twice: " << w.name;
    EXPECT_FALSE(w.caption.empty()) << w.name;
    EXPECT_EQ(w.page, PageTitle(w.pageIndex)) << w.name;
    if (w.pageIndex == kNotShownPage) {
      // Only Data 7, which the entry dialog keeps hidden, is on no page.
      EXPECT_EQ(w.name.rfind("IoSettings.Data7[", 0), 0u) << w.name;
      EXPECT_EQ(w.caption, w.name);
      lastPage = order.size();
      continue;
    }
    const auto at = static_cast<std::size_t>(std::find(order.begin(), order.end(), w.pageIndex) - order.begin());
    ASSERT_LT(at, order.size()) << w.name;
    EXPECT_GE(at, lastPage) << w.name << " is out of sheet order";
    lastPage = at;
  }
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(PageTitle(PG_DIAL), "Dial Options");
}

// Every item each combo offers, set as the value the page stores for it,
// shows as the item the page selects for that value.
TEST(PageWords, EveryComboItemShowsAsThePageShowsIt) {
  using Items = const std::vector<std::string>& (*)();
  enum Stores { NUMBER, INDEX };
  struct Combo {
    const char* field;
    Items items;
    Stores stores;
  };
  const Combo combos[] = {
      {"SerialSettings.DteRate", BaudRateItems, NUMBER},
      {"SerialSettings.DteDataBits", DataBitsItems, NUMBER},
      {"SerialSettings.DteStopBits", StopBitsItems, NUMBER},
      {"SerialSettings.ResultFormat", ResultFormatItems, NUMBER},
      {"SerialSettings.EnhancedResults", EnhancedResultItems, NUMBER},
      {"SerialSettings.ReducedResults", ReducedResultItems, NUMBER},
      {"SerialSettings.LocalEcho", LocalEchoItems, NUMBER},
      {"SerialSettings.ResultSuppression", SuppressionItems, NUMBER},
      {"SerialSettings.ModemFlowControl", FlowControlItems, NUMBER},
      {"SerialSettings.DcdControl", DcdControlItems, NUMBER},
      {"SerialSettings.DsrControl", DsrControlItems, NUMBER},
      {"SerialSettings.DtrControl", DtrControlItems, NUMBER},
      {"SerialSettings.IgnoreErrors", IgnoreErrorsItems, NUMBER},
      {"BasicSettings.BreakControl", BreakControlItems, INDEX},
      {"BasicSettings.LineQuality", LineQualityItems, INDEX},
      {"BasicSettings.FastDisconnect", FastDisconnectItems, INDEX},
      {"DialSettings.HotCall", HotCallItems, INDEX},
      {"DialSettings.DialAbort", DialAbortItems, INDEX},
      {"CallerIdSettings.CidFormat", CidFormatItems, INDEX},
      {"CallerIdSettings.CidMode", CidModeItems, INDEX},
      {"RemoteSettings.RemoteEnable", RemoteEnableItems, INDEX},
      {"CallbackSettings.CallbackMode", CallbackModeItems, INDEX},
      {"IoSettings.TrigType", TrigTypeItems, NUMBER},
      {"IoSettings.TrigLevel", TrigLevelItems, INDEX},
      {"IoSettings.OutputCtrl", OutputCtrlItems, NUMBER},
      {"IoSettings.Service[3]", IoServiceItems, INDEX},
      {"IoSettings.Retry[9]", IoRetryItems, INDEX},
      {"IoSettings.Priority[0]", IoPriorityItems, INDEX},
  };
  for (const Combo& c : combos) {
    const std::vector<std::string>& items = c.items();
    for (std::size_t i = 0; i < items.size(); ++i) {
      // An item that stands for no number (the DTR list's empty fifth) is
      // never shown for a stored value.
      if (c.stores == NUMBER && ItemNumber(items[i], -1) < 0) continue;
      CAdapter a;
      const long long value = c.stores == INDEX ? static_cast<long long>(i) : ItemNumber(items[i]);
      Poke(a.Config, c.field, value);
      const std::string name = c.field;
      // Several items may stand for one value: the page shows the first.
      // The baud list is searched by the rate's digits alone.
      const int shownItem = c.stores == INDEX                   ? static_cast<int>(i)
                            : name == "SerialSettings.DteRate" ? BaudRateIndex(static_cast<int>(value))
                                                               : FindNumberedItem(items, static_cast<int>(value));
      ASSERT_GE(shownItem, 0) << name;
      EXPECT_EQ(Shown(a.Config, name), Trimmed(items[static_cast<std::size_t>(shownItem)])) << name << " item " << i;
    }
  }

  // Country, parity and the compression pair by their own mappings.
  for (const std::string& item : CountryItems()) {
    CAdapter a;
    a.Config.basic.CountryCode = CountryCodeOfItem(item);
    EXPECT_EQ(Shown(a.Config, "BasicSettings.CountryCode"),
              Trimmed(CountryItems()[static_cast<std::size_t>(CountryIndex(a.Config.basic.CountryCode))]));
  }
  for (const std::string& item : ParityItems()) {
    CAdapter a;
    a.Config.serial.DteParity = item.front();
    EXPECT_EQ(Shown(a.Config, "SerialSettings.DteParity"), item);
  }
  CompressionPair pair;
  for (int i = 0; CompressionPairAt(i, pair); ++i) {
    CAdapter a;
    a.Config.basic.ErrorCorrectionN = pair.errorCorrectionN;
    a.Config.basic.CompressionC = pair.compressionC;
    const std::string item = Trimmed(CompressionItems()[static_cast<std::size_t>(i)]);
    EXPECT_EQ(Shown(a.Config, "BasicSettings.ErrorCorrectionN"), item);
    EXPECT_EQ(Shown(a.Config, "BasicSettings.CompressionC"), item);
  }
}

// Values the page cannot show as they are stored keep the stored value in
// the words, so that two blocks that differ never read the same.
TEST(PageWords, ValuesThePageCannotShowNameTheStoredValue) {
  struct Case {
    const char* field;
    long long value;
    const char* shown;
  };
  const Case cases[] = {
      {"CallerIdSettings.CidFormat", 7, "(none, stored 7)"},
      {"CallbackSettings.CallbackMode", -1, "(none, stored -1)"},
      {"IoSettings.TrigLevel", 7, "(none, stored 7)"},
      {"SerialSettings.DteRate", 300, "(none, stored 300)"},
      {"SerialSettings.DteRate", 96, "9600 (stored 96)"},
      {"SerialSettings.DteParity", 'n', "(none, stored 'n')"},
      {"SerialSettings.DteParity", 0, "(none, stored 0)"},
      {"BasicSettings.CountryCode", 0x12, "C7 - Universal (stored 0x12)"},
      {"BasicSettings.CountryCode", 0x3D, "3D - France"},
      {"BasicSettings.CountryCode", 0xB8, "B8 - Armenia"},
      {"BasicSettings.FastDisconnect", 2, "0 - Disabled (stored 2)"},
      {"BasicSettings.S0", 1234, "123 (stored 1234)"},
      {"BasicSettings.S7", 99, "99"},
      {"DialSettings.BackupRetries", 12, "1 (stored 12)"},
      {"CallbackSettings.CallbackTime", 999, "999"},
      {"RemoteSettings.RemoteEnable", 0xFF, "(none, stored 255)"},
  };
  for (const Case& c : cases) {
    CAdapter a;
    Poke(a.Config, c.field, c.value);
    EXPECT_EQ(Shown(a.Config, c.field), c.shown) << c.field << " = " << c.value;
  }
  // The tolerant compression mapping: \N 3 with %C 0 shows item 2, whose pair is 3/3.
  CAdapter a;
  a.Config.basic.ErrorCorrectionN = 3;
  a.Config.basic.CompressionC = 0;
  EXPECT_EQ(Shown(a.Config, "BasicSettings.ErrorCorrectionN"), "2 - Reliable auto, with compression");
  EXPECT_EQ(Shown(a.Config, "BasicSettings.CompressionC"), "2 - Reliable auto, with compression (stored 0)");
  // A control character the edit leaves out.
  SetText(a.Config.dial.StoredNumbers[1], "555\t1234");
  EXPECT_EQ(Shown(a.Config, "DialSettings.StoredNumbers[1]"), "5551234 (stored \"555\\x091234\")");
}

TEST(PageWords, PasswordsAreMaskedEverywhere) {
  CAdapter a;
  SetText(a.Config.remote.RemotePassword, "remote-secret");
  SetText(a.Config.callback.CallbackPasswords[3], "cb-secret");
  a.Config.io.Service[2] = 2;  // SMS: Data 5 is its password
  SetText(a.Config.io.Data5[2], "smspass");
  CAdapter other;
  for (const FieldWords& w : DescribeBlock(a.Config)) {
    for (const char* secret : {"remote-secret", "cb-secret", "smspass"}) {
      EXPECT_EQ(w.shown.find(secret), std::string::npos) << w.name;
    }
  }
  EXPECT_EQ(Shown(a.Config, "RemoteSettings.RemotePassword"), kMaskedPassword);
  EXPECT_EQ(Shown(a.Config, "CallbackSettings.CallbackPasswords[3]"), kMaskedPassword);
  EXPECT_EQ(Shown(a.Config, "IoSettings.Data5[2]"), kMaskedPassword);
  EXPECT_EQ(Shown(a.Config, "CallbackSettings.CallbackPasswords[4]"), "");
  // The outputs that name fields mask exactly the fields whose words are masked.
  ConfigBlock every = a.Config;
  for (int i = 0; i < kCallbackRows; ++i) SetText(every.callback.CallbackPasswords[i], "secret");
  for (int i = 0; i < kIoEntries; ++i) SetText(every.io.Data5[i], "secret");
  for (const FieldWords& w : DescribeBlock(every)) {
    EXPECT_EQ(IsPasswordField(w.name), w.shown == kMaskedPassword) << w.name;
  }
  EXPECT_FALSE(IsPasswordField("RemoteSettings.RemotePasswordX"));
  for (const WordsDifference& d : CompareInWords(other.Config, a.Config)) {
    EXPECT_EQ(d.there.find("secret"), std::string::npos) << d.here.name;
    EXPECT_EQ(d.there.find("smspass"), std::string::npos) << d.here.name;
  }
}

TEST(PageWords, OneFieldOfEachKind) {
  CAdapter a;
  a.Config.basic.S0 = 3;
  a.Config.basic.CountryCode = 0x3D;
  SetTextFull(a.Config.basic.Modulation, "V34,1,2400,33600,2400,33600");
  SetText(a.Config.dial.StoredNumbers[2], "0049301234");
  a.Config.io.Service[0] = 1;
  SetText(a.Config.io.Data1[0], "5551234");
  const auto words = ByName(a.Config);
  struct Case {
    const char* name;
    const char* page;
    const char* caption;
    const char* shown;
  };
  const Case cases[] = {
      {"BasicSettings.S0", "Basic", "Rings to Auto-Answer [S0]", "3"},
      {"BasicSettings.CountryCode", "Basic", "Country code [+GCI]", "3D - France"},
      {"BasicSettings.Modulation", "Basic", "Modulation [+MS]", "V34,1,2400,33600,2400,33600"},
      {"SerialSettings.ModemFlowControl", "Serial", "Flow control [&K]", nullptr},
      {"DialSettings.StoredNumbers[2]", "Dial Options", "Stores phone numbers [&Z] 2", "0049301234"},
      {"CallerIdSettings.AcceptedNumbers[0]", "Caller ID", "Accepted numbers [*WACCTAB] 1", ""},
      {"RemoteSettings.RemotePassword", "Remote", "Remote Configuration Password [*WRCP]", ""},
      {"CallbackSettings.CallbackNumbers[9]", "Callback", "Callback table [*wcbtab] 10: Number", ""},
      {"IoSettings.Service[0]", "I/O", "I/O List [*WIOL] 1: Service", "DIAL"},
      {"IoSettings.Data1[0]", "I/O", "I/O Entry 1 Data 1 (Number)", "5551234"},
      {"IoSettings.Data2[1]", "I/O", "I/O Entry 2 Data 2", ""},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(words.count(c.name)) << c.name;
    const FieldWords& w = words.at(c.name);
    EXPECT_EQ(w.page, c.page) << c.name;
    EXPECT_EQ(w.caption, c.caption) << c.name;
    if (c.shown) {
      EXPECT_EQ(w.shown, c.shown) << c.name;
    }
  }
}

// The words name exactly the fields CompareBlocks finds, whichever field
// differs, and the unused bytes as one entry of their own at the end.
TEST(PageWords, ComparisonFindsTheSameFieldsAsCompareBlocks) {
  CAdapter base;
  const std::vector<FieldWords> order = DescribeBlock(base.Config);
  for (const FieldInfo& f : ConfigFields()) {
    const std::size_t element = f.kind == FieldKind::Int || f.kind == FieldKind::IntArray ? 4 : f.width;
    for (std::size_t i = 0; i < f.count; i += f.count > 1 ? f.count - 1 : 1) {
      ConfigBlock other = base.Config;
      reinterpret_cast<uint8_t*>(&other)[f.offset + element * i] ^= 0x41;
      // A second field on another page, and an unused byte.
      other.basic.S91 += 1;
      other.callerId.unused570[3] ^= 1;
      std::set<std::string> blocks;
      for (const FieldDifference& d : CompareBlocks(base.Config, other)) blocks.insert(d.name);
      const std::vector<WordsDifference> words = CompareInWords(base.Config, other);
      std::set<std::string> named;
      for (const WordsDifference& d : words) named.insert(d.here.name);
      EXPECT_EQ(named, blocks) << f.name << "[" << i << "]";
      ASSERT_FALSE(words.empty());
      EXPECT_EQ(words.back().here.name, kUnusedBytesName);
      EXPECT_EQ(words.back().here.page, kNotShownTitle);
      // Page by page: the order of DescribeBlock.
      std::size_t at = 0;
      for (std::size_t k = 0; k + 1 < words.size(); ++k) {
        while (at < order.size() && order[at].name != words[k].here.name) ++at;
        EXPECT_LT(at, order.size()) << words[k].here.name << " out of order";
      }
    }
  }
  EXPECT_TRUE(CompareInWords(base.Config, base.Config).empty());

  ConfigBlock other = base.Config;
  other.basic.S0 = 3;
  const std::vector<WordsDifference> one = CompareInWords(base.Config, other);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].here.caption, "Rings to Auto-Answer [S0]");
  EXPECT_EQ(one[0].here.shown, std::to_string(base.Config.basic.S0));
  EXPECT_EQ(one[0].there, "3");
}

}  // namespace
}  // namespace kelvane
