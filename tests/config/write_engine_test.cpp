#include "config/write_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "config/field_table.h"
#include "config/modem_script.h"
#include "config/traffic_file_log.h"

namespace kelvane {
namespace {

using testing::ModemScript;
using testing::Rig;
using Lines = std::vector<std::string>;

// An identified modem of the given type on a scripted port, with every page
// valid.
struct WriteRig : Rig {
  ModemScript modem;
  explicit WriteRig(int modelType = 3) {
    port.respond = std::ref(modem);
    Open();
    a.LinkState |= LS_IDENTIFIED;
    a.ModelType = modelType;
    for (auto& p : a.pages) p.valid = 1;
  }
  // The lines sent after the probe and before "AT&W" or the restore: the
  // configuration commands themselves.
  Lines Commands() const {
    Lines out;
    for (const std::string& l : port.sentLines) {
      if (l.empty() || l == "AT" || l == "ATV1" || l == "ATV0" || l == "AT&W" || l == "ATQ0") continue;
      out.push_back(l);
    }
    return out;
  }
  bool Sent(const std::string& line) const {
    return std::find(port.sentLines.begin(), port.sentLines.end(), line) != port.sentLines.end();
  }
};

TEST(WriteConfiguration, SendsEverySectionInOrderAndStores) {
  WriteRig r;
  ConfigBlock& c = r.a.Config;
  SetText(c.basic.Modulation, "AUTO,1,300,33600,300,33600");
  c.basic.CountryCode = 0x3D;
  c.basic.FastDisconnect = 1;
  c.serial.DteRate = 9600;
  SetText(c.dial.StoredNumbers[2], "555");
  SetText(c.dial.BackupNumber, "5550001");
  c.dial.BackupRetries = 3;
  c.dial.BackupTime = 60;
  c.callerId.CidFormat = 2;
  c.callerId.CidMode = 1;
  SetText(c.callerId.AcceptedNumbers[9], "123");
  c.remote.RemoteEnable = 1;
  SetText(c.remote.RemotePassword, "pw");
  SetText(c.callback.CallbackNumbers[0], "777");
  SetText(c.callback.CallbackPasswords[0], "x");
  c.io.Service[9] = 4;
  SetText(c.io.Data2[9], "hello");
  c.io.Data7[9] = 99;  // never sent

  ASSERT_EQ(WriteConfiguration(r.a, SEC_ALL), 1);
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].text, "Write current profile to adapter?");
  EXPECT_EQ(r.ui.boxes[0].icon, MsgIcon::Question);
  EXPECT_EQ(r.ui.boxes[0].buttons, MsgButtons::YesNo);

  Lines expected = {
      "AT+MS=V32B,1,300,33600,300,33600B0", "AT+GCI=3D", "AT%C3", "AT%E2", "AT\\N3", "AT\\K5",
      "AT*WFD=1", "ATS0=2", "ATS7=50", "ATS10=14", "ATS25=5", "ATS30=0", "ATS91=13",
      "AT+IPR=9600", "AT+ICF=3,4", "AT&C1", "AT&D1", "AT&K0", "AT&S0", "ATW0", "ATX0", "ATE1",
      "AT*WIE=0",
      "AT&A0", "AT&B0", "AT&Z0=", "AT&Z1=", "AT&Z2=555", "AT&Z3=", "AT*WDB=\"5550001\",3,60",
      "AT*WCID=2,1"};
  for (int n = 1; n <= 9; ++n) expected.push_back("AT*WACCTAB=" + std::to_string(n) + ",\"\"");
  expected.push_back("AT*WACCTAB=10,\"123\"");
  expected.push_back("AT*WRCA=1");
  expected.push_back("AT*WRCP=pw");
  expected.push_back("AT*WCB=0");
  expected.push_back("AT*WCBTIME=0");
  expected.push_back("AT*WCBTAB=1,\"777\",\"x\"");
  for (int n = 2; n <= 10; ++n) expected.push_back("AT*WCBTAB=" + std::to_string(n) + ",\"\",\"\"");
  expected.push_back("AT*WIOP=100,50,0,0,0");
  for (int n = 1; n <= 9; ++n) {
    expected.push_back("AT*WIOL=" + std::to_string(n) + ",0,0,0,0,\"\",\"\",\"\",0,\"\",\"\"");
  }
  expected.push_back("AT*WIOL=10,4,0,0,0,\"\",\"hello\",\"\",0,\"\",\"\"");
  EXPECT_EQ(r.Commands(), expected);
  EXPECT_EQ(r.port.sentLines.back(), "AT&W");
  EXPECT_FALSE(r.Sent("ATV0"));
  EXPECT_FALSE(r.a.Busy);
  EXPECT_EQ(r.ui.steps, r.ui.rangeHigh);
}

