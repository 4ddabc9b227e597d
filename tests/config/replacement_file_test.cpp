#include "config/replacement_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

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

// The process's umask as the kernel reports it, read without changing it.
std::string UmaskLine() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Umask:", 0) == 0) return line;
  }
  return {};
}

TEST(ReplacementFile, NewFilesAreOwnerOnlyAndTheUmaskIsLeftAlone) {
  TempDir dir;
  const mode_t saved = ::umask(022);
  const std::string before = UmaskLine();
  ASSERT_FALSE(before.empty());
  // Threads saving side by side, as apply's targets do.
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 40; ++i) {
        std::string error;
        if (!Replace(dir.File(std::to_string(t) + "-" + std::to_string(i)), "secret", error)) ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(UmaskLine(), before);
  ::umask(saved);
  EXPECT_EQ(failures, 0);
  for (const auto& entry : fs::directory_iterator(dir.path)) {
    EXPECT_EQ(entry.status().permissions() & fs::perms::mask, fs::perms::owner_read | fs::perms::owner_write)
        << entry.path();
  }
}

TEST(ReplacementFile, RefusesAnotherUsersLinkInAStickyFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant a link of another user";
  TempDir dir;
  fs::permissions(dir.path, fs::perms::all | fs::perms::sticky_bit);
  const std::string victim = dir.File("victim");
  WriteFile(victim, "root's");
  const std::string link = dir.File("report.htm");
  fs::create_symlink(victim, link);
  ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);
  std::string error;
  EXPECT_FALSE(Replace(link, "planted", error));
  EXPECT_EQ(error, link + ": a symbolic link of another user in a folder anyone may write; not followed");
  EXPECT_EQ(ReadFile(victim), "root's");
  // The folder's owner's own link is followed, as the system does.
  ASSERT_EQ(::lchown(link.c_str(), 0, 0), 0);
  EXPECT_TRUE(Replace(link, "mine", error)) << error;
  EXPECT_EQ(ReadFile(victim), "mine");
}

TEST(ReplacementFile, KeepsTheModeOfTheReplacedFile) {
  const fs::perms own = fs::perms::owner_read | fs::perms::owner_write;
  const fs::perms shown = own | fs::perms::group_read | fs::perms::others_read | fs::perms::owner_exec;
  // Root replacing another user's file (outside a shared folder) leaves it
  // that user's.
  const uid_t other = ::geteuid() == 0 ? 65534 : ::geteuid();
  struct Case {
    fs::perms mode;
    uid_t owner;
  };
  for (const Case& c : {Case{own, ::geteuid()}, Case{shown, ::geteuid()}, Case{shown, other}}) {
    TempDir dir;
    const std::string path = dir.File("p.dat");
    WriteFile(path, "old");
    fs::permissions(path, c.mode);
    ASSERT_EQ(::chown(path.c_str(), c.owner, c.owner), 0);
    std::string error;
    ASSERT_TRUE(Replace(path, "new", error)) << error;
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask, c.mode);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, c.owner);
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
