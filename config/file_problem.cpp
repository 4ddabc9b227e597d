#include "config/file_problem.h"

#include <cstring>
#include <filesystem>

namespace kelvane {

std::string ShownPath(const std::string& path) {
  if (path.empty()) return path;
  std::string shown = std::filesystem::path(path).lexically_normal().string();
  // "dir/" normalises to "dir/"; "a/.." to "." — both are fine to show.
  return shown.empty() ? path : shown;
}

std::string FileDetail(const std::string& path, int err) { return FileDetail(path, std::strerror(err)); }

std::string FileDetail(const std::string& path, const std::string& reason) {
  return ShownPath(path) + ": " + reason;
}

}  // namespace kelvane
