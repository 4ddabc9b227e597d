// The firmware flash update: the record rules, the file checks, the
// dialogue with the loader in both download modes, silence in every phase,
// Cancel and a port that goes away.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "connection/flash_update.h"
#include "support/rig.h"

namespace kelvane {
namespace {

using testing::Rig;

std::string TempFile(const std::string& name, const std::string& content) {
  const std::string path = "/tmp/kelvane-flash-" + std::to_string(::getpid()) + "-" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

// A sparse file of `size` bytes: no disk space, and read whole it would
// hold `size` bytes of zeros.
std::string LargeFile(const std::string& name, uintmax_t size) {
  const std::string path = TempFile(name, "");
  std::filesystem::resize_file(path, size);
  return path;
}

TEST(FirmwareRecords, RecordRules) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> records;
    int total;
  };
  const Case cases[] = {
      {"first line never sent", "S0header\r\nS1aa\r\nS9end\r\n", {"S1aa", "S9end"}, 3},
      {"text after the last CR never sent", "h\rS1aa\rS1bb", {"S1aa"}, 2},
      {"two CRs in a row are skipped", "h\rA\r\rB\r", {"A", "B"}, 4},
      {"empty CR LF line is an empty record", "h\r\nA\r\n\r\nB\r\n", {"A", "", "B"}, 4},
      {"every LF removed", "h\r\n\nA\n\r\n", {"A"}, 2},
      {"LF line ends", "S0hdr\nS1aa\n\nS1bb\nS9end\n", {"S1aa", "S1bb", "S9end"}, 5},
      {"LF line ends, the last line unended", "S0hdr\nS1aa\nS9end", {"S1aa"}, 2},
      {"no line end at all", "S1aa", {}, 0},
      {"text ends at the first zero byte", std::string("h\rA\rB\0C\rD\r", 11), {"A"}, 2},
      {"empty", "", {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FirmwareRecords f = SplitFirmwareRecords(c.text);
    EXPECT_EQ(f.records, c.records);
    EXPECT_EQ(f.total, c.total);
    EXPECT_FALSE(f.binary);
  }
  EXPECT_TRUE(SplitFirmwareRecords("h\rA\x01\x02\xff\rB\r").binary);
  EXPECT_FALSE(SplitFirmwareRecords("h\r\tA\x1a\r").binary);
}

TEST(FirmwareRecords, FilesThatCannotBeFlashed) {
  const std::string dir = "/tmp/kelvane-flash-dir-" + std::to_string(::getpid());
  ::mkdir(dir.c_str(), 0700);
  struct Case {
    std::string path;
    const char* message;
    const char* reason;  // after "<path>: "
  };
  const Case cases[] = {
      {"/nonexistent/firmware.s19", "Unable to open file...", "No such file or directory"},
      {dir, "Unable to open file...", "Is a directory"},
      {"/dev/zero", "Unable to open file...", "not a regular file"},
      {TempFile("empty", ""), "The file holds no firmware records.", "the file is empty"},
      {TempFile("one line", "S1130000\n"), "The file holds no firmware records.", "no record ends with a line end"},
      {TempFile("no line end", "S1130000"), "The file holds no firmware records.", "no record ends with a line end"},
      {TempFile("binary", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\r\n\x03\x00", 14)),
       "The file is not a firmware text file.", "binary data"},
      {TempFile("zero first", std::string("\0\r\nS1\r\nS9\r\n", 11)), "The file holds no firmware records.",
       "no record ends with a line end"},
      {TempFile("control", "hdr\r\nS1\x01\x02\x03\r\nS9\r\n"), "The file is not a firmware text file.",
       "binary data"},
      // The end record without its line end would never be sent.
      {TempFile("unended", "S0hdr\r\nS1130000\r\nS9030000FC"), "The file's last line would not be sent.",
       "the last line has no line end"},
      {TempFile("unended LF", "S0hdr\nS1130000\nS9030000FC"), "The file's last line would not be sent.",
       "the last line has no line end"},
      // Line feeds alone after carriage returns: a mixed file keeps the
      // loader's rules.
      {TempFile("mixed", "S0hdr\r\nS1130000\r\nS9030000FC\n"), "The file's last line would not be sent.",
       "the last line has no line end"},
      // Short records over 300 MB would fill the memory: refused unread.
      {LargeFile("300 MB", 300u << 20), "The file is too large for a firmware file.",
       "it holds 300.0 MB; a firmware file holds at most 8 MB"},
      {LargeFile("8 MB and a byte", (8u << 20) + 1), "The file is too large for a firmware file.",
       "it holds 8.0 MB; a firmware file holds at most 8 MB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FirmwareRecords f;
    FileProblem problem;
    EXPECT_FALSE(LoadFirmwareFile(c.path, f, problem));
    EXPECT_EQ(problem.message, c.message);
    EXPECT_EQ(problem.detail, c.path + ": " + c.reason);
    if (c.path.rfind("/tmp/kelvane-flash-", 0) == 0 && c.path != dir) ::unlink(c.path.c_str());
  }
  ::rmdir(dir.c_str());
}

// A modem with a firmware loader. Echo and result mode as configured; the
// loader acknowledges every record with "." and reports the outcome after
// the end record (one starting with "S9").
struct Loader {
  bool echo = false;
  bool verbose = true;
  int mode = 1;
  bool succeeds = true;
  std::string iprAnswer;  // instead of the usual result
  enum Silence { None, Probe, Rate, Start, Record5, Flashing } silent = None;
  bool downloading = false;
  bool flashing = false;  // the outcome is due once the program waits for it
  std::vector<std::string> records;

  std::string Outcome() const {
    return "\r\n..........\r\n" +
           std::string(succeeds ? (mode == 1 ? "Download Success" : "Download successful") : "Download failed") +
           "\r\n";
  }

  std::string Result() const { return verbose ? "\r\nOK\r\n" : "0\r"; }
  std::string operator()(const std::string& line) {
    if (downloading) {
      records.push_back(line);
      if (silent == Record5 && records.size() == 5) return {};
      if (line.rfind("S9", 0) != 0) return ".";
      downloading = false;
      flashing = silent != Flashing;
      return ".";
    }
    if (line.empty()) return {};
    const std::string e = echo ? line + "\r" : "";
    if (line == "AT" || line == "ATQ0") return silent == Probe ? "" : e + Result();
    if (line == "AT+IPR=115200") {
      if (silent == Rate) return "";
      return e + (iprAnswer.empty() ? Result() : iprAnswer);
    }
    if (line == "AT**") {
      if (silent == Start) return "";
      downloading = true;
      return e + (mode == 1 ? "\r\nDownload initiated...\r\n" : "\r\nDownloading Record Data...\r\n");
    }
    return e + Result();
  }
};

// Records enable and disable of Cancel.
struct FlashUi : testing::VirtualUi {
  using VirtualUi::VirtualUi;
  void EnableCancel(bool enabled) override { cancelStates.push_back(enabled); }
  std::vector<bool> cancelStates;
};

struct FlashRig {
  CAdapter a;
  testing::ScriptedPort port;
  FlashUi ui{a};
  Loader loader;
  std::string file;

  explicit FlashRig(int records = 25) {
    a.SetPort(&port);
    a.PortNumber = "/dev/ttyFAKE0";
    a.BaudRate = "9600";
    a.Parity = "None";
    a.DataBits = "8";
    a.StopBits = "1";
    port.respond = [this](const std::string& line) { return loader(line); };
    ui.onPump = [this](testing::VirtualUi&) {
      if (loader.flashing && ui.caption_ == "FLASHING!") {
        loader.flashing = false;
        port.Inject(loader.Outcome());
      }
    };
    std::string text = "S00F000068656C6C6F202020202000003C\r\n";
    for (int i = 0; i < records - 1; ++i) text += "S1130000285F245F2212226A000424290008237C2A\r\n";
    text += "S9030000FC\r\n";
    file = TempFile("fw" + std::to_string(records), text);
    a.OpenAndIdentify(false);
    a.LinkState = LS_PORT_OPEN | LS_IDENTIFIED;
    a.Identified = true;
  }
  ~FlashRig() { ::unlink(file.c_str()); }
  int Run(bool* success = nullptr) { return FlashFirmwareFile(a, file, success); }
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& b : ui.boxes) out.push_back(b.text);
    return out;
  }
};

TEST(FlashUpdate, BothDownloadModes) {
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    FlashRig r(25);
    r.loader.mode = mode;
    bool success = false;
    EXPECT_EQ(r.Run(&success), 1);
    EXPECT_TRUE(success);
    const char* outcome = mode == 1 ? "Download Success" : "Download successful";
    EXPECT_EQ(r.Messages(), (std::vector<std::string>{
                                "W A R N I N G !\nDo not power down the unit during flashing!\nDu you wish to contiune?",
                                outcome}));
    EXPECT_EQ(r.ui.boxes.back().icon, MsgIcon::Information);
    // Every record but the first line, each on its own.
    EXPECT_EQ(r.loader.records.size(), 25u);
    EXPECT_EQ(r.loader.records.back(), "S9030000FC");
    EXPECT_EQ(r.a.BaudRate, "115200");
    EXPECT_EQ(r.port.lastSettings, "115200,N,8,1");
    EXPECT_EQ(r.ui.caption_, "FLASHING!");
    // The progress counts the records that are sent, up to the last one.
    for (const char* shown : {"Loading Data, Record 20 / 25", "Loading Data, Record 25 / 25"}) {
      EXPECT_NE(std::find(r.ui.progressTexts.begin(), r.ui.progressTexts.end(), shown), r.ui.progressTexts.end())
          << shown;
    }
    EXPECT_EQ(r.ui.statusNote, "25 records flashed; the modem reported success.");
    // Cancel stays available: it stops the waiting, never the modem.
    EXPECT_TRUE(r.ui.cancelStates.empty());
    EXPECT_FALSE(r.a.Busy);
    EXPECT_EQ(r.a.RThreshold, 1);
    EXPECT_EQ(r.a.InputMode, 0);
  }
}

TEST(FlashUpdate, EveryRecordWaitsForItsOwnAcknowledgement) {
  // The loader's announcement and its acknowledgements trickle in one
  // character per pump, as on a serial line. A record sent before the
  // previous one was acknowledged overtakes it.
  FlashRig r(30);
  std::string pending;  // '\x01' stands for a record's acknowledgement
  size_t acknowledged = 0;
  int overtaken = 0;
  r.port.respond = [&](const std::string& line) -> std::string {
    const bool record = r.loader.downloading;
    if (record && acknowledged < r.loader.records.size()) ++overtaken;
    std::string answer = r.loader(line);
    if (record) {
      pending += std::string(answer.size(), '\x01');
      return {};
    }
    if (line == "AT**") {
      pending += answer;
      return {};
    }
    return answer;
  };
  r.ui.onPump = [&](testing::VirtualUi&) {
    if (!pending.empty()) {
      const char c = pending.front();
      pending.erase(0, 1);
      if (c == '\x01') ++acknowledged;
      r.port.Inject(c == '\x01' ? "." : std::string(1, c));
    } else if (r.loader.flashing && r.ui.caption_ == "FLASHING!") {
      r.loader.flashing = false;
      r.port.Inject(r.loader.Outcome());
    }
  };
  bool success = false;
  EXPECT_EQ(r.Run(&success), 1);
  EXPECT_TRUE(success);
  EXPECT_EQ(r.loader.records.size(), 30u);
  EXPECT_EQ(overtaken, 0);
}

TEST(FlashUpdate, NumericResultCodes) {
  struct Case {
    const char* name;
    bool echo;
    std::string iprAnswer;
    int result;
    const char* baud;
  };
  const Case cases[] = {
      {"numeric, echo off", false, "", 1, "115200"},
      {"numeric, echo on", true, "", 1, "115200"},
      // The echo of the command ends in "0\r" as well: an error after it must
      // not be taken for the acknowledgement.
      {"numeric error after the echo", true, "4\r", 0, "9600"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FlashRig r(12);
    r.loader.verbose = false;
    r.loader.echo = c.echo;
    r.loader.iprAnswer = c.iprAnswer;
    EXPECT_EQ(r.Run(), c.result);
    EXPECT_EQ(r.a.BaudRate, c.baud);
  }
}

TEST(FlashUpdate, SilenceInEachPhase) {
  struct Case {
    Loader::Silence phase;
    int result;
    const char* message;
    size_t records;
  };
  const Case cases[] = {
      {Loader::Probe, 0, "Write operation halted, no respons from modem.", 0},
      {Loader::Rate, 0, "Write operation halted, no respons from modem.", 0},
      {Loader::Start, 0, "Write operation halted, no respons from modem.", 0},
      {Loader::Record5, 0, "Write operation halted, no respons from modem.", 5},
      {Loader::Flashing, 1, "Download failed", 25},
  };
  for (int mode : {1, 2}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(mode) + " " + c.message + " " + std::to_string(c.phase));
      FlashRig r(25);
      r.loader.mode = mode;
      r.loader.silent = c.phase;
      bool success = true;
      EXPECT_EQ(r.Run(&success), c.result);
      EXPECT_FALSE(success);
      ASSERT_FALSE(r.ui.boxes.empty());
      EXPECT_EQ(r.ui.boxes.back().text, c.message);
      EXPECT_EQ(r.ui.boxes.back().icon, MsgIcon::Stop);
      EXPECT_EQ(r.loader.records.size(), c.records);
      EXPECT_FALSE(r.a.Busy);
      EXPECT_EQ(r.a.RThreshold, 1);
    }
  }
}

// The wait for the loader's outcome ends when the outcome arrives, even amid
// more output; a modem that keeps printing without one is not waited for
// beyond the bound; Cancel (the window's, or a signal on the command line)
// stops the waiting within a second. Every 100 ms the modem prints a line.
TEST(FlashUpdate, FlashingWaitEndsOnOutcomeBoundOrCancel) {
  enum What { Chatter, SuccessAmidChatter, CancelAfter2s };
  struct Case {
    const char* name;
    int mode;
    What what;
    int result;
    bool success;
    const char* message;
    long long atLeastMs, atMostMs;  // from the start of the flashing phase
  };
  const Case cases[] = {
      {"mode 1 chatter without an outcome", 1, Chatter, 1, false, "Download failed", 118000, 122000},
      {"mode 1 success amid chatter", 1, SuccessAmidChatter, 1, true, "Download Success", 5000, 5300},
      {"mode 1 cancel", 1, CancelAfter2s, 0, false, "Stopped waiting for the modem's outcome.", 2000, 3000},
      {"mode 2 chatter without an outcome", 2, Chatter, 1, false, "Download failed", 49000, 110000},
      {"mode 2 success amid chatter", 2, SuccessAmidChatter, 1, true, "Download successful", 5000, 5300},
      {"mode 2 cancel", 2, CancelAfter2s, 0, false, "Stopped waiting for the modem's outcome.", 2000, 3000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FlashRig r(25);
    r.loader.mode = c.mode;
    r.loader.silent = Loader::Flashing;
    long long from = -1, printed = 0;
    r.ui.onPump = [&](testing::VirtualUi& ui) {
      if (r.ui.caption_ != "FLASHING!") return;
      const long long now = ui.NowMs();
      if (from < 0) from = printed = now;
      if (now - from > 600000) r.port.SetLost(true);  // fails the row instead of hanging
      if (c.what == CancelAfter2s && now - from >= 2000) r.a.AbortRequested = true;
      if (now - printed < 100) return;
      printed = now;
      std::string line = "Programming block " + std::to_string(now) + "...\r\n";
      if (c.what == SuccessAmidChatter && now - from >= 5000 && now - from < 5100) {
        line += c.mode == 1 ? "Download Success\r\n" : "Download successful\r\n";
      }
      r.port.Inject(line);
    };
    bool success = !c.success;
    EXPECT_EQ(r.Run(&success), c.result);
    EXPECT_EQ(success, c.success);
    ASSERT_FALSE(r.ui.boxes.empty());
    EXPECT_EQ(r.ui.boxes.back().text, c.message);
    ASSERT_GE(from, 0);
    const long long took = r.ui.NowMs() - from;
    EXPECT_GE(took, c.atLeastMs);
    EXPECT_LE(took, c.atMostMs);
    EXPECT_FALSE(r.a.AbortRequested);
    EXPECT_FALSE(r.a.Busy);
    EXPECT_EQ(r.a.InputMode, 0);
  }
}

TEST(FlashUpdate, ModemReportsFailure) {
  FlashRig r(12);
  r.loader.succeeds = false;
  bool success = true;
  EXPECT_EQ(r.Run(&success), 1);  // the download itself ran to its end
  EXPECT_FALSE(success);
  EXPECT_EQ(r.ui.boxes.back().text, "Download failed");
}

TEST(FlashUpdate, CancelDuringTheDownloadAndLostPort) {
  for (bool lose : {false, true}) {
    SCOPED_TRACE(lose ? "port lost" : "cancelled");
    FlashRig r(40);
    r.ui.onPump = [&r, lose](testing::VirtualUi&) {
      if (r.loader.records.size() == 10) {
        if (lose) {
          r.port.SetLost(true);
        } else {
          r.a.AbortRequested = true;
        }
      }
    };
    EXPECT_EQ(r.Run(), 0);
    EXPECT_LT(r.loader.records.size(), 40u);
    EXPECT_GE(r.loader.records.size(), 10u);
    EXPECT_EQ(r.ui.boxes.back().text,
              lose ? "The write operation halted with the following error string:\n\r\n\rModem disconnected during process!"
                   : "Write operation halted, no respons from modem.");
    EXPECT_FALSE(r.a.AbortRequested);
    EXPECT_FALSE(r.a.Busy);
    EXPECT_EQ(r.ui.caption_, "");  // never reached the flashing phase
  }
}

// A file that ends in line feeds, blanks or an end-of-file mark after its
// last carriage return loses nothing and is taken.
TEST(FirmwareRecords, TrailingLineEndsAreNoUnendedLine) {
  for (const char* tail : {"", "\n", "\n\n", " \t", "\x1a"}) {
    const FirmwareRecords f = SplitFirmwareRecords(std::string("h\r\nS1\r\nS9\r") + tail);
    EXPECT_FALSE(f.lastLineUnended) << tail;
    EXPECT_EQ(f.records.size(), 2u);
  }
}

// A cancel stops the update where it is; the message keeps its words and
// tells what the modem is left with and what to do.
TEST(FlashUpdate, CancelInEachPhaseStopsAndTellsTheModemsState) {
  struct Case {
    const char* name;
    std::function<bool(const FlashRig&)> when;  // checked on every pump
    const char* message;
    const char* detail;
    bool rateSent;
    bool loaderStarted;
    size_t records;
  };
  const char* kUnchanged = "No firmware was sent; the modem keeps its firmware.";
  const Case cases[] = {
      {"during the probe", [](const FlashRig& r) { return r.port.sentLines.back() == "AT"; },
       "Write operation halted, no respons from modem.", kUnchanged, false, false, 0},
      {"during the rate command", [](const FlashRig& r) { return r.port.sentLines.back() == "AT+IPR=115200"; },
       "Write operation halted, no respons from modem.",
       "No firmware was sent; the modem keeps its firmware. Its serial port may now run at 115200 baud.", true,
       false, 0},
      {"while the loader starts", [](const FlashRig& r) { return r.port.sentLines.back() == "AT**"; },
       "Write operation halted, no respons from modem.",
       "The modem was left in its firmware loader after 0 of 25 records and does not answer AT commands. Do not "
       "power it down: run the flash update again with the same file.",
       true, true, 0},
      {"after ten records", [](const FlashRig& r) { return r.loader.records.size() == 10; },
       "Write operation halted, no respons from modem.",
       "The modem was left in its firmware loader after 9 of 25 records and does not answer AT commands. Do not "
       "power it down: run the flash update again with the same file.",
       true, true, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FlashRig r(25);
    bool cancelled = false;
    r.ui.onPump = [&](testing::VirtualUi&) {
      if (!cancelled && !r.port.sentLines.empty() && c.when(r)) {
        cancelled = true;
        r.a.AbortRequested = true;
      }
    };
    EXPECT_EQ(r.Run(), 0);
    EXPECT_TRUE(cancelled);
    const auto sent = [&](const std::string& line) {
      return std::find(r.port.sentLines.begin(), r.port.sentLines.end(), line) != r.port.sentLines.end();
    };
    EXPECT_EQ(sent("AT+IPR=115200"), c.rateSent);
    EXPECT_EQ(sent("AT**"), c.loaderStarted);
    EXPECT_EQ(r.loader.records.size(), c.records);
    ASSERT_FALSE(r.ui.boxes.empty());
    EXPECT_EQ(r.ui.boxes.back().text, c.message);
    EXPECT_EQ(r.ui.boxes.back().detail, c.detail);
    EXPECT_EQ(r.ui.caption_, "");  // never reached the flashing phase
    EXPECT_FALSE(r.a.AbortRequested);
    EXPECT_FALSE(r.a.Busy);
  }
}

// The tick counter starts over above 1001: a final wait of 7 units beyond
// that (a local port kept at 2400 bit/s over a remote link, "ResponseTimeout"
// 5: 1050 ticks) must still end when the modem stays silent.
TEST(FlashUpdate, SilentFlashingEndsAlsoWhenItsBudgetExceedsTheTickCounter) {
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    FlashRig r(12);
    r.loader.mode = mode;
    r.loader.silent = Loader::Flashing;
    r.a.LinkState |= LS_REMOTE;
    r.a.BaudRate = "2400";
    r.a.Options.ResponseTimeout = 5;
    r.a.ApplyPortSettings();
    ASSERT_EQ(r.a.TimeoutTicks, 150);
    long long flashingFrom = -1;
    r.ui.onPump = [&](testing::VirtualUi& ui) {
      if (flashingFrom < 0 && r.ui.caption_ == "FLASHING!") flashingFrom = ui.NowMs();
      // A wait that never ends is cut off here, to fail instead of hanging.
      if (flashingFrom >= 0 && ui.NowMs() - flashingFrom > 600000) r.port.SetLost(true);
    };
    bool success = true;
    EXPECT_EQ(r.Run(&success), 1);
    EXPECT_FALSE(success);
    EXPECT_EQ(r.ui.boxes.back().text, "Download failed");
    // 1050 ticks of 50 ms of silence in mode 1 (the first second of them
    // before the first pump), 990 ticks in mode 2.
    const long long took = r.ui.NowMs() - flashingFrom;
    EXPECT_GE(took, mode == 1 ? 51000 : 49000);
    EXPECT_LT(took, 60000);
  }
}

// The download lowers RTS and turns RTS/CTS handshaking on. Afterwards the
// handshaking and then both lines are set outright from the options: turning
// handshaking on or off does not raise an RTS that was lowered by hand.
TEST(FlashUpdate, LinesAreSetFromTheOptionsAfterTheDownload) {
  struct Case {
    int rts, dtr, flow;
    bool flashSucceeds;
  };
  const Case cases[] = {{1, 1, 0, true}, {1, 1, 2, true}, {0, 1, 0, true}, {1, 0, 2, true}, {1, 1, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rts) + std::to_string(c.dtr) + std::to_string(c.flow) +
                 (c.flashSucceeds ? " ok" : " failed"));
    FlashRig r(12);
    r.a.Options.RTSEnable = c.rts;
    r.a.Options.DTREnable = c.dtr;
    r.a.Options.FlowControl = c.flow;
    if (!c.flashSucceeds) r.loader.silent = Loader::Record5;
    r.Run();
    RestoreLineAfterFlash(r.a);
    const auto& signals = r.port.lineSignals;
    auto last = [&](const std::string& prefix) {
      for (size_t i = signals.size(); i-- > 0;) {
        if (signals[i].rfind(prefix, 0) == 0) return static_cast<long>(i);
      }
      return -1L;
    };
    ASSERT_GE(last("handshaking"), 0);
    ASSERT_GE(last("RTS"), 0);
    ASSERT_GE(last("DTR"), 0);
    EXPECT_EQ(signals[static_cast<size_t>(last("handshaking"))], "handshaking " + std::to_string(c.flow));
    EXPECT_EQ(signals[static_cast<size_t>(last("RTS"))], c.rts ? "RTS on" : "RTS off");
    EXPECT_EQ(signals[static_cast<size_t>(last("DTR"))], c.dtr ? "DTR on" : "DTR off");
    EXPECT_GT(last("RTS"), last("handshaking"));
    EXPECT_GT(last("DTR"), last("handshaking"));
  }
}

TEST(FlashUpdate, NothingHappensWithoutConsentOrModem) {
  struct Case {
    const char* name;
    MsgAnswer answer;
    int linkState;
    bool busy;
  };
  const Case cases[] = {
      {"warning answered No", MsgAnswer::No, LS_PORT_OPEN | LS_IDENTIFIED, false},
      {"no modem identified", MsgAnswer::Yes, LS_PORT_OPEN, false},
      {"another operation runs", MsgAnswer::Yes, LS_PORT_OPEN | LS_IDENTIFIED, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FlashRig r(12);
    r.ui.answers = {c.answer};
    r.a.LinkState = c.linkState;
    r.a.Busy = c.busy;
    EXPECT_EQ(r.Run(), 0);
    EXPECT_TRUE(r.port.sentBytes.empty());
    EXPECT_EQ(r.a.BaudRate, "9600");
    EXPECT_EQ(r.ui.boxes.size(), 1u);
  }
}

TEST(FlashUpdate, FileDialog) {
  FlashRig r(12);
  r.ui.fileAnswers = {std::nullopt};
  EXPECT_EQ(RunFlashUpdate(r.a), 0);
  ASSERT_EQ(r.ui.fileRequests.size(), 1u);
  EXPECT_EQ(r.ui.fileRequests[0].filter, "All files (*.*)|*.*||");
  EXPECT_TRUE(r.ui.boxes.empty());

  r.ui.fileAnswers = {r.file};
  EXPECT_EQ(RunFlashUpdate(r.a), 1);
}

}  // namespace
}  // namespace kelvane
