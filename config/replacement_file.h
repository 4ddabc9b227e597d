#pragma once
// A file that replaces another only once it is complete: the bytes go to a new
// file beside the target, which is flushed to the disk and then renamed over
// the target. A failure on the way leaves the old file as it was.

#include <string>
#include <string_view>

namespace kelvane {

class ReplacementFile {
 public:
  explicit ReplacementFile(std::string target) : target_(std::move(target)) {}
  ~ReplacementFile();  // an uncommitted file is removed
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the new file beside the target. False (with `error`) when the
  // directory does not allow it.
  bool Create(std::string& error);
  // Writes the bytes, flushes them and renames the file over the target.
  bool Commit(std::string_view bytes, std::string& error);

 private:
  void Discard();
  std::string target_;
  std::string temp_;
  int fd_ = -1;
};

}  // namespace kelvane
