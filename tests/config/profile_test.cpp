#include "config/profile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/rig.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using testing::Rig;

// A fresh directory per test, removed afterwards.
struct TempDir {
  fs::path path;
  TempDir() {
    std::string t = (fs::temp_directory_path() / "kelvane-profile-XXXXXX").string();
    path = ::mkdtemp(t.data());
  }
  ~TempDir() { fs::remove_all(path); }
  std::string File(const std::string& name) const { return (path / name).string(); }
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

int32_t IntAt(const std::string& bytes, size_t offset) {
  int32_t v;
  std::memcpy(&v, bytes.data() + offset, 4);
  return v;
}

ConfigBlock ResetBlock() {
  CAdapter a;
  a.ResetConfiguration();
  return a.Config;
}

bool SameBlock(const ConfigBlock& x, const ConfigBlock& y) { return std::memcmp(&x, &y, sizeof x) == 0; }

TEST(ProfileFile, SavedResetBlockHasTheDocumentedBytes) {
  TempDir dir;
  const std::string path = dir.File("reset.dat");
  std::string error;
  ASSERT_TRUE(SaveProfileFile(path, ResetBlock(), error)) << error;
  const std::string bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 3739u);
  EXPECT_EQ(bytes.substr(0, 39), "DALMARIN________KELVAN_6310-2761" + std::string(7, '\0'));
  EXPECT_EQ(bytes.substr(39 + 144, 4), std::string("V34\0", 4));
  EXPECT_EQ(bytes.substr(39 + 147, 29), std::string(29, '\0'));
  EXPECT_EQ(IntAt(bytes, 39 + 132), 0xC7);
  EXPECT_EQ(IntAt(bytes, 39 + 1120), 100);
  EXPECT_EQ(IntAt(bytes, 39 + 1124), 50);
  EXPECT_EQ(bytes[39 + 36], 'N');
  EXPECT_EQ(IntAt(bytes, 39 + 8), 1);  // the unused serial word
  // Nothing but the new file is left in the directory.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(ProfileFile, SaveAndLoadGiveBackEveryByte) {
  TempDir dir;
  ConfigBlock block = ResetBlock();
  SetTextFull(block.basic.Modulation, "V90,1,300,56000,300,33600,BELL12");
  block.io.Data7[9] = -5;
  block.remote.unused626[31] = 0xAB;  // unused bytes travel too
  std::string error;
  ASSERT_TRUE(SaveProfileFile(dir.File("p.dat"), block, error));
  ConfigBlock loaded{};
  ASSERT_TRUE(LoadProfileFile(dir.File("p.dat"), loaded, error)) << error;
  EXPECT_TRUE(SameBlock(loaded, block));
}

TEST(ProfileFile, MagicRule) {
  ConfigBlock block = ResetBlock();
  block.basic.S0 = 77;
  const ConfigBlock before = block;

  std::string bytes = std::string(ProfileMagic) + '\0' + "abcde";  // 38 bytes
  ASSERT_TRUE(LoadProfileBytes(bytes, block));
  EXPECT_TRUE(SameBlock(block, ResetBlock()));

  // The six bytes after the zero are not examined.
  std::string full = ProfileBytes(before);
  full.replace(33, 6, "\xff\x01zzzz");
  ConfigBlock other{};
  ASSERT_TRUE(LoadProfileBytes(full, other));
  EXPECT_TRUE(SameBlock(other, before));

  for (std::string bad : {std::string(ProfileMagic) + 'X' + std::string(3706, '\0'),
                          std::string(ProfileMagic),  // no zero byte at all
                          std::string("DALMARIN________KELVAN_6310-2762") + '\0',
                          std::string("dalmarin________KELVAN_6310-2761") + '\0', std::string()}) {
    block = before;
    EXPECT_FALSE(LoadProfileBytes(bad, block)) << bad.size();
    EXPECT_TRUE(SameBlock(block, before));
  }
}

TEST(ProfileFile, ShortFileLeavesTheRestReset) {
  ConfigBlock written = ResetBlock();
  written.serial.DteRate = 19200;          // offset 0
  written.basic.S0 = 9;                    // offset 92
  written.callerId.CidFormat = 3;          // offset 352, beyond the cut
  const std::string bytes = ProfileBytes(written).substr(0, 39 + 100);
  ConfigBlock loaded{};
  ASSERT_TRUE(LoadProfileBytes(bytes, loaded));
  EXPECT_EQ(+loaded.serial.DteRate, 19200);
  EXPECT_EQ(+loaded.basic.S0, 9);
  EXPECT_EQ(+loaded.basic.S7, 50);  // offset 96: a partial word is not in the file
  EXPECT_EQ(+loaded.callerId.CidFormat, 0);
  EXPECT_EQ(+loaded.io.PulseTa, 100);
}

