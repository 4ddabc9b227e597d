// The traffic log file: one time-stamped line per line of traffic with its
// direction, bytes shown exactly, passwords never written.

#include "config/traffic_file_log.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/scripted_port.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

class TrafficFileLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (fs::temp_directory_path() /
             ("kelvane-traffic-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log"))
                .string();
    fs::remove(path_);
  }
  void TearDown() override { fs::remove(path_); }

  // Stamps count up, so each line shows when it was begun.
  TrafficFileLog::StampFunction Counter() {
    return [this] { return "T" + std::to_string(++stamps_); };
  }

  std::string Contents() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // The traffic lines only, without the opening and closing lines.
  std::vector<std::string> TrafficLines() const {
    std::vector<std::string> out;
    std::istringstream in(Contents());
    std::string line;
    while (std::getline(in, line)) {
      if (line.find(" -- ") == std::string::npos) out.push_back(line);
    }
    return out;
  }

  std::string path_;
  int stamps_ = 0;
};

TEST_F(TrafficFileLogTest, AShortExchangeGivesOneLinePerLineWithDirectionAndTime) {
  TrafficFileLog log(Counter());
  std::string error;
  ASSERT_TRUE(log.Open(path_, error)) << error;
  log.Sent("ATI9\r");
  log.Received("ATI9\r\r\nDalmarin RM-");  // the answer arrives in pieces
  log.Received("40 485\r\n\r\nOK\r\n");
  log.Sent("AT\r");
  log.Close();
  const std::vector<std::string> expected = {
      "T2 TX ATI9\\r",
      "T3 RX ATI9\\r",
      "T4 RX \\r\\n",
      "T5 RX Dalmarin RM-40 485\\r\\n",
      "T6 RX \\r\\n",
      "T7 RX OK\\r\\n",
      "T8 TX AT\\r",
  };
  EXPECT_EQ(TrafficLines(), expected);
  // Opening and closing lines frame the traffic.
  EXPECT_EQ(Contents().rfind("T1 -- traffic log started", 0), 0u);
  EXPECT_NE(Contents().find("T9 -- traffic log ended\n"), std::string::npos);
}

TEST_F(TrafficFileLogTest, EveryByteCanBeToldFromTheFile) {
  TrafficFileLog log(Counter());
  std::string error;
  ASSERT_TRUE(log.Open(path_, error));
  log.Received(std::string("a\\b\tc\x01\xFF\x1A" "\0z", 10));
  log.Received("\rX");  // a lone carriage return ends its line
  log.Flush();
  EXPECT_EQ(TrafficLines(), (std::vector<std::string>{"T2 RX a\\\\b\\tc\\x01\\xFF\\x1A\\x00z\\r", "T3 RX X"}));
}

TEST_F(TrafficFileLogTest, LongLinesAreSplitAndNothingIsLost) {
  TrafficFileLog log(Counter());
  std::string error;
  ASSERT_TRUE(log.Open(path_, error));
  log.Sent(std::string(600, 'S'));
  log.Close();
  const auto lines = TrafficLines();
  ASSERT_EQ(lines.size(), 3u);
  std::string joined;
  for (const auto& l : lines) joined += l.substr(l.find(" TX ") + 4);
  EXPECT_EQ(joined, std::string(600, 'S'));
}

TEST_F(TrafficFileLogTest, ThePasswordOfTheLoginAndItsEchoAreMasked) {
  TrafficFileLog log(Counter());
  std::string error;
  ASSERT_TRUE(log.Open(path_, error));
  log.Received("\r\nC_PASSWORD:");
  log.MaskNextSend();
  log.Sent("Open Sesame\r");
  log.Received("Open Ses");
  log.Received("ame\r\n>");
  log.Sent("ATI9\r");
  // After the next send the password text is an ordinary text again.
  log.Received("Open Sesame is a saying\r\n");
  log.Close();
  const std::string text = Contents();
  const std::vector<std::string> expected = {
      "T2 RX \\r\\n", "T3 RX C_PASSWORD:", "T4 TX ********\\r", "T5 RX ********\\r\\n", "T6 RX >",
      "T7 TX ATI9\\r", "T8 RX Open Sesame is a saying\\r\\n",
  };
  EXPECT_EQ(TrafficLines(), expected);
}