TEST(WriteConfiguration, ModulationIsRewrittenForTheModem) {
  struct Case {
    const char* modulation;
    const char* sent;
  };
  for (const Case& k : {Case{"V32B,1,0,0,0,0", "AT+MS=V32,1,0,0,0,0B0"},
                        Case{"AUTOV8,1,300,56000", "AT+MS=V34,1,300,56000B0"},
                        Case{"AUTO,1,300,33600,300,33600", "AT+MS=V32B,1,300,33600,300,33600B0"},
                        Case{"BEL103,1", "AT+MS=BEL103,1B1"}, Case{"V34", "AT+MS=V34B0"}}) {
    WriteRig r;
    SetText(r.a.Config.basic.Modulation, k.modulation);
    ASSERT_EQ(WriteConfiguration(r.a, SEC_BASIC), 1);
    EXPECT_EQ(r.Commands().front(), k.sent);
  }
}

TEST(WriteConfiguration, FullLengthModulationIsSentWhole) {
  WriteRig r;
  const std::string full = "V23HDX,1,75000,75000,12000,12000";
  SetTextFull(r.a.Config.basic.Modulation, full);
  r.a.Config.basic.S0 = 7;  // the field after it in memory is not part of the text
  ASSERT_EQ(WriteConfiguration(r.a, SEC_BASIC), 1);
  EXPECT_EQ(r.Commands().front(), "AT+MS=" + full + "B0");
}

TEST(WriteConfiguration, WriteAllAnsweredNoSendsNothing) {
  WriteRig r;
  r.ui.answers.push_back(MsgAnswer::No);
  r.a.Page(PG_SERIAL).valid = 0;
  EXPECT_EQ(WriteConfiguration(r.a, SEC_ALL), 0);
  EXPECT_TRUE(r.port.sentLines.empty());
  EXPECT_EQ(r.ui.boxes.size(), 1u);  // no list of pages
  EXPECT_FALSE(r.a.Busy);
}

TEST(WriteConfiguration, PagesNeverReadAreSkippedAndListed) {
  WriteRig r;
  r.a.Page(PG_SERIAL).valid = 0;
  ASSERT_EQ(WriteConfiguration(r.a, SEC_ALL), 1);
  EXPECT_FALSE(r.Sent("AT+IPR=0"));
  EXPECT_TRUE(r.Sent("ATS0=2"));
  EXPECT_TRUE(r.Sent("AT*WCB=0"));
  EXPECT_EQ(r.port.sentLines.back(), "AT&W");
  ASSERT_EQ(r.ui.boxes.size(), 2u);
  EXPECT_EQ(r.ui.boxes[1].text, "The following pages was not saved: \r\nSerial\r\n");
  EXPECT_EQ(r.ui.boxes[1].icon, MsgIcon::None);
}

TEST(WriteConfiguration, EverySkippedPageIsNamedInScanOrder) {
  WriteRig r;
  for (int p : {PG_IO, PG_CALLERID, PG_BASIC, PG_REMOTE, PG_CALLBACK, PG_DIAL}) r.a.Page(p).valid = 0;
  ASSERT_EQ(WriteConfiguration(r.a, SEC_ALL), 1);
  EXPECT_EQ(r.ui.boxes.back().text,
            "The following pages was not saved: \r\nBasic\r\nDial options\r\nCaller ID\r\n"
            "Remote configuration\r\nCallback\r\nI/O\r\n");
}

