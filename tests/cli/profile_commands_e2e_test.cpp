// kelvane-cli show and diff on profile files.

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

#include "config/adapter.h"
#include "config/profile.h"
#include "support/run_process.h"

namespace kelvane {
namespace {

using testing::RunProcess;

class ProfileFiles : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) {
    const std::string p = "/tmp/kelvane-cli-" + std::to_string(::getpid()) + "-" + name;
    created_.push_back(p);
    return p;
  }
  void TearDown() override {
    for (const auto& p : created_) ::unlink(p.c_str());
  }
  std::vector<std::string> created_;
};

TEST_F(ProfileFiles, ShowPrintsEveryRecordReadableAndAsJson) {
  CAdapter a;
  a.Config.basic.S0 = 7;
  SetText(a.Config.dial.StoredNumbers[0], "5551234");
  a.Config.serial.DteParity = 'O';
  std::string error;
  const std::string file = Path("show.dat");
  ASSERT_TRUE(SaveProfileFile(file, a.Config, error)) << error;

  const auto text = RunProcess(KELVANE_CLI, {"show", file});
  EXPECT_EQ(text.exitCode, 0) << text.err;
  for (const char* record : {"SerialSettings", "BasicSettings", "DialSettings", "CallerIdSettings",
                             "RemoteSettings", "CallbackSettings", "IoSettings"}) {
    EXPECT_NE(text.out.find(record), std::string::npos) << record;
  }
  EXPECT_NE(text.out.find("5551234"), std::string::npos);

  const auto json = RunProcess(KELVANE_CLI, {"show", file, "--json"});
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_NE(json.out.find("\"S0\": 7"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"DteParity\": \"O\""), std::string::npos);
  EXPECT_NE(json.out.find("\"StoredNumbers\": [\"5551234\", \"\", \"\", \"\"]"), std::string::npos);
  EXPECT_NE(json.out.find("\"Modulation\": \"V34\""), std::string::npos);
}

TEST_F(ProfileFiles, DiffExitCodeTellsWhetherTheyDiffer) {
  CAdapter a, b;
  b.Config.callback.CallbackMode = 3;
  std::string error;
  const std::string fa = Path("a.dat"), fb = Path("b.dat"), fc = Path("c.dat");
  ASSERT_TRUE(SaveProfileFile(fa, a.Config, error));
  ASSERT_TRUE(SaveProfileFile(fb, b.Config, error));
  ASSERT_TRUE(SaveProfileFile(fc, a.Config, error));

  const auto differ = RunProcess(KELVANE_CLI, {"diff", fa, fb});
  EXPECT_EQ(differ.exitCode, 1);
  EXPECT_NE(differ.out.find("CallbackSettings.CallbackMode"), std::string::npos) << differ.out;
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"diff", fa, fc}).exitCode, 0);
}

TEST_F(ProfileFiles, BadFilesFailCleanlyNamingFileAndReason) {
  const std::string junk = Path("junk.dat");
  std::ofstream(junk) << "not a profile at all";
  const std::string fifo = Path("pipe.dat");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  for (const Case& k : {
           Case{{"show", junk}, junk + " is not a valid profile.\n" + junk +
                                    ": the file does not begin with the profile header\n"},
           Case{{"show", "/tmp/./" + junk.substr(5)}, junk + " is not a valid profile.\n" + junk +
                                                          ": the file does not begin with the profile header\n"},
           Case{{"show", Path("missing.dat")},
                "Unable to open file...\n" + Path("missing.dat") + ": No such file or directory\n"},
           Case{{"diff", junk, fifo}, junk + " is not a valid profile.\n" + junk +
                                          ": the file does not begin with the profile header\n"},
           Case{{"diff", "/tmp", junk},
                "Unable to open file...\n/tmp: Is a directory\n"},
           Case{{"show", fifo}, "Unable to open file...\n" + fifo + ": not a regular file\n"},
           Case{{"write", "--port", "/nonexistent/tty", fifo, "--yes"},
                "Unable to open file...\n" + fifo + ": not a regular file\n"},
       }) {
    const auto r = RunProcess(KELVANE_CLI, k.args, 10000);
    EXPECT_EQ(r.exitCode, 1) << k.args[1];
    EXPECT_EQ(r.err, k.err) << k.args[1];
  }
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"diff", junk}).exitCode, 2);
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", "sim:1", "--sections", "bogus", "-o", junk}).exitCode, 2);
}

TEST_F(ProfileFiles, ShortProfileIsShownAndComparedWithANote) {
  CAdapter a;
  a.Config.basic.S0 = 7;
  const std::string whole = Path("whole.dat"), cut = Path("cut.dat");
  std::string error;
  ASSERT_TRUE(SaveProfileFile(whole, a.Config, error)) << error;
  std::ofstream(cut, std::ios::binary) << ProfileBytes(a.Config).substr(0, 39 + 1000);
  const std::string note =
      "The profile is shorter than 3739 bytes. These sections were filled with default values: "
      "Callback, I/O.\n" + cut + ": 1039 bytes\n";

  const auto show = RunProcess(KELVANE_CLI, {"show", cut});
  EXPECT_EQ(show.exitCode, 0);
  EXPECT_EQ(show.err, note);
  EXPECT_NE(show.out.find("S0                   7"), std::string::npos) << show.out;

  const auto diff = RunProcess(KELVANE_CLI, {"diff", whole, cut});
  EXPECT_EQ(diff.exitCode, 0);  // the defaults equal the saved reset values
  EXPECT_EQ(diff.err, note);

  const auto quiet = RunProcess(KELVANE_CLI, {"show", whole});
  EXPECT_EQ(quiet.err, "");
}

}  // namespace
}  // namespace kelvane
