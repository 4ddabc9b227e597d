#include "sim/simulated_modem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

namespace kelvane {
namespace {

// The way the program cuts answers apart: the working text shrinks to what
// follows each key in turn; a missing key fails the whole cut.
class Cut {
 public:
  explicit Cut(std::string text) : text_(std::move(text)) {}
  Cut& After(std::string_view key) {
    const size_t p = text_.find(key);
    if (p == std::string::npos) {
      ok_ = false;
      text_.clear();
    } else {
      text_.erase(0, p + key.size());
    }
    return *this;
  }
  // The leading decimal integer, read as atoi reads it.
  int Number() const { return std::atoi(text_.c_str()); }
  std::string UpTo(std::string_view end) const { return text_.substr(0, text_.find(end)); }
  Cut& Skip(size_t n) {
    text_.erase(0, std::min(n, text_.size()));
    return *this;
  }
  const std::string& Text() const { return text_; }
  bool Ok() const { return ok_; }

 private:
  std::string text_;
  bool ok_ = true;
};

std::string RemoveAll(std::string t, std::string_view chars) {
  t.erase(std::remove_if(t.begin(), t.end(),
                         [&](char c) { return chars.find(c) != std::string_view::npos; }),
          t.end());
  return t;
}

// The program's text query: the echo dropped, cut before "OK\r\n", every CR
// and LF removed; empty when no OK came.
std::string QueryText(const std::string& answer, const std::string& command, bool echo) {
  std::string t = answer;
  if (echo && t.rfind(command + "\r", 0) == 0) t.erase(0, command.size() + 1);
  const size_t ok = t.find("OK\r\n");
  if (ok == std::string::npos) return {};
  return RemoveAll(t.substr(0, ok), "\r\n");
}

// The program's number query: as many characters dropped as the command
// has, then the number after ": ".
std::optional<int> QueryNumber(const std::string& answer, const std::string& command) {
  if (answer.find("OK\r\n") == std::string::npos) return std::nullopt;
  Cut c(answer);
  c.Skip(command.size()).After(":").Skip(1);
  if (!c.Ok()) return std::nullopt;
  return c.Number();
}

class ModemTest : public ::testing::Test {
 protected:
  explicit ModemTest(int type = 3) : m(type) {}
  std::string Send(const std::string& line) { return m.Receive(line + "\r", line_); }
  // Sends a command and expects a plain OK.
  void Set(const std::string& line) {
    const std::string a = Send(line);
    EXPECT_NE(a.find("OK\r\n"), std::string::npos) << line << " answered " << a;
  }
  SimulatedModem m;
  LineSettings line_;
};

// --- framing ------------------------------------------------------------------

TEST(SimulatedModemFraming, VerboseEchoRepeatsTheLineThenTheResult) {
  SimulatedModem m(2);
  EXPECT_EQ(m.Receive("AT\r", {}), "AT\r\r\nOK\r\n");
  EXPECT_EQ(m.Receive("ATI9\r", {}), "ATI9\r\r\nDalmarin RM-40 7730-02 SW 3.14\r\n\r\nOK\r\n");
  EXPECT_EQ(m.Receive("ATX\r", {}), "ATX\r\r\nOK\r\n");  // a missing value is 0
  EXPECT_EQ(m.Receive("ATQ7\r", {}), "ATQ7\r\r\nERROR\r\n");
}

TEST(SimulatedModemFraming, EchoOffAndNumericCodes) {
  SimulatedModem m(2);
  // The echo of the line that switches echo off still comes.
  EXPECT_EQ(m.Receive("ATE0\r", {}), "ATE0\r\r\nOK\r\n");
  EXPECT_EQ(m.Receive("AT\r", {}), "\r\nOK\r\n");
  // The result of a line is given in the mode the line leaves.
  EXPECT_EQ(m.Receive("ATV0\r", {}), "0\r");
  EXPECT_EQ(m.Receive("ATI9\r", {}), "Dalmarin RM-40 7730-02 SW 3.14\r\n0\r");
  EXPECT_EQ(m.Receive("ATFOO\r", {}), "4\r");
  EXPECT_EQ(m.Receive("ATE1V1\r", {}), "\r\nOK\r\n");
  EXPECT_EQ(m.Receive("ATV0\r", {}), "ATV0\r0\r");
}

TEST(SimulatedModemFraming, QuietSuppressesResultsButNotText) {
  SimulatedModem m(2);
  EXPECT_EQ(m.Receive("ATQ1\r", {}), "ATQ1\r");
  EXPECT_EQ(m.Receive("ATI6\r", {}), "ATI6\r\r\nDalmarin adapter HW 1.30 DSP 2.07\r\n");
  EXPECT_EQ(m.Receive("ATBAD\r", {}), "ATBAD\r");
  // The probe's way out of a silent modem: in numeric mode with echo the
  // answer to ATQ0 is two "0\r" pairs, the first from the echo.
  EXPECT_EQ(m.Receive("ATV0\r", {}), "ATV0\r");
  EXPECT_EQ(m.Receive("ATQ0\r", {}), "ATQ0\r0\r");
}

TEST(SimulatedModemFraming, LoneCarriageReturnAndLinesWithoutAtAreIgnored) {
  SimulatedModem m(2);
  EXPECT_EQ(m.Receive("\r", {}), "\r");  // echoed, but no result
  EXPECT_EQ(m.Receive("hello\r", {}), "hello\r");
  m.Receive("ATE0\r", {});
  EXPECT_EQ(m.Receive("\r", {}), "");
  EXPECT_EQ(m.Receive("\r\n", {}), "");
  // Anything before "AT" is ignored (a "+++" left in command state).
  EXPECT_EQ(m.Receive("+++AT\r", {}), "\r\nOK\r\n");
}

TEST(SimulatedModemFraming, SeveralCommandsOnOneLineAndCaseDoesNotMatter) {
  SimulatedModem m(3);
  EXPECT_EQ(m.Receive("at e0 v1 s7=40\r", {}), "at e0 v1 s7=40\r\r\nOK\r\n");
  EXPECT_EQ(m.State().echo, 0);
  EXPECT_EQ(m.State().s[7], 40);
  EXPECT_EQ(m.Receive("ATS7?S0?\r", {}), "\r\n040\r\n\r\n002\r\n\r\nOK\r\n");
  // The first bad command ends the line: what came before it stays done.
  EXPECT_EQ(m.Receive("ATS0=5Y9V0\r", {}), "\r\nERROR\r\n");
  EXPECT_EQ(m.State().s[0], 5);
  EXPECT_EQ(m.State().verbose, 1);
}

TEST(SimulatedModemFraming, BackspaceEditsAndOverlongLinesFail) {
  SimulatedModem m(2);
  m.Receive("ATE0\r", {});
  EXPECT_EQ(m.Receive("ATS0=7\b9\r", {}), "\r\nOK\r\n");
  EXPECT_EQ(m.State().s[0], 9);
  EXPECT_EQ(m.Receive("AT" + std::string(600, 'E') + "\r", {}), "\r\nERROR\r\n");
  // A line cut across several writes is one line.
  EXPECT_EQ(m.Receive("AT", {}), "");
  EXPECT_EQ(m.Receive("S0=3\r", {}), "\r\nOK\r\n");
  EXPECT_EQ(m.State().s[0], 3);
}

// --- line speed -----------------------------------------------------------------

bool LooksLikeNoise(const std::string& bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

TEST(SimulatedModemLine, WrongSpeedGivesNoiseAndRunsNothing) {
  SimulatedModem m(2);
  m.State().dteRate = 19200;
  const LineSettings slow{9600, 'N', 8, 1};
  const std::string a = m.Receive("ATS0=9\r", slow);
  EXPECT_EQ(a.size(), 7u);
  EXPECT_TRUE(LooksLikeNoise(a));
  EXPECT_EQ(m.State().s[0], 2);
  EXPECT_EQ(m.ReceivedLines().size(), 0u);
  // The same garbage every time: the noise is deterministic.
  SimulatedModem other(2);
  other.State().dteRate = 19200;
  EXPECT_EQ(other.Receive("ATS0=9\r", slow), a);
  // Without echo the modem stays silent.
  m.State().echo = 0;
  EXPECT_EQ(m.Receive("AT\r", slow), "");
  // At its own speed it answers, and a partial line heard as garbage is gone.
  m.Receive("AT", slow);
  EXPECT_EQ(m.Receive("AT\r", {19200, 'N', 8, 1}), "\r\nOK\r\n");
}

TEST(SimulatedModemLine, AutomaticRateAcceptsEverySpeedAndFormat) {
  SimulatedModem m(2);
  ASSERT_EQ(m.State().dteRate, 0);
  for (const LineSettings& l : {LineSettings{300, 'N', 8, 1}, LineSettings{115200, 'E', 7, 1},
                                LineSettings{2400, 'O', 8, 2}})
    EXPECT_EQ(m.Receive("AT\r", l), "AT\r\r\nOK\r\n") << l.baud;
}

TEST(SimulatedModemLine, FormatMustMatchAtAFixedRate) {
  SimulatedModem m(2);
  m.State().dteRate = 9600;
  m.State().icfFormat = 5;  // 7 data bits, even parity, 1 stop bit
  m.State().icfParity = 1;
  EXPECT_TRUE(LooksLikeNoise(m.Receive("AT\r", {9600, 'N', 8, 1})));
  EXPECT_EQ(m.Receive("AT\r", {9600, 'E', 7, 1}), "AT\r\r\nOK\r\n");
  // Format 0: any format at the fixed rate.
  m.State().icfFormat = 0;
  EXPECT_EQ(m.Receive("AT\r", {9600, 'O', 8, 2}), "AT\r\r\nOK\r\n");
}

TEST(SimulatedModemLine, NewRateAppliesAfterItsOk) {
  SimulatedModem m(2);
  const LineSettings at9600{9600, 'N', 8, 1}, at19200{19200, 'N', 8, 1};
  m.State().dteRate = 9600;
  EXPECT_EQ(m.Receive("AT+IPR=19200\r", at9600), "AT+IPR=19200\r\r\nOK\r\n");
  EXPECT_TRUE(LooksLikeNoise(m.Receive("AT\r", at9600)));
  EXPECT_EQ(m.Receive("AT+ICF=2,1\r", at19200), "AT+ICF=2,1\r\r\nOK\r\n");
  EXPECT_TRUE(LooksLikeNoise(m.Receive("AT\r", at19200)));
  EXPECT_EQ(m.Receive("AT\r", {19200, 'E', 8, 1}), "AT\r\r\nOK\r\n");
  // A second line in the same write already meets the new rate.
  const std::string a = m.Receive("AT+IPR=9600\rAT\r", {19200, 'E', 8, 1});
  EXPECT_EQ(a.substr(0, 18), "AT+IPR=9600\r\r\nOK\r\n");
  EXPECT_EQ(a.size(), 21u);  // "AT\r" heard as three bytes of garbage
  EXPECT_TRUE(LooksLikeNoise(a.substr(18)));
}

// --- identification ---------------------------------------------------------------

TEST(SimulatedModemIdentity, EveryArticleNamesItselfInAti9) {
  const std::pair<const char*, int> rows[] = {
      {"7730-01", 1}, {"7730-02", 2}, {"7730-03", 3}, {"7730-06", 1}, {"7730-07", 2}, {"7730-08", 3},
      {"7730-14", 4}, {"7730-43", 1}, {"7730-44", 2}, {"7730-45", 3}, {"7730-46", 4}};
  for (auto [article, type] : rows) {
    SimulatedModem m{std::string_view(article)};
    EXPECT_EQ(m.ModelType(), type);
    const std::string a = m.Receive("ATI9\r", {});
    EXPECT_NE(a.find(article), std::string::npos) << a;
    EXPECT_NE(a.find("OK\r\n"), std::string::npos);
  }
  EXPECT_EQ(SimulatedModem(4).Article(), "7730-14");
  EXPECT_EQ(SimulatedModem(3).ModelName(), "RM-40 485");
}

TEST(SimulatedModemIdentity, UnsupportedArticleCarriesNoKnownNumber) {
  SimulatedModem m(std::string_view("7730-05"));
  EXPECT_EQ(m.ModelType(), 0);
  const std::string a = m.Receive("ATI9\r", {});
  EXPECT_NE(a.find("7730-05"), std::string::npos);
  for (const char* known : {"7730-01", "7730-02", "7730-03", "7730-14", "7730-46"})
    EXPECT_EQ(a.find(known), std::string::npos);
}

TEST(SimulatedModemIdentity, DipSwitchesOnlyOnTypesTwoAndThree) {
  for (int type : {2, 3}) {
    SimulatedModem m(type);
    m.DipSwitches() = {0, 1, 1, 0};
    const std::string text = QueryText(m.Receive("ATI8\r", {}), "ATI8", true);
    int d[4] = {-1, -1, -1, -1};
    ASSERT_EQ(std::sscanf(text.c_str(), "%d %d %d %d", &d[0], &d[1], &d[2], &d[3]), 4) << text;
    EXPECT_EQ(d[1] + d[2] * 2 + d[0] * 4 + d[3] * 8, 3);
  }
  for (int type : {1, 4}) EXPECT_EQ(SimulatedModem(type).Receive("ATI8\r", {}), "ATI8\r\r\nERROR\r\n");
}

// --- answers cut the way the program cuts them ------------------------------------

TEST_F(ModemTest, BasicSettingsSurviveTheProfileCut) {
  Set("ATS0=7S7=33S10=20S25=9S30=120S91=11");
  for (int c = 0; c <= 3; ++c) {
    for (int e = 0; e <= 2; ++e) {
      for (int k : {0, 3, 5}) {
        for (int n : {0, 1, 5}) {
          Set("AT%C" + std::to_string(c) + "%E" + std::to_string(e) + "\\K" + std::to_string(k) +
              "\\N" + std::to_string(n));
          Cut t(Send("AT&V"));
          t.After("ACTIVE PROFILE:").Skip(2);
          EXPECT_EQ(t.After("\\N").Number(), n);
          EXPECT_EQ(t.After("S00:").Number(), 7);
          EXPECT_EQ(t.After("S07:").Number(), 33);
          EXPECT_EQ(t.After("S10:").Number(), 20);
          EXPECT_EQ(t.After("S25:").Number(), 9);
          EXPECT_EQ(t.After("S30:").Number(), 120);
          EXPECT_EQ((t.After("S40:").Number() >> 3) & 7, k);
          const int s41 = t.After("S41:").Number();
          EXPECT_EQ(s41 & 3, c);
          EXPECT_EQ(std::min((s41 >> 2) & 0x11, 2), e);
          EXPECT_EQ(t.After("S91:").Number(), 11);
          EXPECT_TRUE(t.Ok());
        }
      }
    }
  }
}

TEST_F(ModemTest, SerialSettingsSurviveTheProfileCut) {
  struct Case {
    int e, v, w, x, c, d, k, s;
  };
  for (const Case& cs : {Case{0, 1, 2, 0, 0, 3, 5, 1}, Case{1, 1, 1, 3, 1, 0, 0, 0},
                         Case{1, 0, 0, 4, 1, 2, 4, 1}}) {
    char cmd[96];
    std::snprintf(cmd, sizeof cmd, "ATW%dX%d&C%d&D%d&K%d&S%dE%d", cs.w, cs.x, cs.c, cs.d, cs.k,
                  cs.s, cs.e);
    Set(cmd);
    Set("ATV1");  // the program reads in verbose mode
    m.State().verbose = cs.v;  // but the profile shows what the user keeps
    Cut t(m.Receive("AT&V\r", line_));
    if (cs.v == 0) t = Cut(m.Receive("AT&V\r", line_) + "OK\r\n");
    t.After("ACTIVE PROFILE:").Skip(2);
    EXPECT_EQ(t.After("E").Number(), cs.e);
    EXPECT_EQ(t.After("V").Number(), cs.v);
    EXPECT_EQ(t.After("W").Number(), cs.w);
    EXPECT_EQ(t.After("X").Number(), cs.x);
    EXPECT_EQ(t.After("&C").Number(), cs.c);
    EXPECT_EQ(t.After("&D").Number(), cs.d);
    EXPECT_EQ(t.After("&K").Number(), cs.k);
    EXPECT_EQ(t.After("&S").Number(), cs.s);
    EXPECT_TRUE(t.Ok());
    m.State().verbose = 1;
  }
}

TEST_F(ModemTest, DialSettingsAndStoredNumbersSurviveTheCut) {
  const std::string longest(31, '7');
  Set("AT&A1&B2");
  Set("AT&Z0=0049 30 123");
  Set("AT&Z2=" + longest);
  Set("AT&Z3=*31#W0,5");
  Cut t(Send("AT&V"));
  t.After("ACTIVE PROFILE:").Skip(2);
  EXPECT_EQ(t.After("&A").Number(), 1);
  EXPECT_EQ(t.After("&B").Number(), 2);
  t.After("TELEPHONE NUMBERS:").Skip(1);
  const std::string expected[4] = {"004930123", "", longest, "*31#W0,5"};
  for (int n = 0; n < 4; ++n) EXPECT_EQ(t.After(std::to_string(n) + "=").UpTo(" "), expected[n]) << n;
  EXPECT_TRUE(t.Ok());
  // Too long, or with a character a dial string cannot hold.
  EXPECT_NE(Send("AT&Z1=" + longest + "8").find("ERROR"), std::string::npos);
  EXPECT_NE(Send("AT&Z1=12=3").find("ERROR"), std::string::npos);
  EXPECT_EQ(m.State().storedNumbers[1], "");
}

// The Basic write sends the modulation with "B0" or "B1" glued to its end.
TEST_F(ModemTest, ModulationWrittenWithBellSuffixReadsBackUnchanged) {
  const std::pair<std::string, std::string> cases[] = {
      {"V34,1,2400,33600,2400,33600", "B0"}, {"V90A,0,2400,33600,2400,57333", "B0"},
      {"B103,1,300,300,300,300", "B1"},      {"V34", "B0"},
      {"V32,1,0,0,0,0", "B0"},               {"V22B,1,1200,2400,1200,2400", "B0"},
      {"V23HDX,1,75,1200,75,1200", "B0"}};
  for (const auto& [modulation, suffix] : cases) {
    Set("AT+MS=" + modulation + suffix);
    const std::string text = QueryText(Send("AT+MS?"), "AT+MS?", true);
    EXPECT_EQ(Cut(text).After(":").Skip(1).Text(), modulation);
    EXPECT_EQ(m.State().bell, suffix == "B1" ? 1 : 0);
  }
  // "V32B0": the carrier V32, then B0 (not V32B followed by a stray 0).
  Set("AT+MS=V32B0");
  EXPECT_EQ(m.State().modulation, "V32");
  for (const char* bad : {"AT+MS=V99,1,0,0,0,0B0", "AT+MS=V34,7,0,0,0,0B0", "AT+MS=V34,1,2,3,4,5,6"})
    EXPECT_NE(Send(bad).find("ERROR"), std::string::npos) << bad;
  EXPECT_EQ(m.State().modulation, "V32");
}

TEST_F(ModemTest, CountryCodeIsHexadecimalAndMustBeKnown) {
  Set("AT+GCI=B5");
  const std::string text = QueryText(Send("AT+GCI?"), "AT+GCI?", true);
  EXPECT_EQ(std::strtol(Cut(text).After(":").Skip(1).Text().c_str(), nullptr, 16), 0xB5);
  Set("AT+GCI=0a");
  EXPECT_EQ(m.State().countryCode, 0x0A);
  EXPECT_NE(Send("AT+GCI=12").find("ERROR"), std::string::npos);
  EXPECT_NE(Send("AT+GCI=1C7").find("ERROR"), std::string::npos);
  EXPECT_EQ(m.State().countryCode, 0x0A);
}

TEST_F(ModemTest, FastDisconnectAndCallbackValuesReadAsNumbers) {
  Set("AT*WFD=1");
  Set("AT*WCB=6");
  Set("AT*WCBTIME=255");
  EXPECT_EQ(QueryNumber(Send("AT*WFD?"), "AT*WFD?"), 1);
  EXPECT_EQ(QueryNumber(Send("AT*WCB?"), "AT*WCB?"), 6);
  EXPECT_EQ(QueryNumber(Send("AT*WCBTIME?"), "AT*WCBTIME?"), 255);
  for (const char* bad : {"AT*WFD=2", "AT*WCB=7", "AT*WCBTIME=256", "AT*WCB=x"})
    EXPECT_NE(Send(bad).find("ERROR"), std::string::npos) << bad;
}

TEST_F(ModemTest, DteRateAndEveryCharacterFormatReadBack) {
  Set("AT+IPR=57600");
  line_.baud = 57600;
  EXPECT_EQ(Cut(QueryText(Send("AT+IPR?"), "AT+IPR?", true)).After(":").Skip(1).Number(), 57600);
  EXPECT_NE(Send("AT+IPR=12345").find("ERROR"), std::string::npos);

  struct Row {
    const char* pair;
    int data;
    char parity;
    int stop;
  };
  for (const Row& r : {Row{"4,4", 7, 'N', 2}, Row{"5,1", 7, 'E', 1}, Row{"5,0", 7, 'O', 1},
                       Row{"3,4", 8, 'N', 1}, Row{"2,1", 8, 'E', 1}, Row{"2,0", 8, 'O', 1},
                       Row{"4,1", 7, 'E', 2}, Row{"4,2", 7, 'O', 2}, Row{"1,4", 8, 'N', 2},
                       Row{"1,1", 8, 'E', 2}, Row{"1,2", 8, 'O', 2}}) {
    Set(std::string("AT+ICF=") + r.pair);
    line_ = {57600, r.parity, r.data, r.stop};
    const std::string text = QueryText(Send("AT+ICF?"), "AT+ICF?", true);
    const size_t open = text.find('(');
    ASSERT_NE(open, std::string::npos) << text;
    EXPECT_EQ(RemoveAll(text.substr(open), "()"), r.pair);
  }
  EXPECT_NE(Send("AT+ICF=6,4").find("ERROR"), std::string::npos);
  Set("AT+ICF=0");
  EXPECT_EQ(RemoveAll(QueryText(Send("AT+ICF?"), "AT+ICF?", true), "+ICF: ()"), "0");
}

TEST_F(ModemTest, IgnoreErrorsAndRemoteSettingsReadBack) {
  Set("AT*WIE=1");
  EXPECT_EQ(Cut(QueryText(Send("AT*WIE?"), "AT*WIE?", true)).After(":").Skip(1).Number(), 1);
  Set("AT*WRCA=1");
  Set("AT*WRCP=Se cret,42");
  EXPECT_EQ(Cut(Send("AT*WRCA?")).After("*WRCA: ").Number(), 1);
  EXPECT_EQ(Cut(Send("AT*WRCP?")).After("*WRCP: ").UpTo("\r"), "Se cret,42");
  Set("AT*WRCP=");
  EXPECT_EQ(Cut(Send("AT*WRCP?")).After("*WRCP: ").UpTo("\r"), "");
  EXPECT_NE(Send("AT*WRCP=" + std::string(21, 'p')).find("ERROR"), std::string::npos);
}

TEST_F(ModemTest, DialBackupOnlyOnTypeThree) {
  Set("AT*WDB=\"0123456789012345\",3,120");
  Cut t(QueryText(Send("AT*WDB?"), "AT*WDB?", true));
  t.After("*WDB: ");
  EXPECT_EQ(t.UpTo(","), "0123456789012345");
  EXPECT_EQ(t.After(",").Number(), 3);
  EXPECT_EQ(t.After(",").Number(), 120);
  EXPECT_NE(Send("AT*WDB=\"01234567890123456\",3,120").find("ERROR"), std::string::npos);
  for (int type : {1, 2, 4}) {
    SimulatedModem other(type);
    EXPECT_NE(other.Receive("AT*WDB?\r", {}).find("ERROR"), std::string::npos);
  }
}

TEST_F(ModemTest, CallerIdAndAcceptedNumbersSurviveTheTableCut) {
  Set("AT*WCID=2,3");
  Cut cid(Send("AT*WCID?"));
  EXPECT_EQ(cid.After("*WCID: (").Number(), 2);
  EXPECT_EQ(cid.After(",").Number(), 3);
  // Format 0 is sent alone and keeps the mode.
  Set("AT*WCID=0");
  EXPECT_EQ(m.State().cidFormat, 0);
  EXPECT_EQ(m.State().cidMode, 3);

  const std::string numbers[10] = {"", "+4930123", "1", "", "55555", "", "",
                                   "12345678901234567890", "9", "0101"};
  for (int n = 1; n <= 10; ++n)
    Set("AT*WACCTAB=" + std::to_string(n) + ",\"" + numbers[n - 1] + "\"");
  Cut t(Send("AT*WACCTAB?"));
  t.After("NUM");
  for (int n = 1; n <= 10; ++n) {
    t.After("\r\n" + std::to_string(n));
    // The entry starts four characters after the "\r\n" of its row.
    t = Cut(std::string(t.Text()).erase(0, n < 10 ? 1 : 0));
    EXPECT_EQ(RemoveAll(t.UpTo("\r"), " ").substr(0, 20), numbers[n - 1]) << n;
  }
  EXPECT_TRUE(t.Ok());
  EXPECT_NE(Send("AT*WACCTAB=11,\"1\"").find("ERROR"), std::string::npos);
  EXPECT_NE(Send("AT*WACCTAB=1,\"12a\"").find("ERROR"), std::string::npos);
}

TEST_F(ModemTest, CallbackTableReadsEntryByEntry) {
  for (int n = 1; n <= 10; ++n)
    Set("AT*WCBTAB=" + std::to_string(n) + ",\"" + std::to_string(1000 + n) + "\",\"" +
        (n % 2 ? "pass" + std::to_string(100 + n) : std::string()) + "\"");
  for (int n = 1; n <= 10; ++n) {
    const std::string k = std::to_string(n);
    Cut t(Send("AT*WCBTAB=" + k + "?"));
    EXPECT_EQ(t.After(k + "_Number=").UpTo("\r"), std::to_string(1000 + n));
    EXPECT_EQ(t.After(k + "_Password=").UpTo("\r"), n % 2 ? "pass" + std::to_string(100 + n) : "");
  }
  // A password is empty or 6 to 12 characters.
  EXPECT_NE(Send("AT*WCBTAB=1,\"1\",\"short\"").find("ERROR"), std::string::npos);
  EXPECT_NE(Send("AT*WCBTAB=1,\"1\",\"thirteen-char\"").find("ERROR"), std::string::npos);
  EXPECT_EQ(m.State().callbackNumbers[0], "1001");
}

TEST_F(ModemTest, IoParametersAndEntriesSurviveTheCut) {
  Set("AT*WIOP=250,30,31,5,32");
  Cut p(Send("AT*WIOP?"));
  EXPECT_EQ(p.After("TA=").Number(), 250);
  EXPECT_EQ(p.After(",").After("TP=").Number(), 30);
  EXPECT_EQ(p.After(",").After("TYPE=").Number(), 31);
  EXPECT_EQ(p.After(",").After("TRIG=").Number(), 5);
  EXPECT_EQ(p.After(",").After("NORM=").Number(), 32);
  EXPECT_TRUE(p.Ok());
  for (const char* bad : {"AT*WIOP=1,1,5,0,0", "AT*WIOP=1,1,0,7,0", "AT*WIOP=1,1,0,0,2"})
    EXPECT_NE(Send(bad).find("ERROR"), std::string::npos) << bad;

  // The longest texts, with commas and a quote inside.
  const std::string sms = "Alarm, \"door\" open " + std::string(141, 'x');
  ASSERT_EQ(sms.size(), 160u);
  // Data 1 of the longest: 20 characters.
  auto data1 = [](int n) { return std::to_string(n) + std::string(20 - std::to_string(n).size(), '5'); };
  for (int n = 1; n <= 10; ++n) {
    char cmd[400];
    std::snprintf(cmd, sizeof cmd, "AT*WIOL=%d,%d,%d,%d,%d,\"%s\",\"%s\",\"%s\",%d,\"%s\",\"%s\"", n,
                  n % 8, n % 6, n * 20, n % 2, data1(n).c_str(),
                  n == 7 ? sms.c_str() : "hi", "+4917", n * 3, "12345678", "Sender 12345678");
    Set(cmd);
  }
  for (int n = 1; n <= 10; ++n) {
    Cut t(Send("AT*WIOL=" + std::to_string(n) + "?"));
    EXPECT_EQ(t.After("_Service=").Number(), n % 8);
    EXPECT_EQ(t.After("_Flag=").Number(), n % 6);
    EXPECT_EQ(t.After("_Timeout=").Number(), n * 20);
    EXPECT_EQ(t.After("_Priority=").Number(), n % 2);
    EXPECT_EQ(t.After("_Data1=").UpTo("\r"), data1(n));
    EXPECT_EQ(t.After("_Data2=").UpTo("\r"), n == 7 ? sms : "hi");
    EXPECT_EQ(t.After("_Data3=").UpTo("\r"), "+4917");
    EXPECT_EQ(t.After("_Data4=").Number(), n * 3);
    EXPECT_EQ(t.After("_Data5=").UpTo("\r"), "12345678");
    EXPECT_EQ(t.After("_Data6=").UpTo("\r"), "Sender 12345678");
    EXPECT_TRUE(t.Ok()) << n;
  }
  // Delete clears one entry; test starts a service and changes nothing.
  const ModemSettings before = m.State();
  Set("AT*WIOT=7");
  EXPECT_EQ(m.State(), before);
  Set("AT*WIOD=7");
  EXPECT_EQ(m.State().io[6], SimIoEntry{});
  EXPECT_EQ(m.State().io[5], before.io[5]);
  EXPECT_NE(Send("AT*WIOL=1,8,0,0,0,\"\",\"\",\"\",0,\"\",\"\"").find("ERROR"), std::string::npos);
  EXPECT_NE(Send("AT*WIOL=1,0,0,0,0,\"\",\"\",\"\",0,\"123456789\",\"\"").find("ERROR"),
            std::string::npos);
  // Data 4 is a signed 32-bit number: its smallest and largest are kept,
  // one beyond them is refused.
  for (const char* data4 : {"-5", "-2147483648", "2147483647"}) {
    Set(std::string("AT*WIOL=2,1,0,0,0,\"\",\"\",\"\",") + data4 + ",\"\",\"\"");
    EXPECT_EQ(std::to_string(m.State().io[1].data4), data4);
  }
  for (const char* data4 : {"-2147483649", "2147483648", "--5", "5-"}) {
    EXPECT_NE(Send(std::string("AT*WIOL=2,1,0,0,0,\"\",\"\",\"\",") + data4 + ",\"\",\"\"").find("ERROR"),
              std::string::npos)
        << data4;
  }
}

TEST(SimulatedModemIo, TestStartsTheEntrysServiceAndSaysSo) {
  SimulatedModem m(3);
  auto send = [&m](const std::string& line) { return m.Receive(line + "\r", {}); };
  ASSERT_NE(send("AT*WIOL=4,2,1,30,1,\"0701234567\",\"Door\",\"4670\",1,\"pw\",\"Gate\"").find("OK"),
            std::string::npos);
  ASSERT_NE(send("AT*WIOL=6,6,0,0,0,\"ATH\",\"\",\"\",0,\"\",\"\"").find("OK"), std::string::npos);
  struct Case {
    int entry;
    const char* shown;  // nothing: refused
  };
  const Case cases[] = {
      {4, "*WIOT: 4,SMS STARTED 0701234567"},
      {6, "*WIOT: 6,CMD STARTED ATH"},
      {1, nullptr},  // no service in the entry
  };
  std::vector<int> started;
  for (const Case& c : cases) {
    const std::string answer = send("AT*WIOT=" + std::to_string(c.entry));
    if (c.shown) {
      EXPECT_NE(answer.find(std::string("\r\n") + c.shown + "\r\n"), std::string::npos) << answer;
      EXPECT_NE(answer.find("OK\r\n"), std::string::npos);
      started.push_back(c.entry);
    } else {
      EXPECT_NE(answer.find("ERROR"), std::string::npos) << answer;
    }
  }
  EXPECT_EQ(m.TestedIoEntries(), started);
  EXPECT_NE(send("AT*WIOT=11").find("ERROR"), std::string::npos);
}

TEST(SimulatedModemDiagnostics, LineStatesGiveTheirListings) {
  struct Case {
    const char* name;
    const char* norm;
    const char* speeds;
  };
  const Case cases[] = {
      {"idle", "IDLE", "0/0"},
      {"v34", "V34", "33600/31200"},
      {"v90", "V90A", "50666/31200"},
      {"v32b", "V32B", "14400/19200"},
  };
  for (const Case& c : cases) {
    LastConnection line;
    ASSERT_TRUE(LastConnectionPreset(c.name, line)) << c.name;
    SimulatedModem m(3);
    m.Diagnostics() = line;
    const std::string answer = m.Receive("AT&V1\r", {});
    Cut t(answer);
    EXPECT_EQ(RemoveAll(t.After("Norm").UpTo("\r"), " "), c.norm);
    EXPECT_EQ(RemoveAll(t.After("Speed Rx/Tx").UpTo("\r"), " "), c.speeds);
    EXPECT_TRUE(t.Ok()) << c.name;
  }
  LastConnection untouched;
  EXPECT_FALSE(LastConnectionPreset("v22", untouched));
  EXPECT_EQ(untouched, LastConnection{});
}

TEST(SimulatedModemIo, OnlyTypeThreeKnowsIoCommands) {
  for (int type : {1, 2, 4}) {
    SimulatedModem m(type);
    for (const char* cmd : {"AT*WIOP?\r", "AT*WIOL=1?\r", "AT*WIOD=1\r", "AT*WIOT=1\r",
                            "AT*WIOP=1,1,0,0,0\r"})
      EXPECT_NE(m.Receive(cmd, {}).find("ERROR"), std::string::npos) << type << cmd;
  }
}

TEST_F(ModemTest, LastConnectionDiagnosticsSurviveTheCut) {
  m.Diagnostics() = {"V90", 44000, 31200, 41, -19, -40, -33, -60, "REMOTE REQUEST"};
  const std::string answer = Send("AT&V1");
  Cut t(answer.substr(answer.find("Norm")));
  const std::string info = t.UpTo("OK\r\n");
  EXPECT_EQ(info.find("Norm"), 0u);
  EXPECT_EQ(RemoveAll(t.After("Norm").UpTo("\r"), " "), "V90");
  EXPECT_EQ(t.After("Speed Rx/Tx").Number(), 44000);
  EXPECT_EQ(t.After("/").Number(), 31200);
  EXPECT_EQ(t.After("SNR").Number(), 41);
  EXPECT_EQ(-t.After("RXLevel").Number(), 19);
  EXPECT_EQ(-t.After("Echo Level").Number(), 40);
  EXPECT_EQ(-t.After("Near Echo Level").Number(), 33);
  EXPECT_EQ(-t.After("Far Echo Level").Number(), 60);
  EXPECT_TRUE(t.Ok());
}

// --- profiles ------------------------------------------------------------------------

TEST_F(ModemTest, StoreResetAndFactoryDefaults) {
  Set("ATS0=9&K4");
  Set("AT*WCB=3");
  Set("AT&W");
  const ModemSettings stored = m.State();
  EXPECT_EQ(m.Stored(), stored);
  Set("ATS0=1&K0");
  Set("AT*WCB=1");
  Set("ATZ");
  EXPECT_EQ(m.State(), stored);

  // &F: the standard parameters; the Dalmarin settings stay, nothing is stored.
  Set("AT&F");
  EXPECT_EQ(m.State().s[0], 0);
  EXPECT_EQ(m.State().dtrControl, 2);
  EXPECT_EQ(m.State().flowControl, 3);
  EXPECT_EQ(m.State().callbackMode, 3);
  EXPECT_EQ(m.Stored(), stored);

  // &F2: everything to the Dalmarin defaults, stored at once.
  Set("AT&F2");
  EXPECT_EQ(m.State(), FactorySettings(2));
  EXPECT_EQ(m.Stored(), FactorySettings(2));
  EXPECT_EQ(m.State().s[0], 2);
  EXPECT_EQ(m.State().callbackMode, 0);
  EXPECT_NE(Send("AT&F1").find("ERROR"), std::string::npos);
}

TEST_F(ModemTest, OutOfRangeValuesAreRefusedAndChangeNothing) {
  const ModemSettings before = m.State();
  for (const char* bad : {"ATS0=256", "ATS300=1", "AT&K1", "AT&C2", "AT&D4", "AT&S2", "AT&A2",
                          "AT&B3", "AT%E3", "AT%C4", "AT\\N6", "AT\\K6", "ATE2", "ATV2", "ATW3",
                          "ATX5", "AT*WIE=2", "AT*WRCA=2", "AT*WCID=4,0", "AT*WCID=1,4",
                          "AT+IPR=", "AT*WNOPE?", "AT&V2", "AT&W1", "ATI7", "ATD", "AT+MS=?"})
    EXPECT_EQ(Send(bad), std::string(bad) + "\r\r\nERROR\r\n") << bad;
  EXPECT_EQ(m.State(), before);
}

// --- faults --------------------------------------------------------------------------

TEST(SimulatedModemFaults, ErrorForDropAndRawAnswers) {
  SimulatedModem m(2);
  m.Options().errorFor = {"+MS?"};
  EXPECT_EQ(m.Receive("AT+MS?\r", {}), "AT+MS?\r\r\nERROR\r\n");
  EXPECT_NE(m.Receive("AT+MS=V34B0\r", {}).find("OK"), std::string::npos);

  m.Options().dropAnswers = 1;
  EXPECT_EQ(m.Receive("\r", {}), "\r");  // an empty line does not count
  EXPECT_EQ(m.Receive("ATS0=4\r", {}), "ATS0=4\r");
  EXPECT_EQ(m.State().s[0], 2);  // a dropped line is not executed either
  EXPECT_EQ(m.Receive("AT\r", {}), "AT\r\r\nOK\r\n");

  m.Options().rawAnswers["I9"] = "\r\nDalmarin 7730-01 7730-02\r\n\r\nOK\r\n";
  EXPECT_EQ(m.Receive("ATI9\r", {}), "ATI9\r\r\nDalmarin 7730-01 7730-02\r\n\r\nOK\r\n");

  m.Options().silent = true;
  EXPECT_EQ(m.Receive("AT\r", {}), "");
  m.InjectOutput("RING");
  EXPECT_EQ(m.TakeOutput(), "RING");
}

TEST(SimulatedModemFaults, DelayedAnswerKeepsItsOrder) {
  SimulatedModem m(2);
  m.Options().answerDelayMs = 300;
  m.Advance(1000);
  EXPECT_EQ(m.Receive("AT\r", {}), "AT\r");
  EXPECT_EQ(m.NextEventMs(), 1300);
  // The echo of the next line waits behind the held answer.
  EXPECT_EQ(m.Receive("AT", {}), "");
  m.Advance(1299);
  EXPECT_FALSE(m.OutputPending());
  m.Advance(1300);
  EXPECT_EQ(m.TakeOutput(), "\r\nOK\r\nAT");
  EXPECT_EQ(m.NextEventMs(), -1);
}

// Lines made of the characters commands are made of, and stray bytes: the
// modem never crashes, never answers without bounds, and always answers a
// plain "AT" again once its line is set back.
TEST(SimulatedModemRobustness, ArbitraryLinesAreAnsweredOrRefused) {
  const std::string alphabet = "ATat+*&%\\=?,;\" 0123456789SZVEQWXIDHOLMNBCKFPY_WIOLCBTABMSGCIRCP\b\x80\xff";
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int type : {0, 1, 2, 3, 4}) {
    SimulatedModem m = type ? SimulatedModem(type) : SimulatedModem(std::string_view("7730-05"));
    long long now = 0;
    for (int round = 0; round < 3000; ++round) {
      std::string line = next() % 2 ? "AT" : "";
      const size_t length = next() % 40;
      for (size_t k = 0; k < length; ++k) line += alphabet[next() % alphabet.size()];
      now += 700;
      m.Advance(now);
      const std::string answer = m.Receive(line + "\r", {});
      EXPECT_LT(answer.size(), 8192u) << line;
    }
    // Whatever state it was left in: end a call or a download, set the line
    // back and ask.
    m.Advance(now + 100000);
    m.TakeOutput();
    if (m.Connected()) {
      m.Advance(now + 200000);
      m.Receive("+++", {});
      m.Advance(now + 300000);
      m.Receive("ATH\r", {});
    }
    m.State().dteRate = 0;
    m.State().quiet = 0;
    m.Options().silent = false;
    m.TakeOutput();
    const std::string answer = m.Receive("\rAT\r", {});
    EXPECT_TRUE(answer.find("OK\r\n") != std::string::npos || answer.find("0\r") != std::string::npos)
        << type << ": " << answer;
  }
}

// --- dialling and remote configuration ---------------------------------------------

class DialTest : public ::testing::Test {
 protected:
  std::string Send(std::string_view bytes) { return m.Receive(bytes, {}); }
  std::string At(long long ms) {
    m.Advance(ms);
    return m.TakeOutput();
  }
  SimulatedModem m{2};
};

TEST_F(DialTest, RemoteLoginConfigureAndHangUp) {
  m.FarModem().State().remotePassword = "letmein";
  m.FarModem().State().s[0] = 5;
  EXPECT_FALSE(m.CdOn() && m.State().dcdControl == 1);
  EXPECT_EQ(Send("ATD030 1234\r"), "ATD030 1234\r");
  EXPECT_EQ(At(1000), "");
  EXPECT_EQ(At(1500), "\r\nCONNECT 9600\r\n");
  EXPECT_EQ(m.DialledNumber(), "0301234");
  EXPECT_TRUE(m.Connected());
  EXPECT_TRUE(m.CdOn());

  m.Advance(2700);
  EXPECT_EQ(Send("++++"), "\r\nC_PASSWORD:");
  EXPECT_EQ(Send("wrong\r"), "\r\nC_PASSWORD:");
  EXPECT_EQ(Send("letmein\r"), "\r\n>");
  EXPECT_TRUE(m.InRemoteSession());
  // Commands now reach the far modem, each answer followed by its prompt.
  EXPECT_EQ(Send("ATS0?\r"), "ATS0?\r\r\n005\r\n\r\nOK\r\n>");
  EXPECT_EQ(Send("ATS0=1\r"), "ATS0=1\r\r\nOK\r\n>");
  EXPECT_EQ(m.FarModem().State().s[0], 1);
  EXPECT_EQ(m.State().s[0], 2);
  EXPECT_EQ(Send("ATH\r"), "ATH\r\r\nERROR\r\n>");  // not over the line
  EXPECT_EQ(Send("AT*WRCE\r"), "AT*WRCE\r\r\nOK\r\n");
  EXPECT_FALSE(m.InRemoteSession());

  // Escape: a second of silence, "+++", a second of silence.
  m.Advance(9000);
  EXPECT_EQ(Send("+++"), "");
  EXPECT_EQ(At(9500), "");
  EXPECT_EQ(At(10000), "\r\nOK\r\n");
  EXPECT_EQ(Send("ATH\r"), "ATH\r\r\nOK\r\n");
  EXPECT_FALSE(m.Connected());
  EXPECT_EQ(m.Diagnostics().termination, "LOCAL REQUEST");
}

TEST_F(DialTest, EscapeNeedsItsGuardTimes) {
  Send("ATD1\r");
  At(1500);
  m.Advance(1600);  // too soon after the connection
  Send("+++");
  EXPECT_EQ(At(5000), "");
  m.Advance(7000);
  Send("+++");
  m.Advance(7500);
  Send("x");  // data within the guard time cancels it
  EXPECT_EQ(At(9000), "");
  EXPECT_TRUE(m.Connected());
  m.Advance(10000);
  Send("+++");
  EXPECT_EQ(At(11000), "\r\nOK\r\n");
  EXPECT_EQ(Send("ATO\r"), "ATO\r\r\nCONNECT 9600\r\n");
}

TEST_F(DialTest, FailedCallsAndDisabledRemoteConfiguration) {
  m.Options().dialResult = "BUSY";
  Send("ATD1\r");
  EXPECT_EQ(At(1500), "\r\nBUSY\r\n");
  EXPECT_FALSE(m.Connected());
  // A character during dialling aborts the call.
  m.Options().dialResult.clear();
  Send("ATD1\r");
  EXPECT_EQ(Send("x"), "\r\nNO CARRIER\r\n");
  EXPECT_EQ(At(5000), "");
  // The far modem ignores the request when remote configuration is off.
  m.FarModem().State().remoteEnable = 0;
  EXPECT_EQ(Send("ATDS=0\r"), "ATDS=0\r\r\nERROR\r\n");  // stored number 0 is empty
  m.State().storedNumbers[2] = "0815";
  Send("ATDS=2\r");
  EXPECT_EQ(At(7000), "\r\nCONNECT 9600\r\n");
  EXPECT_EQ(m.DialledNumber(), "0815");
  m.Advance(9000);
  EXPECT_EQ(Send("++++"), "");
  // Dropping DTR with &D2 hangs up.
  m.State().dtrControl = 2;
  m.SetDtr(false);
  EXPECT_FALSE(m.Connected());
}

// --- firmware download ---------------------------------------------------------------

TEST(SimulatedModemFlash, RecordsAreAcknowledgedThenFlashed) {
  for (int mode : {1, 2}) {
    SimulatedModem m(3);
    m.Options().downloadMode = mode;
    const std::string a = m.Receive("AT**\r", {});
    EXPECT_NE(a.find(mode == 1 ? "Download initiated..." : "Downloading Record Data..."),
              std::string::npos);
    EXPECT_EQ(m.Receive("S00600004844521B\r\n", {}), ".");
    EXPECT_EQ(m.Receive("\r\nS1130000285F245F2212226A000424290008237C2A\r", {}), "..");
    EXPECT_EQ(m.Receive("S9030000FC\r", {}), ".");
    m.Advance(2000);
    const std::string flash = m.TakeOutput();
    EXPECT_NE(flash.find(mode == 1 ? "Download Success" : "Download successful"), std::string::npos);
    EXPECT_EQ(std::count(flash.begin(), flash.end(), '.'), 10);
    EXPECT_EQ(m.FirmwareRecords().size(), 4u);
    EXPECT_EQ(m.FirmwareRecords()[1], "");
    EXPECT_EQ(m.Receive("AT\r", {}), "AT\r\r\nOK\r\n");
  }
}

TEST(SimulatedModemFlash, SilenceEndsTheDownloadAndFailureIsReported) {
  SimulatedModem m(3);
  m.Options().flashSucceeds = false;
  m.Receive("AT**\r", {});
  m.Advance(1499);
  EXPECT_TRUE(m.Downloading());
  m.Advance(1500);
  m.Advance(4000);
  EXPECT_NE(m.TakeOutput().find("Download failed"), std::string::npos);
  EXPECT_FALSE(m.Downloading());
}

}  // namespace
}  // namespace kelvane
