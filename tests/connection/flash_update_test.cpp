// The firmware flash update: the record rules, the file checks, the
// dialogue with the loader in both download modes, silence in every phase,
// Cancel and a port that goes away.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

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
      {"no CR at all", "S1aa\nS1bb\n", {}, 0},
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
      {TempFile("nocr", "S1130000\nS9030000FC\n"), "The file holds no firmware records.",
       "no record ends with a carriage return"},
      {TempFile("binary", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\r\n\x03\x00", 14)),
       "The file is not a firmware text file.", "binary data"},
      {TempFile("zero first", std::string("\0\r\nS1\r\nS9\r\n", 11)), "The file holds no firmware records.",
       "no record ends with a carriage return"},
      {TempFile("control", "hdr\r\nS1\x01\x02\x03\r\nS9\r\n"), "The file is not a firmware text file.",
       "binary data"},
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
    EXPECT_NE(std::find(r.ui.progressTexts.begin(), r.ui.progressTexts.end(), "Loading Data, Record 20 / 26"),
              r.ui.progressTexts.end());
    EXPECT_EQ(r.ui.cancelStates, (std::vector<bool>{false, true}));
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