TEST(ProfileFile, LongFileIgnoresTheExtraBytes) {
  TempDir dir;
  ConfigBlock written = ResetBlock();
  written.io.unused3668[31] = 0x5A;  // the very last byte of the block
  WriteFile(dir.File("long.dat"), ProfileBytes(written) + std::string(5000, '\x77'));
  ConfigBlock loaded{};
  std::string error;
  ASSERT_TRUE(LoadProfileFile(dir.File("long.dat"), loaded, error));
  EXPECT_TRUE(SameBlock(loaded, written));
}

TEST(ProfileFile, LoadErrorsNameTheFileAndTheReason) {
  TempDir dir;
  WriteFile(dir.File("text.dat"), "hello");
  WriteFile(dir.File("empty.dat"), "");
  ASSERT_EQ(::mkfifo(dir.File("pipe.dat").c_str(), 0600), 0);  // would block a plain open
  fs::create_directory(dir.path / "sub");
  const std::string base = dir.path.string();
  struct Case {
    std::string given;
    std::string message;
    std::string detail;
  };
  for (const Case& k : {
           Case{base + "/missing.dat", "Unable to open file...", base + "/missing.dat: No such file or directory"},
           Case{base + "/sub/../sub/./missing.dat", "Unable to open file...",
                base + "/sub/missing.dat: No such file or directory"},
           Case{base + "/sub", "Unable to open file...", base + "/sub: Is a directory"},
           Case{base + "/pipe.dat", "Unable to open file...", base + "/pipe.dat: not a regular file"},
           Case{"/dev/zero", "Unable to open file...", "/dev/zero: not a regular file"},
           Case{base + "/sub/../text.dat", base + "/text.dat is not a valid profile.",
                base + "/text.dat: the file does not begin with the profile header"},
           Case{base + "/empty.dat", base + "/empty.dat is not a valid profile.",
                base + "/empty.dat: the file is empty"},
       }) {
    ConfigBlock block = ResetBlock();
    block.basic.S0 = 77;
    FileProblem problem;
    EXPECT_FALSE(LoadProfileFile(k.given, block, problem)) << k.given;
    EXPECT_EQ(problem.message, k.message);
    EXPECT_EQ(problem.detail, k.detail);
    EXPECT_EQ(+block.basic.S0, 77);
    std::string error;
    EXPECT_FALSE(LoadProfileFile(k.given, block, error));
    EXPECT_EQ(error, k.message + "\n" + k.detail);  // the command line's text
  }
}

TEST(ProfileFile, ShortFileNamesTheSectionsFilledWithDefaults) {
  struct Case {
    size_t size;
    std::vector<std::string> defaulted;
  };
  const std::vector<std::string> all = {"Serial", "Basic", "Dial options", "Caller ID",
                                        "Remote configuration", "Callback", "I/O"};
  for (const Case& k : {Case{33, all}, Case{39, all},
                        Case{39 + 92, {all.begin() + 1, all.end()}},
                        Case{39 + 100, {all.begin() + 1, all.end()}},
                        Case{39 + 1120, {"I/O"}}, Case{3738, {"I/O"}}, Case{3739, {}}, Case{9000, {}}}) {
    EXPECT_EQ(SectionsFilledWithDefaults(k.size), k.defaulted) << k.size;
    EXPECT_EQ(ShortProfileNote("p.dat", k.size).has_value(), !k.defaulted.empty()) << k.size;
  }
  const auto note = ShortProfileNote("a/../p.dat", 39 + 700);
  ASSERT_TRUE(note);
  EXPECT_EQ(note->message,
            "The profile is shorter than 3739 bytes. These sections were filled with default values: "
            "Callback, I/O.");
  EXPECT_EQ(note->detail, "p.dat: 739 bytes");
}