TEST(WriteConfiguration, SinglePageNeverReadFailsWithoutSending) {
  WriteRig r;
  r.a.Page(PG_DIAL).valid = 0;
  EXPECT_EQ(WriteConfiguration(r.a, SEC_DIAL), 0);
  EXPECT_TRUE(r.port.sentLines.empty());
  ASSERT_EQ(r.ui.boxes.size(), 2u);
  EXPECT_EQ(r.ui.boxes[0].text, "Write operation halted, no response from modem.");
  EXPECT_EQ(r.ui.boxes[0].icon, MsgIcon::Error);
  EXPECT_EQ(r.ui.boxes[1].text, "The following pages was not saved: \r\nDial options\r\n");
  EXPECT_FALSE(r.a.Busy);
}

TEST(WriteConfiguration, RefusesWhileBusyOrWithoutIdentifiedModem) {
  WriteRig r;
  r.a.Busy = true;
  EXPECT_EQ(WriteConfiguration(r.a, SEC_BASIC), 0);
  r.a.Busy = false;
  r.a.LinkState = LS_PORT_OPEN | LS_FILE;
  EXPECT_EQ(WriteConfiguration(r.a, SEC_ALL), 0);
  EXPECT_TRUE(r.port.sentLines.empty());
  EXPECT_TRUE(r.ui.boxes.empty());
}

TEST(WriteConfiguration, LocalPortFollowsTheModemRateAndFormat) {
  WriteRig r;
  r.a.Config.serial.DteRate = 19200;
  r.a.Config.serial.DteDataBits = 7;
  r.a.Config.serial.DteParity = 'E';
  r.a.Config.serial.DteStopBits = 1;
  ASSERT_EQ(WriteConfiguration(r.a, SEC_SERIAL), 1);
  EXPECT_TRUE(r.Sent("AT+IPR=19200"));
  EXPECT_TRUE(r.Sent("AT+ICF=5,1"));
  EXPECT_EQ(r.a.BaudRate, "19200");
  EXPECT_EQ(r.a.DataBits, "7");
  EXPECT_EQ(r.a.Parity, "Even");
  EXPECT_EQ(r.a.StopBits, "1");
  EXPECT_EQ(r.port.lastSettings, "19200,E,7,1");
}

TEST(WriteConfiguration, AutomaticRateLeavesTheLocalRate) {
  WriteRig r;
  r.a.Config.serial.DteRate = 0;
  ASSERT_EQ(WriteConfiguration(r.a, SEC_SERIAL), 1);
  EXPECT_TRUE(r.Sent("AT+IPR=0"));
  EXPECT_EQ(r.a.BaudRate, "9600");
}

TEST(WriteConfiguration, FormatOutsideTheTableGoesOutAsEightNoneOneOnBothSides) {
  WriteRig r;
  r.a.Config.serial.DteDataBits = 7;
  r.a.Config.serial.DteParity = 'N';
  r.a.Config.serial.DteStopBits = 1;
  ASSERT_EQ(WriteConfiguration(r.a, SEC_SERIAL), 1);
  EXPECT_TRUE(r.Sent("AT+ICF=3,4"));
  // The local port takes what the modem was told, not the 7N1 of the record.
  EXPECT_EQ(r.a.DataBits, "8");
  EXPECT_EQ(r.a.Parity, "None");
  EXPECT_EQ(r.a.StopBits, "1");
  EXPECT_EQ(r.port.lastSettings, "9600,N,8,1");
}

