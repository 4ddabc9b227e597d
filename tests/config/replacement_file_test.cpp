#include "config/replacement_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace kelvane {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    std::string t = (fs::temp_directory_path() / "kelvane-replace-XXXXXX").string();
    path = ::mkdtemp(t.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
  }
  std::string File(const std::string& name) const { return (path / name).string(); }
  size_t Entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(path), {})); }
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Replace(const std::string& path, std::string_view bytes, std::string& error) {
  ReplacementFile file(path);
  return file.Commit(bytes, error);
}

// Runs `body` as a user who is not the owner of the test's files and is not
// exempt from permission checks: in a child process that gives up root when
// the tests run as root. Returns the body's result.
bool AsOrdinaryUser(const std::function<bool()>& body) {
  if (::geteuid() != 0) return body();
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ReplacementFile, FollowsSymbolicLinksAndKeepsThem) {
  struct Case {
    const char* name;
    bool relative;
    bool dangling;
  };
  for (const Case& k : {Case{"absolute link", false, false}, Case{"relative link", true, false},
                        Case{"link to a file not yet made", true, true}}) {
    TempDir dir;
    fs::create_directory(dir.path / "real");
    const std::string target = dir.File("real/p.dat");
    if (!k.dangling) WriteFile(target, "old");
    fs::create_symlink(k.relative ? fs::path("real/p.dat") : fs::path(target), dir.path / "link.dat");
    std::string error;
    ASSERT_TRUE(Replace(dir.File("link.dat"), "new", error)) << k.name << ": " << error;
    EXPECT_TRUE(fs::is_symlink(dir.path / "link.dat")) << k.name;
    EXPECT_EQ(ReadFile(target), "new") << k.name;
    EXPECT_EQ(dir.Entries(), 2u) << k.name;  // no temporary file left beside the link
  }
}

TEST(ReplacementFile, KeepsTheModeOfTheReplacedFile) {
  for (fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write,
                         fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                             fs::perms::others_read | fs::perms::owner_exec}) {
    TempDir dir;
    const std::string path = dir.File("p.dat");
    WriteFile(path, "old");
    fs::permissions(path, mode);
    std::string error;
    ASSERT_TRUE(Replace(path, "new", error)) << error;
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask, mode);
    EXPECT_EQ(ReadFile(path), "new");
  }
}

TEST(ReplacementFile, RefusesWhatIsNotARegularFile) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
  fs::create_directory(dir.path / "folder");
  struct Case {
    std::string path;
    std::string reason;
  };
  for (const Case& k : {Case{dir.File("pipe"), "not a regular file"}, Case{"/dev/null", "not a regular file"},
                        Case{dir.File("folder"), "Is a directory"}}) {
    std::string error;
    ReplacementFile file(k.path);
    EXPECT_FALSE(file.Create(error)) << k.path;
    EXPECT_EQ(error, k.path + ": " + k.reason);
  }
  EXPECT_TRUE(fs::is_fifo(dir.path / "pipe"));
  EXPECT_TRUE(fs::is_directory(dir.path / "folder"));
  EXPECT_EQ(dir.Entries(), 2u);
}

TEST(ReplacementFile, RespectsWhatTheUserMayWrite) {
  // Read-only file in a folder anyone may write: refused, not replaced.
  {
    TempDir dir;
    fs::permissions(dir.path, fs::perms::all);
    const std::string path = dir.File("ro.dat");
    WriteFile(path, "keep");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_TRUE(AsOrdinaryUser([&] {
      std::string error;
      return !Replace(path, "new", error) && error == path + ": Permission denied";
    }));
    EXPECT_EQ(ReadFile(path), "keep");
  }
  // Writable file in a folder that takes no new file: written in place.
  {
    TempDir dir;
    const std::string path = dir.File("rw.dat");
    WriteFile(path, "a longer old content");
    fs::permissions(path, fs::perms::all);
    fs::permissions(dir.path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    if (::geteuid() != 0) fs::permissions(dir.path, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_TRUE(AsOrdinaryUser([&] {
      std::string error;
      return Replace(path, "new", error);
    }));
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(dir.Entries(), 1u);
  }
}

TEST(ReplacementFile, NothingChangesBeforeTheCommit) {
  TempDir dir;
  const std::string path = dir.File("r.htm");
  WriteFile(path, "earlier");
  {
    ReplacementFile file(path);
    std::string error;
    ASSERT_TRUE(file.Create(error)) << error;
    EXPECT_EQ(ReadFile(path), "earlier");
  }  // dropped without a commit
  EXPECT_EQ(ReadFile(path), "earlier");
  EXPECT_EQ(dir.Entries(), 1u);

  std::string error;
  ReplacementFile missing(dir.File("no/such/dir/r.htm"));
  EXPECT_FALSE(missing.Create(error));
  EXPECT_EQ(error, dir.File("no/such/dir/r.htm") + ": No such file or directory");
}

}  // namespace
}  // namespace kelvane
