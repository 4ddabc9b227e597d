#include "config/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kelvane {

namespace {

std::string SystemError(const char* what, const std::string& path, int err) {
  return std::string(what) + " " + path + ": " + std::strerror(err);
}

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

// The permissions of the file being replaced, or those a newly created file
// would get.
mode_t TargetMode(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

std::filesystem::path DirectoryOf(const std::string& path) {
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  return dir.empty() ? std::filesystem::path(".") : dir;
}

}  // namespace

ReplacementFile::~ReplacementFile() { Discard(); }

void ReplacementFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

bool ReplacementFile::Create(std::string& error) {
  Discard();
  const std::string name = std::filesystem::path(target_).filename().string();
  std::string temp = (DirectoryOf(target_) / ("." + name + ".XXXXXX")).string();
  fd_ = ::mkstemp(temp.data());
  if (fd_ < 0) {
    error = SystemError("Cannot create a file beside", target_, errno);
    return false;
  }
  temp_ = temp;
  return true;
}

bool ReplacementFile::Commit(std::string_view bytes, std::string& error) {
  if (fd_ < 0 && !Create(error)) return false;
  int err = 0;
  bool ok = WriteAll(fd_, bytes);
  if (!ok) err = errno;
  if (ok && ::fchmod(fd_, TargetMode(target_)) != 0) ok = false, err = errno;
  if (ok && ::fsync(fd_) != 0) ok = false, err = errno;
  const int closed = ::close(fd_);
  fd_ = -1;
  if (ok && closed != 0) ok = false, err = errno;
  if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) ok = false, err = errno;
  if (!ok) {
    Discard();
    error = SystemError("Cannot write", target_, err);
    return false;
  }
  temp_.clear();
  // Make the rename itself durable.
  const int dirFd = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace kelvane