TEST(WriteConfiguration, ResultFormatOfTheProfileDecidesTheModeLeft) {
  {
    WriteRig r;
    r.modem.verbose = false;
    r.a.Config.serial.ResultFormat = 1;
    ASSERT_EQ(WriteConfiguration(r.a, SEC_SERIAL), 1);
    EXPECT_TRUE(r.Sent("ATV1"));
    EXPECT_FALSE(r.Sent("ATV0"));
    EXPECT_TRUE(r.modem.verbose);
  }
  {
    WriteRig r;
    r.a.Config.serial.ResultFormat = 0;
    r.a.Config.serial.ResultSuppression = 1;
    ASSERT_EQ(WriteConfiguration(r.a, SEC_SERIAL), 1);
    const Lines& l = r.port.sentLines;
    ASSERT_GE(l.size(), 3u);
    EXPECT_EQ(l[l.size() - 3], "AT");
    EXPECT_EQ(l[l.size() - 2], "ATV0");
    EXPECT_EQ(l.back(), "AT&W");  // answered "0\r" in numeric mode
    EXPECT_FALSE(r.modem.verbose);
    EXPECT_TRUE(r.a.QuietWasOn);
  }
  {
    // Without the Serial section the mode the modem was found in comes back.
    WriteRig r;
    r.modem.verbose = false;
    ASSERT_EQ(WriteConfiguration(r.a, SEC_REMOTE), 1);
    EXPECT_FALSE(r.modem.verbose);
  }
}

TEST(WriteConfiguration, IoSelectionsChooseParametersAndEntries) {
  struct Case {
    int mask;
    Lines commands;
  };
  const std::string entry9 = "AT*WIOL=9,0,0,0,0,\"\",\"\",\"\",0,\"\",\"\"";
  const std::string params = "AT*WIOP=100,50,0,0,0";
  for (const Case& k : {Case{0x8026, {entry9}}, Case{0x8001, {params}}}) {
    WriteRig r;
    ASSERT_EQ(WriteConfiguration(r.a, k.mask), 1);
    EXPECT_EQ(r.Commands(), k.commands) << std::hex << k.mask;
    EXPECT_EQ(r.ui.steps, r.ui.rangeHigh) << std::hex << k.mask;
  }
  WriteRig all;
  ASSERT_EQ(WriteConfiguration(all.a, 0x8002), 1);
  const Lines sent = all.Commands();
  ASSERT_EQ(sent.size(), 10u);
  EXPECT_EQ(sent[0].rfind("AT*WIOL=1,", 0), 0u);
  EXPECT_EQ(sent[9].rfind("AT*WIOL=10,", 0), 0u);
}

TEST(WriteConfiguration, NothingLeftToWriteFailsBeforeTheProbe) {
  struct Case {
    const char* name;
    int modelType;
    int invalidPage;  // -1: every page valid
    int mask;
    const char* skippedList;  // nullptr: no list
  };
  for (const Case& k : {
           Case{"I/O page never read", 3, PG_IO, 0x8003, "The following pages was not saved: \r\nI/O\r\n"},
           Case{"I/O to a model without I/O", 2, -1, 0x8003, nullptr},
           Case{"remote never read, with the diagnostic bit", 3, PG_REMOTE, SEC_REMOTE | SEC_DIAGNOSTIC,
                "The following pages was not saved: \r\nRemote configuration\r\n"},
           Case{"diagnostic bit alone", 3, -1, SEC_DIAGNOSTIC, nullptr},
       }) {
    WriteRig r(k.modelType);
    if (k.invalidPage >= 0) r.a.Page(k.invalidPage).valid = 0;
    EXPECT_EQ(WriteConfiguration(r.a, k.mask), 0) << k.name;
    EXPECT_TRUE(r.port.sentLines.empty()) << k.name;  // no probe, no "AT&W"
    ASSERT_GE(r.ui.boxes.size(), 1u) << k.name;
    EXPECT_EQ(r.ui.boxes[0].text, "Write operation halted, no response from modem.") << k.name;
    ASSERT_EQ(r.ui.boxes.size(), k.skippedList ? 2u : 1u) << k.name;
    if (k.skippedList) {
      EXPECT_EQ(r.ui.boxes[1].text, k.skippedList) << k.name;
    }
    EXPECT_FALSE(r.a.Busy) << k.name;
  }
}

