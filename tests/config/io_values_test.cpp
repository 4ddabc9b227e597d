// The I/O values: combo searches, button masks, the service table, storing
// an entry's edits, and Delete and Test against a simulated
// type 3 modem (checked by the commands the modem received).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "config/field_table.h"
#include "config/io_values.h"
#include "config/page_values.h"
#include "config/write_engine.h"
#include "sim/simulated_port.h"
#include "support/virtual_ui.h"

namespace kelvane {
namespace {

using testing::VirtualUi;

TEST(IoCombos, NumberedSearchPicksTheExactCode) {
  struct Case {
    const std::vector<std::string>& items;
    int value;
    int index;
  };
  const Case cases[] = {
      {TrigTypeItems(), 3, 3},     // "3 - DCD", never "31 - DCD_PSTN"
      {TrigTypeItems(), 31, 5},    {TrigTypeItems(), 32, 6}, {TrigTypeItems(), 0, 0},
      {TrigTypeItems(), 5, -1},    // not in the list: no selection
      {OutputCtrlItems(), 2, -1},  // there is no code 2
      {OutputCtrlItems(), 3, 2},   {OutputCtrlItems(), 31, 4}, {OutputCtrlItems(), 32, 5},
      {TrigLevelItems(), 6, 6},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindNumberedItem(c.items, c.value), c.index) << "value " << c.value;
    if (c.index >= 0) {
      EXPECT_EQ(ItemNumber(c.items[static_cast<size_t>(c.index)]), c.value);
    }
  }
  EXPECT_EQ(IoServiceItems().size(), 8u);
  EXPECT_EQ(IoServiceItems()[4], "(reserved)");
  EXPECT_EQ(IoRetryItems().back(), "NEXT_ALWAYS");
}

TEST(IoMasks, EachButtonSelectsItsPartOfTheSection) {
  EXPECT_EQ(IoEntryMask(1), 0x8006);
  EXPECT_EQ(IoEntryMask(2), 0x800A);
  EXPECT_EQ(IoEntryMask(9), 0x8026);
  EXPECT_EQ(IoEntryMask(10), 0x802A);
  // Every single-entry mask names exactly its entry in the write's terms:
  // above the all-entries range and shifted right by 2 to the entry number.
  for (int n = 1; n <= 10; ++n) {
    const int low = IoEntryMask(n) & 0xFF;
    EXPECT_GE(low, 6);
    EXPECT_EQ(low >> 2, n);
    EXPECT_EQ(low & 3, 2) << "entries only, no parameters";
  }
  EXPECT_EQ(kIoParametersMask & 0xFF, 1);
  EXPECT_EQ(kIoPageMask & 0xFF, 3);
}

TEST(IoServiceTable, LabelsAndEnablesPerService) {
  struct Case {
    int service;
    const char* labels[7];
  };
  const Case cases[] = {
      {0, {"", "", "", "", "", "", ""}},
      {1, {"Number", "", "", "", "", "", "Line protocol"}},
      {2,
       {"Number", "SMS-message", "SMS service provider number", "SMS protocol type", "Password",
        "Sender", "Line protocol"}},
      {3, {"Number", "Transfer text", "", "", "", "", "Line protocol"}},
      {4, {"", "", "", "", "", "", ""}},
      {5, {"Number", "Pattern", "", "", "", "", "Line protocol"}},
      {6, {"Command", "", "", "", "", "", ""}},
      {7, {"Number", "", "", "", "", "", "Line protocol"}},
      {-1, {"", "", "", "", "", "", ""}},  // no selection behaves like NONE
      {99, {"", "", "", "", "", "", ""}},
  };
  for (const Case& c : cases) {
    const auto& fields = IoServiceFields(c.service);
    for (int k = 0; k < 7; ++k) {
      EXPECT_STREQ(fields[static_cast<size_t>(k)].label, c.labels[k]) << c.service << " data " << k + 1;
      EXPECT_EQ(fields[static_cast<size_t>(k)].enabled, c.labels[k][0] != '\0')
          << c.service << " data " << k + 1;
    }
  }
}

// What the entry dialog stores of its edits.
TEST(IoEntry, EditTextsAreStoredCutAtTheirFieldsAndKeepOtherEntries) {
  ConfigBlock block{};
  IoSettings& io = block.io;
  std::memset(&io, 0x55, sizeof io);  // every byte dirty: padding must come out zero
  const std::pair<const char*, std::string> typed[] = {
      {"Timeout", "999"},         {"Data1", std::string(25, '1')}, {"Data2", std::string(200, 'm')},
      {"Data3", "0707"},          {"Data4", "x7"},                 {"Data5", "secretpw9"},
      {"Data6", std::string(20, 's')}, {"Data7", "12"}};
  for (const auto& [field, text] : typed) StoreElementText(block, *FindField("IoSettings", field), 9, text);
  EXPECT_EQ(io.Timeout[9], 999);  // not limited to 255
  EXPECT_EQ(FieldText(io.Data1[9], 21), std::string(20, '1'));
  EXPECT_EQ(FieldText(io.Data2[9], 161), std::string(160, 'm'));
  EXPECT_EQ(FieldText(io.Data3[9], 21), "0707");
  EXPECT_EQ(io.Data4[9], 0);  // non-numeric text stores 0
  EXPECT_EQ(FieldText(io.Data5[9], 9), "secretpw");
  EXPECT_EQ(FieldText(io.Data6[9], 16), std::string(15, 's'));
  EXPECT_EQ(io.Data7[9], 12);
  EXPECT_EQ(io.Data3[9][20], 0);
  EXPECT_EQ(io.Data3[9][5], 0) << "the rest of a field is zero-filled";
  // Entry 9 (index 8) untouched.
  EXPECT_EQ(io.Timeout[8], 0x55555555);
}

TEST(IoEntry, ClearLeavesData7AndOtherEntries) {
  ConfigBlock block{};
  IoSettings& io = block.io;
  for (int i = 0; i < 10; ++i) {
    io.Service[i] = 2;
    io.Timeout[i] = 12;
    io.Data4[i] = 7;
    io.Data7[i] = 3;
    std::strcpy(io.Data2[i], "hello");
  }
  ClearIoEntry(block, 4);
  EXPECT_EQ(io.Data7[4], 3);
  EXPECT_EQ(io.Service[4] + io.Timeout[4] + io.Data4[4], 0);
  EXPECT_EQ(io.Data2[4][0], '\0');
  EXPECT_EQ(io.Service[3], 2);
  EXPECT_EQ(std::string(io.Data2[5]), "hello");
  // Out-of-range indexes change nothing.
  const IoSettings cleared = io;
  ClearIoEntry(block, 10);
  ClearIoEntry(block, -1);
  EXPECT_EQ(std::memcmp(&io, &cleared, sizeof io), 0);
}

// A type 3 simulated modem on virtual time, connected and identified.
struct IoRig {
  CAdapter a;
  SimulatedPort port{SimulatedModem(3)};
  VirtualUi ui{a};

