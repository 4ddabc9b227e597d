#include "connection/raw_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "support/scripted_port.h"
#include "support/virtual_ui.h"

namespace kelvane {
namespace {

using testing::ScriptedPort;
using testing::VirtualUi;

// An output buffer that fills with every write and drains a fixed amount per
// pump, like a UART at a slow speed.
class FillingPort : public ScriptedPort {
 public:
  size_t Write(std::string_view bytes) override {
    chunks.push_back(bytes.size());
    outBufferCount += static_cast<int>(bytes.size());
    return ScriptedPort::Write(bytes);
  }
  void Drain(int n) { outBufferCount = std::max(0, outBufferCount - n); }
  std::vector<size_t> chunks;
};

class RawTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    a.SetPort(&port);
    a.PortNumber = "/dev/ttyTEST";
    a.BaudRate = "115200";
    a.Parity = "None";
    a.DataBits = "8";
    a.StopBits = "1";
    ASSERT_TRUE(a.OpenPort());
    ui.onPump = [this](VirtualUi&) { port.Drain(drainPerPump); };
  }
  std::vector<uint8_t> Bytes(size_t n) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 3);
    return b;
  }
  static std::string AsText(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

  CAdapter a;
  VirtualUi ui{a};
  FillingPort port;
  int drainPerPump = 1 << 20;
};

TEST_F(RawTransferTest, CountBelowOneSendsNothing) {
  const auto file = Bytes(10);
  for (int count : {0, -1, INT_MIN}) {
    EXPECT_EQ(SendRepeated(a, file, count, 0), 0) << count;
  }
  EXPECT_TRUE(port.sentBytes.empty());
  EXPECT_EQ(ui.rangeHigh, 0);
}

TEST_F(RawTransferTest, RepeatsTheFileWithTheDelayAfterEachRepetition) {
  const auto file = Bytes(40);
  const long long start = ui.NowMs();
  EXPECT_EQ(SendRepeated(a, file, 3, 500), 3);
  EXPECT_EQ(port.sentBytes, AsText(file) + AsText(file) + AsText(file));
  EXPECT_GE(ui.NowMs() - start, 1500);
}

// The bar follows the bytes (at most 1000 steps), and the end is told in the
// status text and the terminal: sent whole, cancelled part-way, or cancelled
// in the pause after the last repetition (which must not stay pending and
// cancel the next operation).
TEST_F(RawTransferTest, ProgressFollowsTheBytesAndTheEndIsTold) {
  struct Case {
    size_t size;
    int count;
    int delayMs;
    int cancelAtPump;   // 0: no cancel during the sending
    bool cancelInPause;
    int range;
    int steps;
    int repetitions;
    std::string told;
  };
  const Case cases[] = {
      {40, 3, 0, 0, false, 120, 120, 3, "120 bytes sent."},
      {5000, 2, 0, 0, false, 1000, 1000, 2, "10000 bytes sent."},
      {2000, 1, 0, 3, false, 1000, 512, 0, "Send File cancelled after 1024 bytes."},
      {30, 2, 100, 0, true, 60, 60, 2, "60 bytes sent."},
  };
  // Presses Cancel during the pause after the last repetition.
  struct CancelInLastPause : VirtualUi {
    explicit CancelInLastPause(CAdapter& a) : VirtualUi(a), adapter(a) {}
    CAdapter& adapter;
    int pausesBeforeCancel = -1;
    void Sleep(int milliseconds) override {
      if (--pausesBeforeCancel == 0) adapter.AbortRequested = true;
      VirtualUi::Sleep(milliseconds);
    }
  };
  for (const Case& c : cases) {
    CAdapter adapter;
    CancelInLastPause vui{adapter};
    FillingPort fp;
    adapter.SetPort(&fp);
    adapter.PortNumber = "/dev/ttyTEST";
    adapter.BaudRate = "115200";
    adapter.Parity = "None";
    adapter.DataBits = "8";
    adapter.StopBits = "1";
    ASSERT_TRUE(adapter.OpenPort());
    int pumps = 0;
    vui.onPump = [&](VirtualUi&) {
      fp.Drain(512);
      if (++pumps == c.cancelAtPump) adapter.AbortRequested = true;
    };
    if (c.cancelInPause) vui.pausesBeforeCancel = c.count;
    EXPECT_EQ(SendRepeated(adapter, Bytes(c.size), c.count, c.delayMs), c.repetitions) << c.told;
    EXPECT_EQ(vui.rangeHigh, c.range) << c.told;
    EXPECT_EQ(vui.steps, c.steps) << c.told;
    EXPECT_EQ(vui.statusNote, c.told);
    EXPECT_NE(vui.terminal.find(c.told), std::string::npos) << c.told;
    EXPECT_FALSE(adapter.AbortRequested) << c.told;
  }
}

