#include "config/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <vector>

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

}  // namespace

// The file a path finally names, every folder of the way included: symbolic
// links are followed (also one that points to a file not yet made), so that a
// save replaces the link's target instead of the link. Gives up after as many
// links as the system follows. A link another user planted in a shared
// folder is not followed, wherever it stands on the way: `refused` then
// names it.
std::string FollowLinks(const std::string& path, int& err, std::string& refused) {
  std::vector<std::string> todo;  // the components still to walk, the next last
  auto push = [&todo](const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
      const size_t slash = text.find('/', start);
      parts.push_back(text.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
    todo.insert(todo.end(), parts.rbegin(), parts.rend());
  };
  if (path.empty()) {
    err = ENOENT;
    return {};
  }
  std::error_code cwdError;
  fs::path done = path[0] == '/' ? fs::path("/") : fs::current_path(cwdError);
  if (cwdError) {
    err = cwdError.value();
    return {};
  }
  push(path);
  int links = 0;
  while (!todo.empty()) {
    const std::string part = todo.back();
    todo.pop_back();
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      done = done.parent_path();
      continue;
    }
    const fs::path next = done / part;
    struct stat st {};
    if (::lstat(next.c_str(), &st) != 0) {
      const int lstatError = errno;
      // Only the file itself may be missing: it is made.
      const bool last =
          std::all_of(todo.begin(), todo.end(), [](const std::string& p) { return p.empty() || p == "."; });
      if (lstatError == ENOENT && last) return next.string();
      err = lstatError;
      return {};
    }
    if (S_ISLNK(st.st_mode)) {
      if (IsForeignLinkInSharedFolder(next.string(), st)) {
        refused = next.string();
        return {};
      }
      if (++links > 40) {
        err = ELOOP;
        return {};
      }
      std::error_code ec;
      const fs::path link = fs::read_symlink(next, ec);
      if (ec) {
        err = ec.value();
        return {};
      }
      if (link.is_absolute()) done = "/";
      push(link.string());
      continue;
    }
    done = next;
  }
  return done.string();
}

namespace {

bool IsSharedFolder(const struct stat& folder) {
  return (folder.st_mode & S_ISVTX) && (folder.st_mode & (S_IWOTH | S_IWGRP));
}

}  // namespace

bool IsForeignLinkInSharedFolder(const std::string& link, const struct stat& linkStat) {
  if (linkStat.st_uid == ::geteuid()) return false;
  struct stat folder {};
  if (::stat(DirectoryOf(link).c_str(), &folder) != 0) return false;
  return IsSharedFolder(folder) && folder.st_uid != linkStat.st_uid;
}

std::string ForeignLinkReason(const std::string& link) {
  return FileDetail(link, "a symbolic link of another user in a folder anyone may write; not followed");
}

bool IsForeignInSharedFolder(const struct stat& st, const struct stat& folder) {
  return st.st_uid != ::geteuid() && IsSharedFolder(folder) && st.st_uid != folder.st_uid;
}

std::string ForeignFileReason(const std::string& path) {
  return FileDetail(path, "a file of another user in a folder anyone may write; not taken over");
}

ReplacementFile::~ReplacementFile() { Discard(); }

void ReplacementFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty() && dirFd_ >= 0) ::unlinkat(dirFd_, temp_.c_str(), 0);
  temp_.clear();
  if (dirFd_ >= 0) ::close(dirFd_);
  dirFd_ = -1;
  inPlace_ = false;
  existed_ = false;
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
  // Everything from here on is done through the folder's descriptor and the
  // bare name, so a folder or a link swapped in meanwhile is not followed.
  name_ = fs::path(resolved_).filename().string();
  dirFd_ = ::open(DirectoryOf(resolved_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  struct stat folder {};
  if (dirFd_ < 0 || ::fstat(dirFd_, &folder) != 0) {
    error = FileDetail(target_, errno);
    Discard();
    return false;
  }

  struct stat st {};
  existed_ = ::fstatat(dirFd_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (existed_) {
    // A device or a pipe is never replaced by a file, nor written to; a link
    // here was put in after the path was followed.
    if (!S_ISREG(st.st_mode)) {
      error = FileDetail(target_, S_ISDIR(st.st_mode)   ? std::strerror(EISDIR)
                                  : S_ISLNK(st.st_mode) ? "replaced by a symbolic link while being written"
                                                        : "not a regular file");
      Discard();
      return false;
    }
    // Another user's file in a shared folder (such as /tmp) may have been
    // put there to be written: its mode and its owner would make the
    // profile theirs to read.
    if (IsForeignInSharedFolder(st, folder)) {
      error = ForeignFileReason(target_);
      Discard();
      return false;
    }
    // The folder may allow a replacement the file's own mode forbids.
    if (::faccessat(dirFd_, name_.c_str(), W_OK, 0) != 0) {
      error = FileDetail(target_, errno);
      Discard();
      return false;
    }
    old_ = st;
  }

  // The new file is readable and writable by its owner only until it takes
  // the mode of the file it replaces.
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char tail[40];
    std::snprintf(tail, sizeof tail, ".%d.%u.%d", static_cast<int>(::getpid()), ++counter, attempt);
    const std::string temp = "." + name_ + tail;
    fd_ = ::openat(dirFd_, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd_ >= 0) {
      temp_ = temp;
      return true;
    }
    if (errno != EEXIST) break;
  }
  err = errno;
  // A folder that takes no new file: an existing file that may be written is
  // written in place (not atomic, but the only way to save it at all), once
  // it is known to be the file that was checked.
  if (existed_ && (err == EACCES || err == EPERM || err == EDQUOT || err == ENOSPC)) {
    fd_ = ::openat(dirFd_, name_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat opened {};
    if (fd_ >= 0 && ::fstat(fd_, &opened) == 0 && opened.st_dev == old_.st_dev && opened.st_ino == old_.st_ino) {
      inPlace_ = true;
      return true;
    }
    if (fd_ >= 0) err = EAGAIN;
  }
  error = FileDetail(target_, err);
  Discard();
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
  // A replacement takes the mode of the file it replaces, as it was when it
  // was checked. Run by root on another user's file, it stays theirs, or
  // keeps no permission for anyone else. Only the descriptor is touched: the
  // process's umask is shared by every thread.
  if (ok && !inPlace_ && existed_) {
    mode_t mode = old_.st_mode & 07777;
    if (old_.st_uid != ::geteuid() && ::fchown(fd_, old_.st_uid, old_.st_gid) != 0) mode &= 0700;
    fail(::fchmod(fd_, mode) == 0);
  }
  if (ok) fail(::fsync(fd_) == 0);
  const int closed = ::close(fd_);
  fd_ = -1;
  fail(closed == 0);
  if (ok && !inPlace_) fail(::renameat(dirFd_, temp_.c_str(), dirFd_, name_.c_str()) == 0);
  if (!ok) {
    Discard();
    error = FileDetail(target_, err);
    return false;
  }
  temp_.clear();
  // Make the rename itself durable.
  if (!inPlace_) ::fsync(dirFd_);
  Discard();
  return true;
}

}  // namespace kelvane