TEST(WriteConfiguration, IoIsWrittenOnlyToTypeThree) {
  WriteRig r(2);
  r.a.Page(PG_IO).valid = 0;
  ASSERT_EQ(WriteConfiguration(r.a, SEC_BASIC | 0x8003), 1);
  for (const std::string& c : r.Commands()) EXPECT_EQ(c.rfind("AT*WIO", 0), std::string::npos) << c;
  EXPECT_EQ(r.ui.boxes.size(), 0u);  // not listed as skipped either
}

TEST(WriteConfiguration, ErrorHaltsWithTheAnswerAndTheFieldAndStoresNothing) {
  WriteRig r;
  r.modem.verbose = false;
  r.a.Config.serial.ResultFormat = 1;
  r.modem.errors.insert("AT&D1");
  EXPECT_EQ(WriteConfiguration(r.a, SEC_BASIC | SEC_SERIAL | SEC_DIAL), 0);
  EXPECT_FALSE(r.Sent("AT&K0"));
  EXPECT_FALSE(r.Sent("AT&A0"));
  EXPECT_FALSE(r.Sent("AT&W"));
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].text,
            "The write operation halted with the following error string:\n\r\n\rAT&D1\r\r\nERROR\r\n"
            "\n\r\n\rThe modem refused SerialSettings.DtrControl (DTR control [&D]).");
  EXPECT_EQ(r.ui.boxes[0].icon, MsgIcon::Error);
  // The modem was found in numeric mode and is put back.
  EXPECT_EQ(r.port.sentLines.back(), "ATV0");
  EXPECT_FALSE(r.a.Busy);
}

TEST(WriteConfiguration, AHaltedMessageNeverQuotesAPassword) {
  struct Case {
    int sections;
    const char* refused;
  };
  for (const Case& c : {Case{SEC_REMOTE, "AT*WRCP=TopSecret9"}, Case{SEC_CALLBACK, "AT*WCBTAB=1,\"\",\"cbpass99\""},
                        Case{0x8006, "AT*WIOL=1,0,0,0,0,\"\",\"\",\"\",0,\"smspw1\",\"\""}}) {
    WriteRig r;
    SetText(r.a.Config.remote.RemotePassword, "TopSecret9");
    SetText(r.a.Config.callback.CallbackPasswords[0], "cbpass99");
    SetText(r.a.Config.io.Data5[0], "smspw1");
    r.modem.errors.insert(c.refused);
    EXPECT_EQ(WriteConfiguration(r.a, c.sections), 0) << c.refused;
    ASSERT_EQ(r.ui.boxes.size(), 1u) << c.refused;
    const std::string& text = r.ui.boxes[0].text;
    EXPECT_NE(text.find("ERROR"), std::string::npos) << text;
    EXPECT_NE(text.find("********"), std::string::npos) << text;
    for (const char* secret : {"TopSecret9", "cbpass99", "smspw1"}) {
      EXPECT_EQ(text.find(secret), std::string::npos) << text;
    }
  }
}

TEST(WriteConfiguration, CancelHaltsTheWrite) {
  WriteRig r;
  r.modem.mute.insert("AT*WCBTIME=0");
  bool cancelled = false;
  int waits = 0;
  // Cancel is pressed on the second pass of the wait, after the echo came.
  r.ui.onPump = [&](testing::VirtualUi&) {
    if (!r.port.sentLines.empty() && r.port.sentLines.back() == "AT*WCBTIME=0" && ++waits == 2) {
      cancelled = true;
      r.a.AbortRequested = true;
    }
  };
  EXPECT_EQ(WriteConfiguration(r.a, SEC_CALLBACK | SEC_REMOTE), 0);
  EXPECT_TRUE(cancelled);
  EXPECT_FALSE(r.Sent("AT*WCBTAB=1,\"\",\"\""));
  EXPECT_FALSE(r.Sent("AT&W"));
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].text,
            "The write operation halted with the following error string:\n\r\n\rAT*WCBTIME=0\r");
  EXPECT_FALSE(r.a.AbortRequested);
  EXPECT_FALSE(r.a.Busy);
}