TEST_F(TrafficFileLogTest, PasswordFieldsOfConfigurationTrafficAreMasked) {
  struct Case {
    const char* line;
    const char* logged;
  };
  const Case cases[] = {
      {"AT*WRCP=Hidden42", "AT*WRCP=********"},
      {"at*wrcp=hidden42", "at*wrcp=********"},
      {"*WRCP: Hidden42", "*WRCP: ********"},
      {"3_Password=abc123", "3_Password=********"},
      {"3_Number=0123456", "3_Number=0123456"},
      {"AT*WCBTAB=3,\"0123456\",\"abc123\"", "AT*WCBTAB=3,\"0123456\",********"},
      {"AT*WCBTAB=3,\"0123456\"", "AT*WCBTAB=3,\"0123456\""},
      {"AT*WIOL=2,1,0,30,0,\"0123\",\"Door, A\",\"\",0,\"sms,pw\",\"Sender\"",
       "AT*WIOL=2,1,0,30,0,\"0123\",\"Door, A\",\"\",0,********,\"Sender\""},
      {"AT*WIOL=2,1,0,30,0,\"0123\",\"\",\"\",0,\"pw\"", "AT*WIOL=2,1,0,30,0,\"0123\",\"\",\"\",0,********"},
      {"AT*WIOL=2?", "AT*WIOL=2?"},
      {"2_Data5=secret", "2_Data5=********"},
      {"2_Data6=Sender", "2_Data6=Sender"},
      {"AT*WRCP=", "AT*WRCP="},
      {"ATS0=2", "ATS0=2"},
      // Only the secret's own place is masked: a command smuggled into
      // another text stays visible as what it is.
      {"AT+MS=V34*WRCP=owned12B0", "AT+MS=V34*WRCP=owned12B0"},
      {"+MS: V34*WRCP=owned12", "+MS: V34*WRCP=owned12"},
      {"AT&Z0=1*WRCP: x", "AT&Z0=1*WRCP: x"},
      {"1_Data1=2_Data5=x", "1_Data1=2_Data5=x"},
      {">*WRCP: Hidden42", ">*WRCP: ********"},
      {"> AT*WRCP=Hidden42", "> AT*WRCP=********"},
  };
  for (const Case& c : cases) EXPECT_EQ(MaskPasswordFields(c.line), c.logged) << c.line;

  // In the file too, in both directions, with the line end kept.
  TrafficFileLog log(Counter());
  std::string error;
  ASSERT_TRUE(log.Open(path_, error));
  log.Sent("AT*WRCP=Hidden42\r");
  log.Received("AT*WRCP=Hidden42\r\r\nOK\r\n");
  // Lines written in several pieces keep their context: Data 5 well past
  // the first 256 bytes, and a password longer than any line is cut.
  const std::string text(150, 'T');
  log.Sent("AT*WIOL=1,2,0,30,0,\"0123\",\"" + text + "\",\"" + text + "\",0,\"Hidden42\",\"x\"\r");
  log.Received("AT*WRCP=" + std::string(9000, 'H') + "\r\nOK\r\n");
  log.Close();
  EXPECT_EQ(Contents().find("Hidden42"), std::string::npos) << Contents();
  EXPECT_EQ(Contents().find("HHH"), std::string::npos);
  EXPECT_NE(Contents().find("0,********,\"x\"\\r"), std::string::npos);
  EXPECT_EQ(TrafficLines().front(), "T2 TX AT*WRCP=********\\r");
  // New logs are for their owner's eyes only.
  EXPECT_EQ(fs::status(path_).permissions() & fs::perms::mask, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(TrafficFileLogTest, AClosedLogWritesNothingAndAnUnwritablePathIsNamed) {
  TrafficFileLog log(Counter());
  log.Sent("AT\r");
  log.MaskNextSend();
  log.Flush();
  EXPECT_FALSE(fs::exists(path_));

  std::string error;
  EXPECT_FALSE(log.Open("/nonexistent-folder/traffic.log", error));
  EXPECT_NE(error.find("/nonexistent-folder/traffic.log"), std::string::npos) << error;
  EXPECT_FALSE(log.IsOpen());
}

TEST_F(TrafficFileLogTest, ReopeningAppends) {
  for (int run = 0; run < 2; ++run) {
    TrafficFileLog log(Counter());
    std::string error;
    ASSERT_TRUE(log.Open(path_, error));
    log.Sent("AT" + std::to_string(run) + "\r");
  }
  EXPECT_EQ(TrafficLines().size(), 2u);
}

// In a folder anyone may write, another user swaps a link to a file of
// this user's for the log while it is being opened, again and again: the
// log is written where it stands or refused, never through the link.
TEST(TrafficFileLog, ALinkSwappedInWhileTheLogOpensIsNeverWrittenThrough) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant a link of another user";
  std::string shared = (fs::temp_directory_path() / "kelvane-log-race-XXXXXX").string();
  ASSERT_NE(::mkdtemp(shared.data()), nullptr);
  std::string own = (fs::temp_directory_path() / "kelvane-log-own-XXXXXX").string();
  ASSERT_NE(::mkdtemp(own.data()), nullptr);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  const std::string victim = own + "/victim", log = shared + "/traffic.log", swap = shared + "/swap";
  std::ofstream(victim) << "the user's own";
  std::ofstream(log) << "";
  ASSERT_EQ(::symlink(victim.c_str(), swap.c_str()), 0);
  ASSERT_EQ(::lchown(swap.c_str(), 65534, 65534), 0);
  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    while (!stop) ::renameat2(AT_FDCWD, log.c_str(), AT_FDCWD, swap.c_str(), RENAME_EXCHANGE);
  });
  int opened = 0;
  // About a second here; bounded in time on a slow or loaded machine.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (int i = 0; i < 100000 && std::chrono::steady_clock::now() < end; ++i) {
    std::string error;
    if (std::FILE* file = OpenTrafficLogFile(log, error)) {
      std::fputs("x", file);
      std::fclose(file);
      ++opened;
    }
  }
  stop = true;
  swapper.join();
  std::stringstream kept;
  kept << std::ifstream(victim).rdbuf();
  EXPECT_EQ(kept.str(), "the user's own");
  EXPECT_GT(opened, 0);
  fs::remove_all(shared);
  fs::remove_all(own);
}