  explicit IoRig(bool verbose) {
    port.SetClock([this] { return ui.NowMs(); });
    port.Modem().State().verbose = verbose ? 1 : 0;
    a.SetPort(&port);
    a.PortNumber = "sim";
    a.BaudRate = "9600";
    a.Parity = "None";
    a.DataBits = "8";
    a.StopBits = "1";
    EXPECT_TRUE(a.OpenAndIdentify(true));
    EXPECT_TRUE(a.LinkState & LS_IDENTIFIED);
  }
  SimulatedModem& Modem() { return port.Modem(); }
  // The command lines the modem received from the mark on.
  std::vector<std::string> LinesSince(size_t mark) {
    const auto& all = port.Modem().ReceivedLines();
    return {all.begin() + static_cast<long>(mark), all.end()};
  }
  // Only the lines other than the bare "AT" of a probe.
  std::vector<std::string> CommandsSince(size_t mark) {
    std::vector<std::string> out;
    for (const std::string& l : LinesSince(mark))
      if (l != "AT" && !l.empty()) out.push_back(l);
    return out;
  }
};

SimIoEntry SmsEntry() {
  SimIoEntry e;
  e.service = 2;
  e.retry = 1;
  e.timeout = 30;
  e.priority = 1;
  e.data1 = "0701234567";
  e.data2 = "Door opened";
  e.data3 = "46705008999";
  e.data4 = 1;
  e.data5 = "pw123456";
  e.data6 = "Gate";
  return e;
}

TEST(IoDelete, VerboseAndNumericModems) {
  struct Case {
    bool verbose;
    std::vector<std::string> commands;
  };
  const Case cases[] = {
      {true, {"AT*WIOD=10", "AT&W"}},
      {false, {"ATV1", "AT*WIOD=10", "ATV0", "AT&W"}},
  };
  for (const Case& c : cases) {
    IoRig rig(c.verbose);
    rig.Modem().State().io[9] = SmsEntry();
    rig.a.Config.io.Service[9] = 2;
    rig.a.Config.io.Data7[9] = 5;
    CopyFieldText(rig.a.Config.io.Data2[9], 161, "Door opened");
    const size_t mark = rig.Modem().ReceivedLines().size();
    std::string failed = "stale";
    EXPECT_TRUE(DeleteIoEntry(rig.a, 10, failed));
    EXPECT_EQ(failed, "");
    EXPECT_EQ(rig.CommandsSince(mark), c.commands) << "verbose " << c.verbose;
    EXPECT_EQ(rig.Modem().State().io[9], SimIoEntry{});
    EXPECT_EQ(rig.Modem().Stored().io[9], SimIoEntry{}) << "stored with AT&W";
    EXPECT_EQ(rig.a.Config.io.Service[9], 0);
    EXPECT_EQ(rig.a.Config.io.Data2[9][0], 0);
    EXPECT_EQ(rig.a.Config.io.Data7[9], 5);
    EXPECT_EQ(rig.ui.steps, 1);
    EXPECT_EQ(rig.Modem().State().verbose, c.verbose ? 1 : 0) << "result mode as before";
  }
}

TEST(IoDelete, FailureLeavesRecordAndStoresNothing) {
  for (bool verbose : {true, false}) {
    IoRig rig(verbose);
    rig.Modem().Options().errorFor = {"*WIOD"};
    rig.Modem().State().io[2] = SmsEntry();
    rig.a.Config.io.Service[2] = 2;
    const size_t mark = rig.Modem().ReceivedLines().size();
    std::string failed;
    EXPECT_FALSE(DeleteIoEntry(rig.a, 3, failed));
    EXPECT_NE(failed.find("ERROR"), std::string::npos) << failed;
    EXPECT_EQ(rig.a.Config.io.Service[2], 2);
    const auto commands = rig.CommandsSince(mark);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "AT&W"), 0);
    if (!verbose) {
      // Numeric results are restored even after the failure.
      EXPECT_EQ(commands.back(), "ATV0");
      EXPECT_EQ(rig.Modem().State().verbose, 0);
    }
  }
}

