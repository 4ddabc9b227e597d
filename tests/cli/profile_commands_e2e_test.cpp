// kelvane-cli show and diff on profile files.

#include <gtest/gtest.h>

#include <fstream>

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

TEST_F(ProfileFiles, BadFilesFailCleanly) {
  const std::string junk = Path("junk.dat");
  std::ofstream(junk) << "not a profile at all";
  const auto r = RunProcess(KELVANE_CLI, {"show", junk});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("is not a valid profile."), std::string::npos) << r.err;
  const auto missing = RunProcess(KELVANE_CLI, {"show", Path("missing.dat")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("Unable to open file..."), std::string::npos);
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"diff", junk}).exitCode, 2);
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", "sim:1", "--sections", "bogus", "-o", junk}).exitCode, 2);
}

}  // namespace
}  // namespace kelvane
