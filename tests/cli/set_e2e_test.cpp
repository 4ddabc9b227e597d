// kelvane-cli set and fields on profile files.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "config/adapter.h"
#include "config/profile.h"
#include "support/run_process.h"

namespace kelvane {
namespace {

using testing::RunProcess;

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class SetCommand : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) {
    const std::string p = "/tmp/kelvane-set-" + std::to_string(::getpid()) + "-" + name;
    created_.push_back(p);
    return p;
  }
  // A profile with a time stamp far in the past, so a rewrite shows.
  std::string Profile(const std::string& name, const ConfigBlock& block) {
    const std::string p = Path(name);
    std::string error;
    EXPECT_TRUE(SaveProfileFile(p, block, error)) << error;
    Age(p);
    return p;
  }
  static void Age(const std::string& path) {
    const timespec times[2] = {{946684800, 0}, {946684800, 0}};
    EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  static timespec ModTime(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mtim;
  }
  void TearDown() override {
    for (const auto& p : created_) ::unlink(p.c_str());
  }
  std::vector<std::string> created_;
};

TEST_F(SetCommand, ShowPrintsWhatSetStoredAndClippingIsNoted) {
  const std::string file = Profile("set.dat", CAdapter().Config);
  const std::string original = Path("original.dat");
  std::ofstream(original, std::ios::binary) << Contents(file);

  const auto set = RunProcess(KELVANE_CLI, {"set", file, "BasicSettings.S0=300", "DialSettings.StoredNumbers[2]=5551234",
                                            "IoSettings.Service[0]=DIAL", "SerialSettings.DteParity=Odd",
                                            "BasicSettings.CountryCode=0xB5"});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(set.err, "kelvane-cli set: note: BasicSettings.S0: 300 clipped to 255\n");
  EXPECT_EQ(Contents(file).size(), ProfileFileSize);

  const auto show = RunProcess(KELVANE_CLI, {"show", file, "--json"});
  EXPECT_EQ(show.exitCode, 0);
  for (const char* expected : {"\"S0\": 255", "\"StoredNumbers\": [\"\", \"\", \"5551234\", \"\"]",
                               "\"Service\": [1, 0,", "\"DteParity\": \"O\"", "\"CountryCode\": 181"}) {
    EXPECT_NE(show.out.find(expected), std::string::npos) << expected;
  }
  // Nothing else moved.
  const auto diff = RunProcess(KELVANE_CLI, {"diff", original, file});
  EXPECT_EQ(diff.exitCode, 1);
  std::string names;
  std::istringstream lines(diff.out);
  for (std::string line; std::getline(lines, line);) names += line.substr(0, line.find(' ')) + ";";
  EXPECT_EQ(names,
            "SerialSettings.DteParity;BasicSettings.S0;BasicSettings.CountryCode;DialSettings.StoredNumbers[2];"
            "IoSettings.Service[0];");
}

struct Refusal {
  std::vector<std::string> assignments;
  int exitCode;
  std::string err;  // exact, or its beginning when it ends in "..."
};

TEST_F(SetCommand, AnyErrorLeavesTheFileAsItWasByteAndTime) {
  ConfigBlock block = CAdapter().Config;
  block.basic.S0 = 3;
  const std::string usage = "usage: kelvane-cli set FILE.dat SECTION.FIELD=VALUE ... [SECTION.FIELD --stdin]\n";
  const Refusal cases[] = {
      {{"BasicSettings.S99=1"}, 1, "kelvane-cli set: BasicSettings.S99: unknown field\n"},
      {{"BasicSettings.S0=300", "Dial.HotCall=1"}, 1, "kelvane-cli set: Dial.HotCall: unknown section ..."},
      {{"IoSettings.Data4[0]=70000"}, 1, "kelvane-cli set: IoSettings.Data4[0]: 70000 out of range 0-99\n"},
      {{"BasicSettings.S0=4", "BasicSettings.CountryCode=0x12"},
       1,
       "kelvane-cli set: BasicSettings.CountryCode: country code 0x12 is not in the list; valid codes: 0x00 Japan, ..."},
      {{"CallbackSettings.CallbackPasswords[1]=abc", "DialSettings.HotCall=x"},
       1,
       "kelvane-cli set: CallbackSettings.CallbackPasswords[1]: a password of 1 to 5 characters is not taken; give "
       "none or 6 to 12\nkelvane-cli set: DialSettings.HotCall: \"x\" is not in the list; valid: 0 (Disable DTR/TX "
       "Hotcall), 1 (Enable DTR Hotcall), 2 (Enable TX Hotcall)\n"},
      {{"DialSettings.BackupNumber=12345678901234567"},
       1,
       "kelvane-cli set: DialSettings.BackupNumber: text of 17 characters is longer than the 16 the page takes\n"},
      {{}, 2, "kelvane-cli set: no assignment\n" + usage},
      {{"BasicSettings.S0=4", "BasicSettings.S0"}, 2, "kelvane-cli set: BasicSettings.S0: not SECTION.FIELD=VALUE\n" + usage},
      // Two digits that are one code as the list prints it and another read
      // as a decimal number.
      {{"BasicSettings.CountryCode=61"},
       1,
       "kelvane-cli set: BasicSettings.CountryCode: \"61\" is ambiguous: the code 0x61 of the list, or the decimal "
       "number 61 = 0x3D; write 0x61 or 0x3D (or the country's name)\n"},
      {{"BasicSettings.CountryCode=Narnia"}, 1,
       "kelvane-cli set: BasicSettings.CountryCode: \"Narnia\" is not a country of the list (0x00 Japan, ..."},
      // The same value again: nothing to write.
      {{"BasicSettings.S0=3"}, 0, ""},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.assignments.empty() ? "(none)" : c.assignments.back());
    const std::string file = Profile("kept.dat", block);
    const std::string before = Contents(file);
    std::vector<std::string> args = {"set", file};
    args.insert(args.end(), c.assignments.begin(), c.assignments.end());
    const auto r = RunProcess(KELVANE_CLI, args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    if (c.err.ends_with("...")) {
      EXPECT_EQ(r.err.substr(0, c.err.size() - 3), c.err.substr(0, c.err.size() - 3));
    } else {
      EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(Contents(file), before);
    EXPECT_EQ(ModTime(file).tv_sec, 946684800);
    EXPECT_EQ(ModTime(file).tv_nsec, 0);
  }
}

TEST_F(SetCommand, FileThatIsNoProfileGetsTheLoadersMessage) {
  const std::string junk = Path("junk.dat");
  std::ofstream(junk) << "not a profile at all";
  Age(junk);
  const auto r = RunProcess(KELVANE_CLI, {"set", junk, "BasicSettings.S0=1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, junk + " is not a valid profile.\n" + junk + ": the file does not begin with the profile header\n");
  EXPECT_EQ(Contents(junk), "not a profile at all");
  EXPECT_EQ(ModTime(junk).tv_sec, 946684800);

  const std::string missing = Path("missing.dat");
  const auto m = RunProcess(KELVANE_CLI, {"set", missing, "BasicSettings.S0=1"});
  EXPECT_EQ(m.exitCode, 1);
  EXPECT_EQ(m.err, "Unable to open file...\n" + missing + ": No such file or directory\n");
  EXPECT_NE(::access(missing.c_str(), F_OK), 0);
}

TEST_F(SetCommand, SymbolicLinkStaysALinkAndTheFileKeepsItsMode) {
  const std::string target = Profile("target.dat", CAdapter().Config);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const std::string link = Path("link.dat");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);

  const auto r = RunProcess(KELVANE_CLI, {"set", link, "RemoteSettings.RemotePassword=geheim1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ConfigBlock block;
  std::string error;
  ASSERT_TRUE(LoadProfileFile(target, block, error)) << error;
  EXPECT_EQ(GetText(block.remote.RemotePassword), "geheim1");
}

// A list value is taken as show --words prints it: the whole item, its
// leading code or its name; a table's row carries the name set takes.
TEST_F(SetCommand, TakesAValueAsTheWordsShowIt) {
  struct Case {
    std::vector<std::string> assignments;
    std::string row;  // the row of show --words that shows it
  };
  const Case cases[] = {
      {{"BasicSettings.CountryCode=3D - France"}, "Basic  Country code [+GCI]: 3D - France"},
      {{"BasicSettings.CountryCode=3D"}, "Basic  Country code [+GCI]: 3D - France"},
      {{"BasicSettings.CountryCode=france"}, "Basic  Country code [+GCI]: 3D - France"},
      {{"BasicSettings.CountryCode=0x3D"}, "Basic  Country code [+GCI]: 3D - France"},
      {{"BasicSettings.CountryCode=b5"}, "Basic  Country code [+GCI]: B5 - USA"},
      {{"BasicSettings.CountryCode=United Kingdom"}, "Basic  Country code [+GCI]: B4 - United Kingdom"},
      // Read as a decimal number it is no code of the list.
      {{"BasicSettings.CountryCode=20"}, "Basic  Country code [+GCI]: 20 - Canada"},
      {{"BasicSettings.CountryCode=181"}, "Basic  Country code [+GCI]: B5 - USA"},
      {{"CallerIdSettings.CidFormat=2 - Unformated CID"},
       "Caller ID  Format of CID/A-number presentation: 2 - Unformated CID"},
      {{"CallerIdSettings.CidFormat=Unformated CID"},
       "Caller ID  Format of CID/A-number presentation: 2 - Unformated CID"},
      {{"CallerIdSettings.AcceptedNumbers[0]=123"},
       "Caller ID  Accepted numbers [*WACCTAB] 1 (CallerIdSettings.AcceptedNumbers[0]): 123"},
      {{"DialSettings.StoredNumbers[3]=5550100"},
       "Dial Options  Stores phone numbers [&Z] 3 (DialSettings.StoredNumbers[3]): 5550100"},
      // The two halves of the compression pair, each by its item.
      {{"BasicSettings.ErrorCorrectionN=4 - Reliable NMP, with NMP-5 comp",
        "BasicSettings.CompressionC=Reliable NMP, with NMP-5 comp"},
       "Basic  Compression and Error correction [\\N%C] (%C): 4 - Reliable NMP, with NMP-5 comp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.assignments.back());
    const std::string file = Profile("words.dat", CAdapter().Config);
    std::vector<std::string> args = {"set", file};
    args.insert(args.end(), c.assignments.begin(), c.assignments.end());
    const auto set = RunProcess(KELVANE_CLI, args);
    EXPECT_EQ(set.exitCode, 0) << set.err;
    const auto show = RunProcess(KELVANE_CLI, {"show", file, "--words"});
    EXPECT_NE(show.out.find("\n" + c.row + "\n"), std::string::npos) << show.out;
  }
}

TEST_F(SetCommand, FieldsListsEveryNameSetTakes) {
  const auto r = RunProcess(KELVANE_CLI, {"fields"});
  EXPECT_EQ(r.exitCode, 0);
  for (const char* name : {"SerialSettings.DteRate ", "BasicSettings.S0 ", "DialSettings.StoredNumbers[3] ",
                           "CallbackSettings.CallbackPasswords[9] ", "IoSettings.Data7[9] "}) {
    EXPECT_NE(("\n" + r.out).find(std::string("\n") + name), std::string::npos) << name;
  }
  EXPECT_EQ(r.out.find("StoredNumbers[4]"), std::string::npos);
  // Each list's items, the countries' too.
  for (const char* items : {"3D - France", "B5 - USA", "0 (Disable CID), 1 (Formated CID)"}) {
    EXPECT_NE(r.out.find(items), std::string::npos) << items;
  }
}

}  // namespace
}  // namespace kelvane