TEST(TrafficLogStamp, LocalTimeWithMilliseconds) {
  EXPECT_TRUE(std::regex_match(TrafficFileLog::LocalTimeStamp(),
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})")));
}

TEST(TrafficLoggingPort, LogsWhatGoesThroughAndForwardsEverything) {
  const std::string path = (fs::temp_directory_path() / ("kelvane-port-log-" + std::to_string(::getpid()))).string();
  fs::remove(path);
  int stamp = 0;
  TrafficFileLog log([&] { return "T" + std::to_string(++stamp); });
  testing::ScriptedPort inner;
  inner.respond = [](const std::string& line) { return line + "\r\r\nOK\r\n"; };
  TrafficLoggingPort port(log, &inner);
  std::string reason;
  ASSERT_TRUE(port.Open("sim", reason));
  std::string error;
  ASSERT_TRUE(log.Open(path, error));
  EXPECT_EQ(port.Write("AT\r"), 3u);
  EXPECT_EQ(port.ReadAll(), "AT\r\r\nOK\r\n");
  EXPECT_TRUE(port.IsOpen());
  port.Close();
  EXPECT_FALSE(inner.IsOpen());
  log.Close();
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_NE(s.str().find("T2 TX AT\\r\n"), std::string::npos) << s.str();
  EXPECT_NE(s.str().find("RX OK\\r\\n\n"), std::string::npos) << s.str();
  fs::remove(path);
}

}  // namespace
}  // namespace kelvane
