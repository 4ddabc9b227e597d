#pragma once
// A file that replaces another only once it is complete: the bytes go to a new
// file beside the target, which is flushed to the disk and then renamed over
// the target. A failure on the way leaves the old file as it was.
//
// A symbolic link is followed: its target is replaced and the link stays;
// but a link owned by another user in a sticky folder anyone may write (such
// as /tmp) is refused, naming the link, unless the folder's owner made it,
// wherever it stands on the path; so is another user's file there. The
// replacement keeps the mode of the file it replaces (and, made by root for
// another user, that user as its owner); a new file is
// readable and writable by its owner only, since profiles, logs and reports
// may hold passwords. A file the user may not write, or one that is not a
// regular file, is refused. When the folder does
// not let a new file be made beside the target but the target itself may be
// written, the bytes are written into the target in place.

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace kelvane {

// The file `path` finally names, every folder on the way with its links
// followed (the file itself may be missing). Empty when that fails: `err`
// holds the reason, or `refused` a link that must not be followed (see
// IsForeignLinkInSharedFolder).
std::string FollowLinks(const std::string& path, int& err, std::string& refused);

// True when `link` (whose lstat is `linkStat`) is a symbolic link that must
// not be followed: it belongs to neither this user nor the folder's owner, in
// a sticky folder anyone may write.
bool IsForeignLinkInSharedFolder(const std::string& link, const struct stat& linkStat);
// The reason given when such a link is refused: "<link>: ...".
std::string ForeignLinkReason(const std::string& link);
// True when a file or folder (whose stat is `st`) in `folder` belongs to
// neither this user nor the folder's owner, in a sticky folder others may
// write: that user may have put it there for this program to write.
bool IsForeignInSharedFolder(const struct stat& st, const struct stat& folder);
// The reason given when such a file is refused: "<path>: ...".
std::string ForeignFileReason(const std::string& path);

class ReplacementFile {
 public:
  explicit ReplacementFile(std::string target) : target_(std::move(target)) {}
  ~ReplacementFile();  // an uncommitted file is removed
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Prepares the write: checks the target and creates the new file beside it
  // (or opens the target for a write in place). False when that is not
  // possible; `error` then holds the path as given and the system's reason.
  // Nothing on disk changes until Commit.
  bool Create(std::string& error);
  // Writes the bytes, flushes them and puts them in place of the target.
  bool Commit(std::string_view bytes, std::string& error);

 private:
  void Discard();
  std::string target_;    // as given
  std::string resolved_;  // with symbolic links followed
  std::string name_;      // the resolved target's name in its folder
  std::string temp_;      // the new file's name in that folder
  int dirFd_ = -1;        // the folder, opened once
  bool existed_ = false;
  struct stat old_ {};    // the replaced file, as it was checked
  bool inPlace_ = false;
  int fd_ = -1;
};

}  // namespace kelvane
