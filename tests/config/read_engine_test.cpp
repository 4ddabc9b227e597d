#include "config/read_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdio>

#include "config/modem_script.h"

namespace kelvane {
namespace {

using testing::ClassicAnswers;
using testing::ModemScript;
using testing::Rig;

// An identified modem of the given type on a scripted port.
struct ReadRig : Rig {
  ModemScript modem;
  explicit ReadRig(int modelType = 3) {
    modem.answers = ClassicAnswers();
    port.respond = std::ref(modem);
    Open();
    a.LinkState |= LS_IDENTIFIED;
    a.ModelType = modelType;
  }
  bool Sent(const std::string& line) const {
    return std::find(port.sentLines.begin(), port.sentLines.end(), line) != port.sentLines.end();
  }
  int Valid(int section) { return a.Page(PageOfSection(section)).valid; }
};

TEST(ReadConfiguration, ReadsEverySectionFromClassicListings) {
  ReadRig r;
  ASSERT_EQ(ReadConfiguration(r.a, SEC_ALL), 1);
  const ConfigBlock& c = r.a.Config;

  EXPECT_EQ(+c.basic.ErrorCorrectionN, 4);
  EXPECT_EQ(+c.basic.S0, 5);
  EXPECT_EQ(+c.basic.S7, 45);
  EXPECT_EQ(+c.basic.S10, 20);
  EXPECT_EQ(+c.basic.S25, 7);
  EXPECT_EQ(+c.basic.S30, 9);
  EXPECT_EQ(+c.basic.BreakControl, 3);  // S40 24
  EXPECT_EQ(+c.basic.CompressionC, 2);  // S41 6
  EXPECT_EQ(+c.basic.LineQuality, 1);
  EXPECT_EQ(+c.basic.S91, 11);
  EXPECT_EQ(GetText(c.basic.Modulation), "V32B,1,300,14400,300,14400");
  EXPECT_EQ(+c.basic.CountryCode, 0x3D);
  EXPECT_EQ(+c.basic.FastDisconnect, 1);

  EXPECT_EQ(+c.serial.DteRate, 19200);
  EXPECT_EQ(+c.serial.DteDataBits, 7);
  EXPECT_EQ(+c.serial.DteParity, 'O');
  EXPECT_EQ(+c.serial.DteStopBits, 2);
  EXPECT_EQ(+c.serial.LocalEcho, 1);
  EXPECT_EQ(+c.serial.ResultFormat, 1);
  EXPECT_EQ(+c.serial.EnhancedResults, 2);
  EXPECT_EQ(+c.serial.ReducedResults, 3);
  EXPECT_EQ(+c.serial.DcdControl, 0);
  EXPECT_EQ(+c.serial.DtrControl, 3);
  EXPECT_EQ(+c.serial.ModemFlowControl, 4);
  EXPECT_EQ(+c.serial.DsrControl, 1);
  EXPECT_EQ(+c.serial.IgnoreErrors, 1);

  EXPECT_EQ(+c.dial.DialAbort, 1);
  EXPECT_EQ(+c.dial.HotCall, 2);
  EXPECT_EQ(GetText(c.dial.BackupNumber), "5550001");
  EXPECT_EQ(+c.dial.BackupRetries, 3);
  EXPECT_EQ(+c.dial.BackupTime, 60);

  EXPECT_EQ(+c.callerId.CidFormat, 1);
  EXPECT_EQ(+c.callerId.CidMode, 2);
  EXPECT_EQ(GetText(c.callerId.AcceptedNumbers[0]), "5551111");
  EXPECT_EQ(GetText(c.callerId.AcceptedNumbers[1]), "");
  EXPECT_EQ(GetText(c.callerId.AcceptedNumbers[2]), "12345");  // "3 1 2 34 5": blanks go
  EXPECT_EQ(GetText(c.callerId.AcceptedNumbers[8]), "01234567890123456789");  // 20 at most
  EXPECT_EQ(GetText(c.callerId.AcceptedNumbers[9]), "987");  // no separator after "10"

  EXPECT_EQ(+c.remote.RemoteEnable, 1);
  EXPECT_EQ(GetText(c.remote.RemotePassword), "secret");

  EXPECT_EQ(+c.callback.CallbackMode, 2);
  EXPECT_EQ(+c.callback.CallbackTime, 30);
  EXPECT_EQ(GetText(c.callback.CallbackNumbers[9]), "5550010");
  EXPECT_EQ(GetText(c.callback.CallbackPasswords[0]), "pw1");

  EXPECT_EQ(+c.io.PulseTa, 120);
  EXPECT_EQ(+c.io.PulseTp, 60);
  EXPECT_EQ(+c.io.TrigType, 1);
  EXPECT_EQ(+c.io.TrigLevel, 1);
  EXPECT_EQ(+c.io.OutputCtrl, 1);
  EXPECT_EQ(+c.io.Service[6], 7);
  EXPECT_EQ(+c.io.Retry[0], 2);
  EXPECT_EQ(+c.io.Timeout[9], 10);
  EXPECT_EQ(+c.io.Priority[3], 1);
  EXPECT_EQ(GetText(c.io.Data1[4]), "d1-5");
  EXPECT_EQ(GetText(c.io.Data2[9]), "text 10");
  EXPECT_EQ(+c.io.Data4[1], 102);
  EXPECT_EQ(GetText(c.io.Data6[9]), "d6-10");

  const DiagnosticInfo& d = r.a.Diagnostic;
  EXPECT_EQ(d.NormText, "V.34");
  EXPECT_FLOAT_EQ(d.RxSpeed, 336.0f);
  EXPECT_FLOAT_EQ(d.TxSpeed, 312.0f);
  EXPECT_EQ(d.Snr, 37);
  EXPECT_EQ(d.RxLevel, -21);
  EXPECT_EQ(d.EchoLevel, -45);
  EXPECT_EQ(d.NearEchoLevel, -30);
  EXPECT_EQ(d.FarEchoLevel, -52);
  EXPECT_EQ(d.InfoText.rfind("Norm", 0), 0u);
  EXPECT_EQ(d.InfoText.find("OK"), std::string::npos);
  EXPECT_NE(d.InfoText.find("Far Echo Level  52 dB"), std::string::npos);
  EXPECT_EQ(d.SoftwareVersion, "Dalmarin RM-40 485 7730-08 SW 3.14");
  EXPECT_EQ(d.AdapterVersion, "HW 2.1BOOT 1.0");  // line ends removed
  EXPECT_EQ(d.DipSwitches[2], 255);
  EXPECT_EQ(d.DipSwitches[3], 16);

  for (int s : {SEC_BASIC, SEC_SERIAL, SEC_DIAL, SEC_CALLERID, SEC_REMOTE, SEC_DIAGNOSTIC,
                SEC_CALLBACK, SEC_IO}) {
    EXPECT_EQ(r.Valid(s), 1) << s;
  }
  EXPECT_FALSE(r.a.Busy);
}

TEST(ReadConfiguration, RefusesWhileBusyOrWithoutIdentifiedModem) {
  ReadRig r;
  r.a.Busy = true;
  EXPECT_EQ(ReadConfiguration(r.a, SEC_BASIC), 0);
  EXPECT_TRUE(r.port.sentLines.empty());
  EXPECT_TRUE(r.a.Busy);  // someone else's operation keeps its flag

  r.a.Busy = false;
  r.a.LinkState = LS_PORT_OPEN;
  EXPECT_EQ(ReadConfiguration(r.a, SEC_BASIC), 0);
  EXPECT_TRUE(r.port.sentLines.empty());
}

TEST(ReadConfiguration, NumericModeIsSwitchedToVerboseAndBack) {
  ReadRig r;
  r.modem.verbose = false;
  ASSERT_EQ(ReadConfiguration(r.a, SEC_CALLBACK), 1);
  const auto& lines = r.port.sentLines;
  const auto v1 = std::find(lines.begin(), lines.end(), "ATV1");
  const auto wcb = std::find(lines.begin(), lines.end(), "AT*WCB?");
  ASSERT_NE(v1, lines.end());
  EXPECT_LT(v1, wcb);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "AT");
  EXPECT_EQ(lines.back(), "ATV0");
  EXPECT_FALSE(r.modem.verbose);
}

TEST(ReadConfiguration, NumericModemReadsAsNumericResultFormat) {
  ReadRig r;
  r.modem.verbose = false;
  ASSERT_EQ(ReadConfiguration(r.a, SEC_SERIAL), 1);
  // The listing said V1 only because the read had switched the modem.
  EXPECT_EQ(+r.a.Config.serial.ResultFormat, 0);

  ReadRig verbose;
  ASSERT_EQ(ReadConfiguration(verbose.a, SEC_SERIAL), 1);
  EXPECT_EQ(+verbose.a.Config.serial.ResultFormat, 1);
}

TEST(ReadConfiguration, NumericModeIsRestoredAfterAFailureToo) {
  ReadRig r;
  r.modem.verbose = false;
  r.modem.errors.insert("AT*WCBTIME?");
  EXPECT_EQ(ReadConfiguration(r.a, SEC_CALLBACK), 0);
  EXPECT_EQ(r.port.sentLines.back(), "ATV0");
  EXPECT_FALSE(r.modem.verbose);
  EXPECT_FALSE(r.a.Busy);
}

TEST(ReadConfiguration, VerboseModemGetsNoResultCodeCommands) {
  ReadRig r;
  ASSERT_EQ(ReadConfiguration(r.a, SEC_BASIC), 1);
  EXPECT_FALSE(r.Sent("ATV1"));
  EXPECT_FALSE(r.Sent("ATV0"));
}

TEST(ReadConfiguration, RegisterBitsGiveBreakCompressionAndLineQuality) {
  struct Case {
    int s40, s41, breakControl, compression, lineQuality;
  };
  for (const Case& k : {Case{40, 4, 5, 0, 1}, Case{0, 67, 0, 3, 2}, Case{63, 0, 7, 0, 0},
                        Case{8, 0x41, 1, 1, 2}}) {
    ReadRig r;
    std::string& v = r.modem.answers["AT&V"];
    char s40[16], s41[16];
    std::snprintf(s40, sizeof s40, "S40:%03d", k.s40);
    std::snprintf(s41, sizeof s41, "S41:%03d", k.s41);
    v.replace(v.find("S40:024"), 7, s40);
    v.replace(v.find("S41:006"), 7, s41);
    ASSERT_EQ(ReadConfiguration(r.a, SEC_BASIC), 1);
    EXPECT_EQ(+r.a.Config.basic.BreakControl, k.breakControl) << k.s40;
    EXPECT_EQ(+r.a.Config.basic.CompressionC, k.compression) << k.s41;
    EXPECT_EQ(+r.a.Config.basic.LineQuality, k.lineQuality) << k.s41;
  }
}

TEST(ReadConfiguration, CharacterFormatTable) {
  struct Case {
    const char* answer;
    int data;
    char parity;
    int stop;
  };
  for (const Case& k : {Case{"+ICF: (3,4)", 8, 'N', 1}, Case{"+ICF: (4,2)", 7, 'O', 2},
                        Case{"+ICF: (5,1)", 7, 'E', 1}, Case{"+ICF: (1,1)", 8, 'E', 2},
                        Case{"+ICF: (0)", 8, 'N', 1}}) {
    ReadRig r;
    r.modem.answers["AT+ICF?"] = k.answer;
    ASSERT_EQ(ReadConfiguration(r.a, SEC_SERIAL), 1) << k.answer;
    EXPECT_EQ(+r.a.Config.serial.DteDataBits, k.data) << k.answer;
    EXPECT_EQ(+r.a.Config.serial.DteParity, k.parity) << k.answer;
    EXPECT_EQ(+r.a.Config.serial.DteStopBits, k.stop) << k.answer;
  }
}

TEST(ReadConfiguration, UnknownOrMalformedCharacterFormatFailsTheSerialSection) {
  for (const char* answer : {"+ICF: (6,4)", "+ICF: 3,4", "+ICF: ()", "("}) {
    ReadRig r;
    r.modem.answers["AT+ICF?"] = answer;
    EXPECT_EQ(ReadConfiguration(r.a, SEC_SERIAL | SEC_DIAL), 0) << answer;
    EXPECT_EQ(r.Valid(SEC_SERIAL), 0) << answer;
    EXPECT_FALSE(r.Sent("AT*WIE?")) << answer;
    EXPECT_EQ(r.Valid(SEC_DIAL), 0) << answer;  // not reached
  }
}

TEST(ReadConfiguration, AutomaticRateSkipsTheFormatQuery) {
  ReadRig r;
  r.modem.answers["AT+IPR?"] = "+IPR: 0";
  r.a.Config.serial.DteDataBits = 7;
  r.a.Config.serial.DteParity = 'E';
  ASSERT_EQ(ReadConfiguration(r.a, SEC_SERIAL), 1);
  EXPECT_FALSE(r.Sent("AT+ICF?"));
  EXPECT_EQ(+r.a.Config.serial.DteRate, 0);
  EXPECT_EQ(+r.a.Config.serial.DteDataBits, 8);
  EXPECT_EQ(+r.a.Config.serial.DteParity, 'N');
  EXPECT_EQ(+r.a.Config.serial.DteStopBits, 1);
}

TEST(ReadConfiguration, ResultSuppressionMirrorsTheQuietProbe) {
  ReadRig r;
  r.a.QuietWasOn = true;
  ASSERT_EQ(ReadConfiguration(r.a, SEC_SERIAL), 1);
  EXPECT_EQ(+r.a.Config.serial.ResultSuppression, 1);
}

TEST(ReadConfiguration, AcceptedNumberListWithoutAnEntryFails) {
  ReadRig r;
  std::string& list = r.modem.answers["AT*WACCTAB?"];
  list.erase(list.find("\r\n10987"));
  EXPECT_EQ(ReadConfiguration(r.a, SEC_CALLERID), 0);
  EXPECT_EQ(r.Valid(SEC_CALLERID), 0);
}

TEST(ReadConfiguration, ModulationOfThirtyTwoCharactersFillsTheField) {
  const std::string full = "V23HDX,1,75000,75000,12000,12000";
  ASSERT_EQ(full.size(), 32u);
  ReadRig r;
  r.modem.answers["AT+MS?"] = "+MS: " + full;
  ASSERT_EQ(ReadConfiguration(r.a, SEC_BASIC), 1);
  EXPECT_EQ(std::string(r.a.Config.basic.Modulation, 32), full);
  EXPECT_EQ(GetText(r.a.Config.basic.Modulation), full);
  // The next field is untouched by the full text.
  EXPECT_EQ(+r.a.Config.dial.HotCall, 0);

  ReadRig longer;
  longer.modem.answers["AT+MS?"] = "+MS: " + full + "XYZ";
  ASSERT_EQ(ReadConfiguration(longer.a, SEC_BASIC), 1);
  EXPECT_EQ(GetText(longer.a.Config.basic.Modulation), full);
}

TEST(ReadConfiguration, TelephoneNumbersStayInTheirColumns) {
  ReadRig r;
  ASSERT_EQ(ReadConfiguration(r.a, SEC_DIAL), 1);
  EXPECT_EQ(GetText(r.a.Config.dial.StoredNumbers[0]), "5551234");
  // An empty number at the end of a line does not take in the next line.
  EXPECT_EQ(GetText(r.a.Config.dial.StoredNumbers[1]), "");
  EXPECT_EQ(GetText(r.a.Config.dial.StoredNumbers[2]), "0046812345678");
  EXPECT_EQ(GetText(r.a.Config.dial.StoredNumbers[3]), "9W555");
}

// A modem's answer that a write would send bare must be exactly its form:
// one that carries more stops the read with a message naming the field, and
// the field keeps what it held, so no profile takes it to another modem.
TEST(ReadConfiguration, AnAnswerBeyondItsBareFormIsNotStored) {
  struct Case {
    const char* command;
    const char* from;  // what the classic answer holds
    const char* to;
    int section;
    const char* field;
  };
  for (const Case& k : {
           Case{"AT+MS?", "V32B,1,300,14400,300,14400", "V34*WRCA=1", SEC_BASIC, "Modulation [+MS]"},
           Case{"AT+MS?", "V32B,1,300,14400,300,14400", "V34&F", SEC_BASIC, "Modulation [+MS]"},
           Case{"AT&V", "9W555", "9&F", SEC_DIAL, "Stores phone numbers [&Z] 3"},
           Case{"AT*WRCP?", "*WRCP: secret", "*WRCP: pw;*WRCA=1", SEC_REMOTE, "Remote Configuration Password [*WRCP]"},
       }) {
    SCOPED_TRACE(k.to);
    ReadRig r;
    std::string& answer = r.modem.answers[k.command];
    const size_t at = answer.find(k.from);
    ASSERT_NE(at, std::string::npos) << answer;
    answer.replace(at, std::strlen(k.from), k.to);
    const ConfigBlock before = r.a.Config;
    EXPECT_EQ(ReadConfiguration(r.a, k.section), 0);
    EXPECT_EQ(r.Valid(k.section), 0);
    EXPECT_EQ(std::memcmp(&r.a.Config.basic.Modulation, &before.basic.Modulation, sizeof before.basic.Modulation), 0);
    EXPECT_EQ(std::memcmp(&r.a.Config.dial.StoredNumbers[3], &before.dial.StoredNumbers[3], 32), 0);
    EXPECT_EQ(std::memcmp(&r.a.Config.remote.RemotePassword, &before.remote.RemotePassword, 21), 0);
    ASSERT_EQ(r.ui.boxes.size(), 1u);
    EXPECT_EQ(r.ui.boxes[0].text.rfind(std::string("The modem's answer for ") + k.field + " was not stored: ", 0), 0u)
        << r.ui.boxes[0].text;
    EXPECT_FALSE(r.a.Busy);
  }
}

TEST(ReadConfiguration, DialBackupIsAskedOnlyOfTypeThree) {
  ReadRig r(2);
  ASSERT_EQ(ReadConfiguration(r.a, SEC_DIAL), 1);
  EXPECT_FALSE(r.Sent("AT*WDB?"));
  EXPECT_EQ(GetText(r.a.Config.dial.BackupNumber), "");
}

TEST(ReadConfiguration, MissingKeyFailsTheSectionWithoutReadingOn) {
  ReadRig r;
  std::string& v = r.modem.answers["AT&V"];
  v.erase(v.find("S91:011"), 7);
  EXPECT_EQ(ReadConfiguration(r.a, SEC_BASIC | SEC_SERIAL), 0);
  EXPECT_EQ(r.Valid(SEC_BASIC), 0);
  EXPECT_EQ(r.Valid(SEC_SERIAL), 0);
  EXPECT_FALSE(r.Sent("AT+MS?"));
  // What was cut before the missing key is kept.
  EXPECT_EQ(+r.a.Config.basic.S0, 5);
}

TEST(ReadConfiguration, AnswersCutShortFailInsteadOfReadingPastTheEnd) {
  struct Case {
    const char* command;
    const char* raw;  // the answer after the echo
    int section;
  };
  for (const Case& k : {
           Case{"AT&V", "\r\nACTIVE PROFILE:\r\nOK\r\n", SEC_BASIC},
           Case{"AT&V", "\r\nOK\r\nACTIVE PROFILE:", SEC_BASIC},
           Case{"AT+MS?", "\r\n+MS:\r\nOK\r\n", SEC_BASIC},
           Case{"AT+GCI?", "\r\nC7\r\nOK\r\n", SEC_BASIC},
           Case{"AT*WCB?", "\r\nOK\r\n*WCB:", SEC_CALLBACK},
           Case{"AT*WCBTIME?", "\r\n*WCBTIME 5\r\nOK\r\n", SEC_CALLBACK},
           Case{"AT*WCID?", "\r\n*WCID: 1\r\nOK\r\n", SEC_CALLERID},
           Case{"AT*WACCTAB?", "\r\nNUM\r\n1\r\nOK\r\n", SEC_CALLERID},
           Case{"AT*WRCP?", "\r\n*WRCP:\r\nOK\r\n", SEC_REMOTE},
           Case{"AT&V1", "\r\nSpeed Rx/Tx 1/2\r\nOK\r\n", SEC_DIAGNOSTIC},
           Case{"AT*WCBTAB=4?", "\r\n4_Number=1\r\nOK\r\n", SEC_CALLBACK},
           Case{"AT*WIOL=10?", "\r\n_Service=1\r\n_Flag=\r\nOK\r\n", SEC_IO},
           Case{"ATI9", "\r\n\r\nOK\r\n", SEC_DIAGNOSTIC},
       }) {
    ReadRig r;
    r.modem.raw[k.command] = k.raw;
    EXPECT_EQ(ReadConfiguration(r.a, k.section), 0) << k.command << " " << k.raw;
    EXPECT_EQ(r.Valid(k.section), 0) << k.command;
    EXPECT_FALSE(r.a.Busy);
  }
}

TEST(ReadConfiguration, QueriesWorkWithEchoOnAndOff) {
  for (bool echo : {true, false}) {
    ReadRig r;
    r.modem.echo = echo;
    ASSERT_EQ(ReadConfiguration(r.a, SEC_CALLBACK | SEC_BASIC | SEC_DIAGNOSTIC), 1) << echo;
    EXPECT_EQ(r.a.Diagnostic.SoftwareVersion, "Dalmarin RM-40 485 7730-08 SW 3.14") << echo;
    EXPECT_EQ(r.a.EchoOn, echo);
    EXPECT_EQ(+r.a.Config.basic.FastDisconnect, 1) << echo;
    EXPECT_EQ(+r.a.Config.callback.CallbackMode, 2) << echo;
    EXPECT_EQ(+r.a.Config.callback.CallbackTime, 30) << echo;
  }
}

TEST(ReadConfiguration, DipSwitchesOnlyForTypesTwoAndThree) {
  ReadRig one(1);
  ASSERT_EQ(ReadConfiguration(one.a, SEC_DIAGNOSTIC), 1);
  EXPECT_FALSE(one.Sent("ATI8"));
  EXPECT_EQ(one.a.Diagnostic.DipSwitches[2], 0);

  ReadRig two(2);
  two.modem.answers["ATI8"] = "7 8";  // fewer numbers: the rest stays
  two.a.Diagnostic.DipSwitches[3] = 42;
  ASSERT_EQ(ReadConfiguration(two.a, SEC_DIAGNOSTIC), 1);
  EXPECT_EQ(two.a.Diagnostic.DipSwitches[0], 7);
  EXPECT_EQ(two.a.Diagnostic.DipSwitches[1], 8);
  EXPECT_EQ(two.a.Diagnostic.DipSwitches[3], 42);
}

TEST(ReadConfiguration, IoSectionOnlyForTypeThree) {
  ReadRig r(2);
  r.a.Page(PG_IO).valid = 1;
  ASSERT_EQ(ReadConfiguration(r.a, SEC_IO | SEC_REMOTE), 1);
  EXPECT_FALSE(r.Sent("AT*WIOP?"));
  EXPECT_EQ(r.Valid(SEC_IO), 1);  // untouched
  EXPECT_EQ(r.ui.rangeHigh, 2 + 2);
}

TEST(ReadConfiguration, FailurePartWayKeepsEarlierSectionsValid) {
  ReadRig r;
  r.a.Page(PG_REMOTE).valid = 1;
  r.modem.errors.insert("AT*WACCTAB?");
  EXPECT_EQ(ReadConfiguration(r.a, SEC_DIAL | SEC_CALLERID | SEC_REMOTE), 0);
  EXPECT_EQ(r.Valid(SEC_DIAL), 1);
  EXPECT_EQ(r.Valid(SEC_CALLERID), 0);
  EXPECT_EQ(r.Valid(SEC_REMOTE), 0);  // cleared at the start, never read
  EXPECT_EQ(+r.a.Config.callerId.CidFormat, 1);  // stored before the failure
  EXPECT_FALSE(r.Sent("AT*WRCA?"));
}

TEST(ReadConfiguration, BasicIsValidOnceItsCountryCodeIsRead) {
  ReadRig r;
  r.modem.errors.insert("AT*WFD?");
  EXPECT_EQ(ReadConfiguration(r.a, SEC_BASIC), 0);
  EXPECT_EQ(r.Valid(SEC_BASIC), 1);
  EXPECT_EQ(+r.a.Config.basic.CountryCode, 0x3D);
}

TEST(ReadConfiguration, CancelStopsTheReadAndCleansUp) {
  ReadRig r;
  r.modem.verbose = false;
  bool cancelled = false;
  // The answer of the sixth callback table line never comes; Cancel is
  // pressed while the read waits for it.
  r.modem.mute.insert("AT*WCBTAB=6?");
  r.ui.onPump = [&](testing::VirtualUi&) {
    if (!cancelled && !r.port.sentLines.empty() && r.port.sentLines.back() == "AT*WCBTAB=6?") {
      cancelled = true;
      r.a.AbortRequested = true;
    }
  };
  EXPECT_EQ(ReadConfiguration(r.a, SEC_ALL), 0);
  EXPECT_TRUE(cancelled);
  EXPECT_FALSE(r.a.AbortRequested);
  EXPECT_FALSE(r.a.Busy);
  EXPECT_EQ(r.Valid(SEC_DIAGNOSTIC), 1);
  EXPECT_EQ(r.Valid(SEC_CALLBACK), 0);
  EXPECT_EQ(r.Valid(SEC_IO), 0);
  EXPECT_FALSE(r.Sent("AT*WCBTAB=7?"));
  EXPECT_EQ(r.port.sentLines.back(), "ATV0");
  // Cancelled at once, not after the answer budget.
  EXPECT_LT(r.ui.NowMs(), 10000);
}

TEST(ReadConfiguration, ProgressEndsExactlyAtTheEndOfTheBar) {
  for (int model : {1, 3}) {
    ReadRig r(model);
    ASSERT_EQ(ReadConfiguration(r.a, SEC_ALL), 1);
    EXPECT_EQ(r.ui.rangeLow, 0);
    EXPECT_EQ(r.ui.stepSize, 1);
    EXPECT_EQ(r.ui.steps, r.ui.rangeHigh) << model;
    ASSERT_FALSE(r.ui.progressTexts.empty());
    EXPECT_EQ(r.ui.progressTexts.front(), "Reading configuration...");
    EXPECT_EQ(r.ui.progressTexts.back(),
              model == 3 ? "Reading configuration (I/O)" : "Reading configuration (Callback)");
  }
}

}  // namespace
}  // namespace kelvane