TEST(ProfileFile, SaveThatFailsPartWayKeepsTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("keep.dat");
  WriteFile(path, "old contents");

  // Files may grow to 100 bytes only: the write of 3739 bytes fails half-way.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const bool saved = SaveProfileFile(path, ResetBlock(), error);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(saved);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadFile(path), "old contents");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(ProfileFile, SaveReplacesAnExistingFileKeepingItsPermissions) {
  TempDir dir;
  const std::string path = dir.File("p.dat");
  WriteFile(path, std::string(5000, 'x'));
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::string error;
  ASSERT_TRUE(SaveProfileFile(path, ResetBlock(), error));
  EXPECT_EQ(ReadFile(path).size(), 3739u);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// --- menu operations --------------------------------------------------------

// A profile carries the Remote configuration as well: Write Profile writes it.
const int kProfilePages[] = {PG_BASIC, PG_SERIAL, PG_DIAL, PG_CALLERID, PG_REMOTE, PG_CALLBACK, PG_IO};

TEST(OpenProfile, OfflineLoadEntersFileEditing) {
  TempDir dir;
  ConfigBlock written = ResetBlock();
  written.basic.S0 = 4;
  std::string error;
  ASSERT_TRUE(SaveProfileFile(dir.File("a.dat"), written, error));

  Rig r;
  r.ui.fileAnswers.push_back(dir.File("a.dat"));
  ASSERT_EQ(OpenProfile(r.a), 1);
  ASSERT_EQ(r.ui.fileRequests.size(), 1u);
  EXPECT_EQ(r.ui.fileRequests[0].kind, FileDialogKind::Open);
  EXPECT_EQ(r.ui.fileRequests[0].filter, "Config files (*.dat)|*.dat|All files (*.*)|*.*||");
  EXPECT_EQ(r.ui.fileRequests[0].defaultExtension, "dat");

  EXPECT_EQ(+r.a.Config.basic.S0, 4);
  for (int p : kProfilePages) {
    EXPECT_EQ(r.a.Page(p).valid, 1) << p;
    EXPECT_EQ(r.a.Page(p).reloadPending, 1) << p;
  }
  EXPECT_EQ(r.a.Page(PG_DIAGNOSTIC).valid, 0);
  EXPECT_EQ(r.a.Page(PG_DIAGNOSTIC).reloadPending, 0);
  EXPECT_EQ(r.a.LinkState, LS_IDLE | LS_FILE);
  EXPECT_EQ(r.ui.updatePagesCalls, 1);
  EXPECT_EQ(r.ui.connectionPageActivations, 1);
}

TEST(OpenProfile, LoadOntoAnIdentifiedModemKeepsTheLink) {
  TempDir dir;
  std::string error;
  ConfigBlock written = ResetBlock();
  written.remote.RemoteEnable = 1;
  ASSERT_TRUE(SaveProfileFile(dir.File("a.dat"), written, error));
  Rig r;
  r.a.LinkState = LS_PORT_OPEN | LS_IDENTIFIED;
  r.a.Config.basic.S0 = 11;
  ASSERT_EQ(OpenProfileFile(r.a, dir.File("a.dat")), 1);
  EXPECT_EQ(r.a.LinkState, LS_PORT_OPEN | LS_IDENTIFIED);
  EXPECT_EQ(r.ui.updatePagesCalls, 0);
  EXPECT_EQ(+r.a.Config.basic.S0, 2);
  EXPECT_EQ(+r.a.Config.remote.RemoteEnable, 1);  // the record is loaded and the page refilled
  EXPECT_EQ(r.a.Page(PG_REMOTE).reloadPending, 1);
}

TEST(OpenProfile, InvalidFileLeavesEverythingAndSaysSo) {
  TempDir dir;
  WriteFile(dir.File("bad.dat"), std::string(ProfileMagic) + 'x' + std::string(4000, '\1'));
  Rig r;
  r.a.Config.basic.S0 = 11;
  ASSERT_EQ(OpenProfileFile(r.a, dir.File("bad.dat")), 0);
  EXPECT_EQ(+r.a.Config.basic.S0, 11);
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].text, dir.File("bad.dat") + " is not a valid profile.");
  EXPECT_EQ(r.ui.boxes[0].detail, dir.File("bad.dat") + ": the file does not begin with the profile header");
  EXPECT_EQ(r.a.LinkState, LS_IDLE);
  EXPECT_EQ(r.a.Page(PG_BASIC).valid, 0);
  EXPECT_EQ(r.ui.connectionPageActivations, 1);

  ASSERT_EQ(OpenProfileFile(r.a, dir.File("none.dat")), 0);
  EXPECT_EQ(r.ui.boxes.back().text, "Unable to open file...");
  EXPECT_EQ(r.ui.boxes.back().detail, dir.File("none.dat") + ": No such file or directory");
}