TEST(WriteConfiguration, StoreThatFailsIsReportedAsNotStored) {
  const std::string notStored =
      "The configuration was sent, but the modem did not store it (\"AT&W\" failed). The modem keeps the "
      "new settings only until its next reset.\n\r\n\r";
  struct Case {
    const char* name;
    void (*spoil)(WriteRig&);
    std::string shown;
  };
  for (const Case& k : {
           Case{"ERROR", [](WriteRig& r) { r.modem.errors.insert("AT&W"); }, "AT&W\r\r\nERROR\r\n"},
           Case{"no answer",
                [](WriteRig& r) {
                  r.modem.echo = false;
                  r.modem.mute.insert("AT&W");
                },
                "No response from modem."},
           Case{"port lost",
                [](WriteRig& r) {
                  r.modem.onLine = [&r](const std::string& l) {
                    if (l == "AT&W") r.port.SetLost(true);
                  };
                },
                "Modem disconnected during process!"},
       }) {
    WriteRig r;
    k.spoil(r);
    EXPECT_EQ(WriteConfiguration(r.a, SEC_REMOTE), 0) << k.name;
    EXPECT_TRUE(r.Sent("AT*WRCP=")) << k.name;
    ASSERT_EQ(r.ui.boxes.size(), 1u) << k.name;
    EXPECT_EQ(r.ui.boxes[0].text, notStored + k.shown) << k.name;
    EXPECT_EQ(r.ui.boxes[0].icon, MsgIcon::Error) << k.name;
    EXPECT_FALSE(r.a.Busy) << k.name;
  }
}

TEST(WriteConfiguration, PortLostAnywhereSaysTheModemIsGone) {
  for (const char* lostAt : {"AT", "ATV1", "AT+ICF=3,4", "AT*WCBTAB=4,\"\",\"\""}) {
    WriteRig r;
    r.modem.verbose = false;  // so that "ATV1" is sent
    r.modem.onLine = [&r, lostAt](const std::string& l) {
      if (l == lostAt) r.port.SetLost(true);
    };
    EXPECT_EQ(WriteConfiguration(r.a, SEC_SERIAL | SEC_CALLBACK), 0) << lostAt;
    EXPECT_FALSE(r.Sent("AT&W")) << lostAt;
    ASSERT_EQ(r.ui.boxes.size(), 1u) << lostAt;
    EXPECT_EQ(r.ui.boxes[0].text,
              "The write operation halted with the following error string:\n\r\n\r"
              "Modem disconnected during process!")
        << lostAt;
    EXPECT_FALSE(r.a.QuietWasOn) << lostAt;
  }
}

