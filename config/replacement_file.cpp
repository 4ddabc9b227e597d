#include "config/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "config/file_problem.h"

namespace kelvane {

namespace {

namespace fs = std::filesystem;

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

fs::path DirectoryOf(const std::string& path) {
  fs::path dir = fs::path(path).parent_path();
  return dir.empty() ? fs::path(".") : dir;
}

// The file a path finally names: symbolic links are followed (also one that
// points to a file not yet made), so that a save replaces the link's target
// instead of the link. Gives up after as many links as the system follows.
// A link another user planted in a shared folder is not followed: `refused`
// then names it.
std::string FollowLinks(const std::string& path, int& err, std::string& refused) {
  fs::path p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p.string();
    if (IsForeignLinkInSharedFolder(p.string(), st)) {
      refused = p.string();
      return {};
    }
    std::error_code ec;
    const fs::path link = fs::read_symlink(p, ec);
    if (ec) {
      err = ec.value();
      return {};
    }
    p = link.is_absolute() ? link : DirectoryOf(p.string()) / link;
  }
  err = ELOOP;
  return {};
}

}  // namespace

bool IsForeignLinkInSharedFolder(const std::string& link, const struct stat& linkStat) {
  if (linkStat.st_uid == ::geteuid()) return false;
  struct stat folder {};
  if (::stat(DirectoryOf(link).c_str(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
  return shared && folder.st_uid != linkStat.st_uid;
}

std::string ForeignLinkReason(const std::string& link) {
  return FileDetail(link, "a symbolic link of another user in a folder anyone may write; not followed");
}

ReplacementFile::~ReplacementFile() { Discard(); }

void ReplacementFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  inPlace_ = false;
}

bool ReplacementFile::Create(std::string& error) {
  Discard();
  int err = 0;
  std::string refused;
  resolved_ = FollowLinks(target_, err, refused);
  if (!refused.empty()) {
    error = ForeignLinkReason(refused);
    return false;
  }
  if (resolved_.empty()) {
    error = FileDetail(target_, err ? err : ENOENT);
    return false;
  }

  struct stat st {};
  const bool exists = ::stat(resolved_.c_str(), &st) == 0;
  if (exists) {
    // A device or a pipe is never replaced by a file, nor written to.
    if (!S_ISREG(st.st_mode)) {
      error = FileDetail(target_, S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file");
      return false;
    }
    // The folder may allow a replacement the file's own mode forbids.
    if (::access(resolved_.c_str(), W_OK) != 0) {
      error = FileDetail(target_, errno);
      return false;
    }
  }

  const std::string name = fs::path(resolved_).filename().string();
  std::string temp = (DirectoryOf(resolved_) / ("." + name + ".XXXXXX")).string();
  fd_ = ::mkstemp(temp.data());
  if (fd_ >= 0) {
    temp_ = temp;
    return true;
  }
  err = errno;
  // A folder that takes no new file: an existing file that may be written is
  // written in place (not atomic, but the only way to save it at all).
  if (exists && (err == EACCES || err == EPERM || err == EDQUOT || err == ENOSPC)) {
    fd_ = ::open(resolved_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ >= 0) {
      inPlace_ = true;
      return true;
    }
  }
  error = FileDetail(target_, err);
  return false;
}

bool ReplacementFile::Commit(std::string_view bytes, std::string& error) {
  if (fd_ < 0 && !Create(error)) return false;
  int err = 0;
  bool ok = true;
  auto fail = [&](bool good) {
    if (ok && !good) ok = false, err = errno;
  };
  if (inPlace_) fail(::ftruncate(fd_, 0) == 0);
  if (ok) fail(WriteAll(fd_, bytes));
  // The new file was made readable by its owner only (it may hold
  // passwords); one that replaces a file takes that file's mode. Only the
  // descriptor is touched: the process's umask is shared by every thread.
  if (ok && !inPlace_) {
    struct stat st {};
    if (::stat(resolved_.c_str(), &st) == 0) fail(::fchmod(fd_, st.st_mode & 07777) == 0);
  }
  if (ok) fail(::fsync(fd_) == 0);
  const int closed = ::close(fd_);
  fd_ = -1;
  fail(closed == 0);
  if (ok && !inPlace_) fail(::rename(temp_.c_str(), resolved_.c_str()) == 0);
  if (!ok) {
    Discard();
    error = FileDetail(target_, err);
    return false;
  }
  temp_.clear();
  if (inPlace_) {
    inPlace_ = false;
    return true;
  }
  // Make the rename itself durable.
  const int dirFd = ::open(DirectoryOf(resolved_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace kelvane