TEST_F(RawTransferTest, LargeFileIsSentInChunksAsTheBufferDrains) {
  drainPerPump = 200;
  const auto file = Bytes(1300);
  EXPECT_EQ(SendRepeated(a, file, 1, 0), 1);
  EXPECT_EQ(port.sentBytes, AsText(file));
  ASSERT_GT(port.chunks.size(), 2u);
  for (size_t c : port.chunks) EXPECT_LE(c, 512u);
  EXPECT_EQ(port.chunks.front(), 512u);
}

TEST_F(RawTransferTest, EmptyFileCompletesAndStillWaitsTheDelay) {
  const long long start = ui.NowMs();
  EXPECT_EQ(SendRepeated(a, {}, 2, 300), 2);
  EXPECT_TRUE(port.sentBytes.empty());
  EXPECT_GE(ui.NowMs() - start, 600);
  EXPECT_EQ(ui.statusNote, "0 bytes sent.");
}

TEST_F(RawTransferTest, CancelStopsBetweenChunksAndIsConsumed) {
  drainPerPump = 0;  // the buffer never drains: only a cancel ends the wait
  int pumps = 0;
  ui.onPump = [&](VirtualUi&) {
    if (++pumps == 5) a.AbortRequested = true;
  };
  const auto file = Bytes(2000);
  EXPECT_EQ(SendRepeated(a, file, 4, 0), 0);
  EXPECT_EQ(port.sentBytes.size(), 512u);
  EXPECT_FALSE(a.AbortRequested);
}

TEST_F(RawTransferTest, StopsWhenThePortGoesAway) {
  drainPerPump = 0;
  int pumps = 0;
  ui.onPump = [&](VirtualUi&) {
    if (++pumps == 3) port.SetLost(true);
  };
  EXPECT_EQ(SendRepeated(a, Bytes(2000), 1, 0), 0);
  EXPECT_EQ(port.sentBytes.size(), 512u);
}

TEST_F(RawTransferTest, EscapeSequenceIsThreePlusSignsBetweenGuardTimes) {
  const long long start = ui.NowMs();
  EXPECT_EQ(SendEscapeSequence(a), 1);
  EXPECT_EQ(port.sentBytes, "+++");
  EXPECT_GE(ui.NowMs() - start, 2200);
  EXPECT_FALSE(a.Busy);
  EXPECT_EQ(ui.steps, 2);
  EXPECT_EQ(ui.progressTexts.back(), "Sending Escape Sequence...");
}

// Cancel pressed during the guard times (the transfer dialog's Cancel works
// while it sleeps) has nothing to stop there; left set, it would cancel the
// first command of whatever runs next.
TEST(EscapeSequence, ACancelDuringTheSequenceEndsWithIt) {
  struct CancelWhileSleeping : VirtualUi {
    using VirtualUi::VirtualUi;
    CAdapter* adapter = nullptr;
    void Sleep(int milliseconds) override {
      if (adapter) adapter->AbortRequested = true;
      VirtualUi::Sleep(milliseconds);
    }
  };
  CAdapter a;
  ScriptedPort port;
  CancelWhileSleeping ui{a};
  // The port hands over whole lines: "+++" arrives in front of the next one.
  port.respond = [](const std::string& line) {
    return line.ends_with("AT") ? std::string("\r\nOK\r\n") : std::string();
  };
  a.SetPort(&port);
  a.PortNumber = "/dev/ttyTEST";
  a.BaudRate = "9600";
  a.Parity = "None";
  a.DataBits = "8";
  a.StopBits = "1";
  ASSERT_TRUE(a.OpenPort());
  ui.adapter = &a;
  EXPECT_EQ(SendEscapeSequence(a), 1);
  ui.adapter = nullptr;
  EXPECT_EQ(port.sentBytes, "+++");
  EXPECT_FALSE(a.AbortRequested);
  std::string command = "AT";
  EXPECT_EQ(a.Transact(command, 1, "OK\r\n"), 1);
}

TEST_F(RawTransferTest, EscapeSequenceRefusedWhileBusyOrClosed) {
  a.Busy = true;
  EXPECT_EQ(SendEscapeSequence(a), 0);
  EXPECT_TRUE(a.Busy);
  a.Busy = false;
  a.CloseLink();
  EXPECT_EQ(SendEscapeSequence(a), 0);
  EXPECT_TRUE(port.sentBytes.empty());
}