TEST(OpenProfile, ShortFileLoadsAndSaysWhatWasFilledIn) {
  TempDir dir;
  ConfigBlock written = ResetBlock();
  written.basic.S0 = 4;
  WriteFile(dir.File("short.dat"), ProfileBytes(written).substr(0, 39 + 400));
  Rig r;
  ASSERT_EQ(OpenProfileFile(r.a, dir.File("short.dat")), 1);
  EXPECT_EQ(+r.a.Config.basic.S0, 4);
  EXPECT_EQ(r.a.LinkState, LS_IDLE | LS_FILE);
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].text,
            "The profile is shorter than 3739 bytes. These sections were filled with default values: "
            "Caller ID, Remote configuration, Callback, I/O.");
  EXPECT_EQ(r.ui.boxes[0].detail, dir.File("short.dat") + ": 439 bytes");
  EXPECT_EQ(r.ui.boxes[0].icon, MsgIcon::Warning);

  // A whole profile says nothing.
  WriteFile(dir.File("whole.dat"), ProfileBytes(written));
  ASSERT_EQ(OpenProfileFile(r.a, dir.File("whole.dat")), 1);
  EXPECT_EQ(r.ui.boxes.size(), 1u);
}

TEST(OpenProfile, CancelledDialogDoesNothing) {
  Rig r;
  EXPECT_EQ(OpenProfile(r.a), 0);
  EXPECT_TRUE(r.ui.boxes.empty());
  EXPECT_EQ(r.ui.connectionPageActivations, 0);
}

TEST(SaveProfile, AsksWithOverwritePromptAndWritesTheBlock) {
  TempDir dir;
  Rig r;
  r.a.Config.callback.CallbackMode = 6;
  r.ui.fileAnswers.push_back(dir.File("s.dat"));
  ASSERT_EQ(SaveProfile(r.a), 1);
  EXPECT_EQ(r.ui.fileRequests[0].kind, FileDialogKind::Save);
  EXPECT_TRUE(r.ui.fileRequests[0].promptOverwrite);
  EXPECT_EQ(r.ui.fileRequests[0].defaultExtension, "dat");
  EXPECT_EQ(ReadFile(dir.File("s.dat")), ProfileBytes(r.a.Config));

  r.ui.fileAnswers.push_back(dir.File("missing/s.dat"));
  EXPECT_EQ(SaveProfile(r.a), 0);
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].text, "Unable to open file...");
  EXPECT_EQ(r.ui.boxes[0].detail, dir.File("missing/s.dat") + ": No such file or directory");
}

TEST(NewProfile, ClosesTheLinkAndStartsFromTheResetBlock) {
  Rig r;
  testing::TinyModem modem;
  r.port.respond = std::ref(modem);
  ASSERT_TRUE(r.Open());
  r.a.Config.basic.S0 = 11;
  NewProfile(r.a);
  EXPECT_FALSE(r.port.IsOpen());
  EXPECT_EQ(r.a.LinkState, LS_IDLE | LS_FILE);
  EXPECT_TRUE(SameBlock(r.a.Config, ResetBlock()));
  for (int p : {PG_BASIC, PG_SERIAL, PG_CALLERID, PG_DIAL, PG_IO, PG_CALLBACK, PG_REMOTE}) {
    EXPECT_EQ(r.a.Page(p).reloadPending, 1) << p;
  }
  EXPECT_EQ(r.a.Page(PG_DIAGNOSTIC).reloadPending, 0);
  EXPECT_GE(r.ui.connectionPageActivations, 1);
}

TEST(CloseProfile, RemovesOnlyTheFileBitAndKeepsTheRecords) {
  Rig r;
  r.a.LinkState = LS_IDLE | LS_FILE;
  r.a.Config.basic.S0 = 11;
  CloseProfile(r.a);
  EXPECT_EQ(r.a.LinkState, LS_IDLE);
  EXPECT_EQ(+r.a.Config.basic.S0, 11);
  EXPECT_EQ(r.ui.updatePagesCalls, 1);
  EXPECT_EQ(r.ui.connectionPageActivations, 1);
}

TEST(ChangeMarkers, ShowTheChangedPagesInTheirOrder) {
  Rig r;
  EXPECT_EQ(r.a.ChangeMarkerText(), "");
  r.a.Page(PG_IO).changed = 1;
  r.a.Page(PG_BASIC).changed = 1;
  r.a.Page(PG_CALLERID).changed = 1;
  r.a.Page(PG_REMOTE).changed = 1;      // no marker
  r.a.Page(PG_DIAGNOSTIC).changed = 1;  // no marker
  r.a.UpdateChangeMarkers();
  EXPECT_EQ(r.ui.statusText, " [Basic Changed]  [CallerID Changed]  [IO Changed] ");

  for (auto& p : r.a.pages) p.changed = 1;
  EXPECT_EQ(r.a.ChangeMarkerText(),
            " [Basic Changed]  [Serial Changed]  [Dial Option Changed]  [CallerID Changed] "
            " [Callback Changed]  [IO Changed] ");
  for (auto& p : r.a.pages) p.changed = 0;
  r.a.UpdateChangeMarkers();
  EXPECT_EQ(r.ui.statusText, "");
}

}  // namespace
}  // namespace kelvane