TEST(WriteConfiguration, ControlCharactersInTextsAreNotSent) {
  WriteRig r;
  SetText(r.a.Config.remote.RemotePassword, "ab\rATZ\n");
  SetText(r.a.Config.dial.StoredNumbers[0], "12\r34");
  ASSERT_EQ(WriteConfiguration(r.a, SEC_REMOTE | SEC_DIAL), 1);
  EXPECT_TRUE(r.Sent("AT*WRCP=abATZ"));
  EXPECT_TRUE(r.Sent("AT&Z0=1234"));
  EXPECT_FALSE(r.Sent("ATZ"));
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

// A double quote in a text the write quotes would end the quoted argument, a
// semicolon in a bare one the command: the write stops before the probe,
// names the entry and field, and sends nothing, wherever the text came from
// (the block is what a page, a profile file or a modem's answer left). Texts
// the write does not send (other sections, other entries, the I/O section of
// another model) and characters harmless where they stand do not stop it.
TEST(WriteConfiguration, ATextThatWouldEndItsCommandStopsTheWriteBeforeAnythingIsSent) {
  struct Case {
    const char* name;
    std::function<void(ConfigBlock&)> edit;
    int sections;
    int modelType;
    const char* where;  // nullptr: the write goes through
  };
  const Case cases[] = {
      {"SMS text of entry 4", [](ConfigBlock& c) { SetText(c.io.Data2[3], "Door \"A\", open"); }, SEC_IO | 3, 3,
       "I/O page, I/O Entry 4 Data 2: a double quote (\") is not taken: the modem gets this text inside double quotes "
       "(AT*WIOL)"},
      {"number of entry 1", [](ConfigBlock& c) { SetText(c.io.Data1[0], "\""); }, SEC_ALL, 3,
       "I/O page, I/O Entry 1 Data 1"},
      {"provider number", [](ConfigBlock& c) { SetText(c.io.Data3[9], "12\"3"); }, SEC_IO | (10 << 2) | 2, 3,
       "I/O page, I/O Entry 10 Data 3"},
      {"password", [](ConfigBlock& c) { SetText(c.io.Data5[1], "a\"b"); }, SEC_IO | 2, 3, "I/O page, I/O Entry 2 Data 5"},
      {"sender", [](ConfigBlock& c) { SetText(c.io.Data6[2], "\"x"); }, SEC_IO | 3, 3, "I/O page, I/O Entry 3 Data 6"},
      {"backup number", [](ConfigBlock& c) { SetText(c.dial.BackupNumber, "1\""); }, SEC_DIAL, 3,
       "Dial options page, Dial Backup [*WDB] Number"},
      {"accepted number", [](ConfigBlock& c) { SetText(c.callerId.AcceptedNumbers[6], "1\""); }, SEC_CALLERID, 2,
       "Caller ID page, Accepted numbers [*WACCTAB] 7"},
      {"callback number", [](ConfigBlock& c) { SetText(c.callback.CallbackNumbers[0], "\"1"); }, SEC_CALLBACK, 1,
       "Callback page, Callback table [*wcbtab] 1: Number"},
      {"callback password", [](ConfigBlock& c) { SetText(c.callback.CallbackPasswords[9], "pass\"wd"); },
       SEC_CALLBACK, 4, "Callback page, Callback table [*wcbtab] 10: Password"},
      {"modulation carrying commands", [](ConfigBlock& c) { SetText(c.basic.Modulation, "V34;*WRCA=1;S0=1"); },
       SEC_BASIC, 3,
       "Basic page, Modulation [+MS]: a semicolon (;) is not taken: the modem would run what follows it as a command of "
       "its own. Nothing was sent."},
      {"stored number carrying commands", [](ConfigBlock& c) { SetText(c.dial.StoredNumbers[2], "555;*WRCA=1"); },
       SEC_DIAL, 1, "Dial options page, Stores phone numbers [&Z] 2: a semicolon"},
      {"remote password carrying commands", [](ConfigBlock& c) { SetText(c.remote.RemotePassword, "ab;&F;x"); },
       SEC_REMOTE, 2, ": a semicolon (;) is not taken"},
      // Not sent by this write, or harmless where it stands: written as usual.
      {"semicolon inside a quoted text", [](ConfigBlock& c) { SetText(c.io.Data2[3], "Door A; open"); }, SEC_IO | 3,
       3, nullptr},
      {"entry not selected", [](ConfigBlock& c) { SetText(c.io.Data2[3], "\""); }, SEC_IO | (5 << 2) | 2, 3,
       nullptr},
      {"parameters only", [](ConfigBlock& c) { SetText(c.io.Data2[3], "\""); }, SEC_IO | 1, 3, nullptr},
      {"another section", [](ConfigBlock& c) { SetText(c.io.Data2[3], "\""); }, SEC_BASIC, 3, nullptr},
      {"backup number not sent to type 2", [](ConfigBlock& c) { SetText(c.dial.BackupNumber, "\""); }, SEC_DIAL, 2,
       nullptr},
      {"I/O not written to type 2", [](ConfigBlock& c) { SetText(c.io.Data2[0], "\""); }, SEC_ALL, 2, nullptr},
      {"a quote is no dial character", [](ConfigBlock& c) { SetText(c.dial.StoredNumbers[0], "1\""); }, SEC_DIAL, 3,
       "Dial options page, Stores phone numbers [&Z] 0: \"1\"\" is not taken: the modem gets this text bare"},
      {"modulation setting the password", [](ConfigBlock& c) { SetText(c.basic.Modulation, "V34*WRCP=owned12"); },
       SEC_BASIC, 1, "Basic page, Modulation [+MS]: \"V34*WRCP=owned12\" is not taken"},
      {"modulation resetting the modem", [](ConfigBlock& c) { SetText(c.basic.Modulation, "V34&F"); }, SEC_ALL, 4,
       "Basic page, Modulation [+MS]: \"V34&F\" is not taken"},
      {"six numbers after the carrier", [](ConfigBlock& c) { SetText(c.basic.Modulation, "V34,1,0,0,0,0,0"); },
       SEC_BASIC, 2, "Basic page, Modulation [+MS]"},
      {"stored number resetting the modem", [](ConfigBlock& c) { SetText(c.dial.StoredNumbers[3], "555&F"); },
       SEC_DIAL, 2, "Stores phone numbers [&Z] 3: \"555&F\" is not taken"},
      {"password beyond what the modem takes", [](ConfigBlock& c) { SetText(c.remote.RemotePassword, "p\xE4sswort"); },
       SEC_REMOTE, 2, "Remote Configuration Password [*WRCP]: the password is not taken"},
      {"modem's own modulation", [](ConfigBlock& c) { SetText(c.basic.Modulation, "V90A,1,300,56000,300,33600"); },
       SEC_BASIC, 3, nullptr},
      {"dial string with pauses", [](ConfigBlock& c) { SetText(c.dial.StoredNumbers[0], "0W,555 12*#+!@P"); },
       SEC_DIAL, 3, nullptr},
      {"unquoted remote password", [](ConfigBlock& c) { SetText(c.remote.RemotePassword, "pw\"pw"); }, SEC_REMOTE,
       3, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteRig r(c.modelType);
    c.edit(r.a.Config);
    const int result = WriteConfiguration(r.a, c.sections);
    if (!c.where) {
      EXPECT_EQ(result, 1);
      EXPECT_TRUE(r.Sent("AT&W"));
      continue;
    }
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(r.port.sentBytes.empty()) << r.port.sentBytes;
    EXPECT_FALSE(r.a.Busy);
    const auto halted = std::find_if(r.ui.boxes.begin(), r.ui.boxes.end(), [](const auto& b) {
      return b.text.rfind("The write operation halted with the following error string:\n\r\n\r", 0) == 0;
    });
    ASSERT_NE(halted, r.ui.boxes.end());
    EXPECT_NE(halted->text.find(c.where), std::string::npos) << halted->text;
    EXPECT_NE(halted->text.find("Nothing was sent."), std::string::npos) << halted->text;
    EXPECT_EQ(halted->icon, MsgIcon::Error);
  }
}

// Every text goes to the modem as the table says: inside double quotes or
// not, and a password masked in the traffic log wherever its command puts it.
TEST(WriteConfiguration, EveryTextIsSentAsTheTableSays) {
  for (const FieldInfo& f : ConfigFields()) {
    if ((f.kind != FieldKind::Text && f.kind != FieldKind::TextArray) || f.map == ValueMap::Modulation) continue;
    SCOPED_TRACE(f.FullName());
    WriteRig r;
    char* last = reinterpret_cast<char*>(&r.a.Config) + f.offset + f.width * (f.count - 1);
    // A text every form takes, the dial strings' among them.
    std::strcpy(last, "7#*7");
    ASSERT_EQ(WriteConfiguration(r.a, SEC_ALL), 1);
    const auto line = std::find_if(r.port.sentLines.begin(), r.port.sentLines.end(),
                                   [](const std::string& l) { return l.find("7#*7") != std::string::npos; });
    ASSERT_NE(line, r.port.sentLines.end());
    EXPECT_EQ(line->find("\"7#*7\"") != std::string::npos, f.quoted) << *line;
    EXPECT_EQ(MaskPasswordFields(*line).find("7#*7") == std::string::npos, f.secret) << *line;
  }
}

}  // namespace
}  // namespace kelvane