class SendFileOperationTest : public RawTransferTest {
 protected:
  void SetUp() override {
    RawTransferTest::SetUp();
    dir = std::filesystem::temp_directory_path() /
          ("kelvane_raw_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    path = (dir / "payload.bin").string();
    std::ofstream(path, std::ios::binary) << std::string("AT\r\0raw", 7);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
  std::string path;
};

TEST_F(SendFileOperationTest, SendsTheChosenFileWithTheDialogsCountAndDelay) {
  ui.fileAnswers.push_back(path);
  std::string askedFor;
  const long long start = ui.NowMs();
  const int result = SendFileOperation(a, [&](const std::string& p, SendFileParams& params) {
    askedFor = p;
    EXPECT_EQ(params.count, 1);
    EXPECT_EQ(params.delayMs, 0);
    params.count = 2;
    params.delayMs = 5000;  // longer than allowed: one second is used
    return true;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(askedFor, path);
  EXPECT_EQ(port.sentBytes, std::string("AT\r\0rawAT\r\0raw", 14));
  const long long elapsed = ui.NowMs() - start;
  EXPECT_GE(elapsed, 2000);
  EXPECT_LT(elapsed, 3000);
  ASSERT_EQ(ui.fileRequests.size(), 1u);
  EXPECT_EQ(ui.fileRequests[0].filter, "All files (*.*)|*.*||");
  EXPECT_EQ(ui.fileRequests[0].kind, FileDialogKind::Open);
}

TEST_F(SendFileOperationTest, CancelInEitherDialogSendsNothing) {
  bool asked = false;
  auto ask = [&](const std::string&, SendFileParams&) {
    asked = true;
    return false;
  };
  ui.fileAnswers.push_back(std::nullopt);
  EXPECT_EQ(SendFileOperation(a, ask), 0);
  EXPECT_FALSE(asked);
  ui.fileAnswers.push_back(path);
  EXPECT_EQ(SendFileOperation(a, ask), 0);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(port.sentBytes.empty());
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SendFileOperationTest, UnreadableFileIsReported) {
  for (const std::string& bad : {(dir / "missing.bin").string(), dir.string()}) {
    ui.fileAnswers.push_back(bad);
    bool asked = false;
    SendFileOperation(a, [&](const std::string&, SendFileParams&) { return asked = true; });
    EXPECT_FALSE(asked) << bad;
  }
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, "Unable to open file...");
  EXPECT_EQ(ui.boxes[0].detail, (dir / "missing.bin").string() + ": No such file or directory");
  EXPECT_EQ(ui.boxes[1].text, "Unable to open file...");
  EXPECT_EQ(ui.boxes[1].detail, dir.string() + ": Is a directory");
  EXPECT_TRUE(port.sentBytes.empty());
}

TEST_F(SendFileOperationTest, AStaleCancelDoesNotStopTheNextTransfer) {
  a.AbortRequested = true;
  ui.fileAnswers.push_back(path);
  SendFileOperation(a, [](const std::string&, SendFileParams&) { return true; });
  EXPECT_EQ(port.sentBytes.size(), 7u);
}

TEST(RawTransferFields, LeadingIntegerOfATextField) {
  EXPECT_EQ(LeadingInt("2500"), 2500);
  EXPECT_EQ(LeadingInt("-5"), -5);
  EXPECT_EQ(LeadingInt("  12ab"), 12);
  EXPECT_EQ(LeadingInt("abc"), 0);
  EXPECT_EQ(LeadingInt(""), 0);
  EXPECT_EQ(LeadingInt("-"), 0);
  EXPECT_EQ(LeadingInt("99999999999999999999"), INT_MAX);
  EXPECT_EQ(LeadingInt("-99999999999999999999"), INT_MIN);
}

TEST(RawTransferFields, DelayAboveOneSecondOrNegativeBecomesOneSecond) {
  EXPECT_EQ(ClipSendDelay(0), 0);
  EXPECT_EQ(ClipSendDelay(1000), 1000);
  EXPECT_EQ(ClipSendDelay(1001), 1000);
  EXPECT_EQ(ClipSendDelay(9999), 1000);
  EXPECT_EQ(ClipSendDelay(-1), 1000);
  EXPECT_EQ(ClipSendDelay(INT_MIN), 1000);
}

}  // namespace
}  // namespace kelvane