TEST(IoDelete, RefusedStoreIsAFailure) {
  // The entry is gone from the modem's working memory but not from its
  // profile: the delete must not count as done.
  IoRig rig(true);
  rig.Modem().Options().errorFor = {"&W"};
  rig.Modem().Stored().io[0] = rig.Modem().State().io[0] = SmsEntry();
  std::string failed;
  std::string reported = "none";
  EXPECT_FALSE(DeleteIoEntry(rig.a, 1, failed, [&](const std::string& f) { reported = f; }));
  EXPECT_NE(failed.find("ERROR"), std::string::npos) << failed;
  EXPECT_EQ(reported, failed);
  EXPECT_EQ(rig.Modem().Stored().io[0], SmsEntry());
}

TEST(IoDelete, SilentModemOrBadEntryFails) {
  IoRig rig(true);
  rig.a.Config.io.Service[0] = 6;
  rig.Modem().Options().silent = true;
  std::string failed;
  EXPECT_FALSE(DeleteIoEntry(rig.a, 1, failed));
  EXPECT_EQ(rig.a.Config.io.Service[0], 6);

  IoRig rig2(true);
  const size_t mark = rig2.Modem().ReceivedLines().size();
  EXPECT_FALSE(DeleteIoEntry(rig2.a, 0, failed));
  EXPECT_FALSE(DeleteIoEntry(rig2.a, 11, failed));
  EXPECT_TRUE(rig2.LinesSince(mark).empty()) << "nothing sent for an entry outside 1..10";
}

