// kelvane-cli show, diff and verify --words: profiles and differences in the
// pages' own words, as text and JSON, passwords never in clear.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <unistd.h>

#include "config/page_words.h"
#include "config/profile.h"
#include "support/run_process.h"

namespace kelvane {
namespace {

using testing::RunProcess;

std::vector<std::string> Names(const std::string& json) {
  std::vector<std::string> names;
  for (const auto& entry : nlohmann::json::parse(json)) names.push_back(entry.at("name").get<std::string>());
  return names;
}

// A profile read from the built-in simulated RM-40 485 and a copy that
// differs in one field on each page, passwords included.
class CliWords : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto read = RunProcess(KELVANE_CLI, {"read", "--port", "sim:3", "-o", modem});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    std::string error;
    ASSERT_TRUE(LoadProfileFile(modem, held, error)) << error;
    changed = held;
    changed.basic.S0 = held.basic.S0 + 1;
    changed.serial.ModemFlowControl = 3;
    SetText(changed.dial.StoredNumbers[2], "5551234");
    changed.callerId.CidFormat = 2;
    SetText(changed.remote.RemotePassword, "far-secret");
    SetText(changed.callback.CallbackPasswords[4], "cb-secret");
    changed.io.Service[1] = 2;
    SetText(changed.io.Data5[1], "smssecret");
    ASSERT_TRUE(SaveProfileFile(profile, changed, error)) << error;
  }
  void TearDown() override {
    ::unlink(modem.c_str());
    ::unlink(profile.c_str());
  }
  static void ExpectNoSecret(const std::string& out) {
    for (const char* secret : {"far-secret", "cb-secret", "smssecret"}) {
      EXPECT_EQ(out.find(secret), std::string::npos) << secret << " in\n" << out;
    }
  }
  const std::string modem = "/tmp/kelvane-words-" + std::to_string(::getpid()) + "-modem.dat";
  const std::string profile = "/tmp/kelvane-words-" + std::to_string(::getpid()) + "-profile.dat";
  ConfigBlock held{}, changed{};
};

TEST_F(CliWords, DiffPrintsPageCaptionAndBothValuesPageByPage) {
  const auto r = RunProcess(KELVANE_CLI, {"diff", modem, profile, "--words"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const std::string s0 = std::to_string(held.basic.S0);
  EXPECT_EQ(r.out,
            "Basic  Rings to Auto-Answer [S0]: " + s0 + " \u2192 " + std::to_string(held.basic.S0 + 1) + "\n"
            "Serial  Flow control [&K]: 0 - Disables Flow Control ( Default ) \u2192 3 - Enables RTS/CTS\n"
            "Dial Options  Stores phone numbers [&Z] 2 (DialSettings.StoredNumbers[2]): (empty) \u2192 5551234\n"
            "Caller ID  Format of CID/A-number presentation: 0 - Disable CID \u2192 2 - Unformated CID\n"
            "Remote  Remote Configuration Password [*WRCP]: (empty) \u2192 ********\n"
            "Callback  Callback table [*wcbtab] 5: Password (CallbackSettings.CallbackPasswords[4]): (empty) \u2192 ********\n"
            "I/O  I/O List [*WIOL] 2: Service (IoSettings.Service[1]): NONE \u2192 SMS\n"
            "I/O  I/O Entry 2 Data 5 (IoSettings.Data5[1]): (empty) \u2192 ********\n");
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"diff", modem, modem, "--words"}).out, "");
}

TEST_F(CliWords, JsonAddsPageCaptionAndShownAndMasksPasswords) {
  const auto diff = RunProcess(KELVANE_CLI, {"diff", modem, profile, "--words", "--json"});
  EXPECT_EQ(diff.exitCode, 1) << diff.err;
  ExpectNoSecret(diff.out);
  const auto j = nlohmann::json::parse(diff.out);
  ASSERT_EQ(j.size(), 8u) << diff.out;
  EXPECT_EQ(j[0]["name"], "BasicSettings.S0");
  EXPECT_EQ(j[0]["page"], "Basic");
  EXPECT_EQ(j[0]["caption"], "Rings to Auto-Answer [S0]");
  EXPECT_EQ(j[0]["shown"]["B"], std::to_string(held.basic.S0 + 1));
  EXPECT_EQ(j[4]["shown"]["B"], "********");

  // Without --words the fields by name, passwords masked as well.
  const auto plain = RunProcess(KELVANE_CLI, {"diff", modem, profile, "--json"});
  ExpectNoSecret(plain.out);
  EXPECT_EQ(nlohmann::json::parse(plain.out).size(), 8u);

  const auto show = RunProcess(KELVANE_CLI, {"show", profile, "--words", "--json"});
  EXPECT_EQ(show.exitCode, 0) << show.err;
  ExpectNoSecret(show.out);
  const auto all = nlohmann::json::parse(show.out);
  const std::vector<FieldWords> words = DescribeBlock(changed);
  ASSERT_EQ(all.size(), words.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(all[i]["name"], words[i].name);
    EXPECT_EQ(all[i]["page"], words[i].page);
    EXPECT_EQ(all[i]["caption"], words[i].caption);
  }

  const auto text = RunProcess(KELVANE_CLI, {"show", profile, "--words"});
  ExpectNoSecret(text.out);
  EXPECT_NE(text.out.find("\nRemote  Remote Configuration Password [*WRCP]: ********\n"), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("\nBasic  Country code [+GCI]: "), std::string::npos) << text.out;
}

// The comparison in the window (CompareInWords), diff --words and verify
// --words name the same fields for the same two blocks.
TEST_F(CliWords, DiffVerifyAndTheWindowFindTheSameFields) {
  std::vector<std::string> window;
  for (const WordsDifference& d : CompareInWords(changed, held)) window.push_back(d.here.name);
  const auto diff = RunProcess(KELVANE_CLI, {"diff", profile, modem, "--words", "--json"});
  const auto verify = RunProcess(KELVANE_CLI, {"verify", "--port", "sim:3", profile, "--words", "--json"});
  EXPECT_EQ(verify.exitCode, 1) << verify.err;
  ExpectNoSecret(verify.out);
  EXPECT_EQ(Names(diff.out), window);
  EXPECT_EQ(Names(verify.out), window);

  const auto text = RunProcess(KELVANE_CLI, {"verify", "--port", "sim:3", profile, "--words"});
  EXPECT_NE(text.out.find("Dial Options  Stores phone numbers [&Z] 2 (DialSettings.StoredNumbers[2]): 5551234 \u2192 (empty)\n"), std::string::npos)
      << text.out;
  ExpectNoSecret(text.out);
  const auto same = RunProcess(KELVANE_CLI, {"verify", "--port", "sim:3", modem, "--words"});
  EXPECT_EQ(same.exitCode, 0) << same.out << same.err;
}

}  // namespace
}  // namespace kelvane