TEST(IoTest, SendsTheServiceWithoutStoring) {
  struct Case {
    bool verbose;
    int entry;
    std::vector<std::string> commands;
  };
  const Case cases[] = {
      {true, 10, {"AT*WIOT=10"}},
      {false, 4, {"ATV1", "AT*WIOT=4", "ATV0"}},
  };
  for (const Case& c : cases) {
    IoRig rig(c.verbose);
    rig.Modem().State().io[static_cast<size_t>(c.entry - 1)] = SmsEntry();
    const ConfigBlock before = rig.a.Config;
    const size_t mark = rig.Modem().ReceivedLines().size();
    std::string failed;
    EXPECT_TRUE(TestIoEntry(rig.a, c.entry, failed));
    EXPECT_EQ(rig.CommandsSince(mark), c.commands);
    EXPECT_EQ(std::memcmp(&before, &rig.a.Config, sizeof before), 0);
    EXPECT_EQ(rig.ui.steps, 1);
  }
}

TEST(IoTest, FailureIsReportedAndNumericModeRestored) {
  IoRig rig(false);
  rig.Modem().Options().errorFor = {"*WIOT"};
  const size_t mark = rig.Modem().ReceivedLines().size();
  std::string failed;
  EXPECT_FALSE(TestIoEntry(rig.a, 1, failed));
  EXPECT_NE(failed.find("ERROR"), std::string::npos);
  EXPECT_EQ(rig.CommandsSince(mark), (std::vector<std::string>{"ATV1", "AT*WIOT=1", "ATV0"}));
  EXPECT_EQ(rig.ui.steps, 0);
}

TEST(IoWrite, EntryMaskSendsOnlyThatEntry) {
  IoRig rig(true);
  rig.a.Page(PG_IO).valid = 1;
  IoSettings& io = rig.a.Config.io;
  io.Service[1] = 2;
  io.Timeout[1] = 30;
  io.Data4[1] = 1;
  for (auto [field, text] : {std::pair{io.Data1[1], "0701234567"}, {io.Data2[1], "Door opened"},
                             {io.Data3[1], "46705008999"}, {io.Data5[1], "pw123456"}, {io.Data6[1], "Gate"}}) {
    std::strcpy(field, text);
  }
  rig.a.Config.io.Service[5] = 1;  // another edited row, not to be sent
  const size_t mark = rig.Modem().ReceivedLines().size();
  EXPECT_EQ(WriteConfiguration(rig.a, IoEntryMask(2)), 1);
  const auto commands = rig.CommandsSince(mark);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0],
            "AT*WIOL=2,2,0,30,0,\"0701234567\",\"Door opened\",\"46705008999\",1,\"pw123456\","
            "\"Gate\"");
  EXPECT_EQ(commands[1], "AT&W");
  EXPECT_EQ(rig.Modem().State().io[1].data2, "Door opened");
  EXPECT_EQ(rig.Modem().State().io[5].service, 0);
}

}  // namespace
}  // namespace kelvane
