#include "config/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>

#include "config/field_table.h"
#include "config/replacement_file.h"

namespace kelvane {

namespace {

constexpr const char* kProfileFilter = "Config files (*.dat)|*.dat|All files (*.*)|*.*||";
constexpr const char* kCannotOpen = "Unable to open file...";

// The reset configuration, as the adapter defines it.
const ConfigBlock& ResetBlock() {
  static const ConfigBlock block = [] {
    CAdapter scratch;
    scratch.ResetConfiguration();
    return scratch.Config;
  }();
  return block;
}

// The file's full path, as the invalid-profile message names it.
std::string FullPath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? ShownPath(path) : full.lexically_normal().string();
}

// The file's own name, as the status notes name it.
std::string FileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// Reads at most `limit` bytes of a regular file. A pipe, a device or a folder
// is refused before anything is read: the open does not wait for a writer.
bool ReadRegularFile(const std::string& path, size_t limit, std::string& bytes, size_t& size,
                     std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    reason = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    ::close(fd);
    return false;
  }
  size = static_cast<size_t>(st.st_size);
  bytes.assign(limit, '\0');
  size_t got = 0;
  while (got < limit) {
    const ssize_t n = ::read(fd, bytes.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  // The file may have changed since fstat; what was read is what counts
  // when it is shorter.
  if (got < limit) size = got;
  return true;
}

}  // namespace

FileDialogRequest ProfileDialog(FileDialogKind kind) {
  FileDialogRequest r;
  r.kind = kind;
  r.filter = kProfileFilter;
  r.defaultExtension = "dat";
  r.promptOverwrite = kind == FileDialogKind::Save;
  r.folderKind = "profiles";
  return r;
}

std::array<uint8_t, ProfileHeaderSize> ProfileHeader() {
  std::array<uint8_t, ProfileHeaderSize> header{};
  std::memcpy(header.data(), ProfileMagic.data(), ProfileMagic.size());
  return header;
}

std::string ProfileBytes(const ConfigBlock& block) {
  const auto header = ProfileHeader();
  std::string bytes(reinterpret_cast<const char*>(header.data()), header.size());
  bytes.append(reinterpret_cast<const char*>(&block), sizeof block);
  return bytes;
}

bool HasProfileMagic(std::string_view bytes) {
  return bytes.size() > ProfileMagic.size() && bytes.substr(0, ProfileMagic.size()) == ProfileMagic &&
         bytes[ProfileMagic.size()] == '\0';
}

bool LoadProfileBytes(std::string_view bytes, ConfigBlock& out) {
  if (!HasProfileMagic(bytes)) return false;
  ConfigBlock block = ResetBlock();
  if (bytes.size() > ProfileHeaderSize) {
    const std::string_view body = bytes.substr(ProfileHeaderSize, sizeof block);
    std::memcpy(&block, body.data(), body.size());
  }
  out = block;
  return true;
}

bool LoadProfileFile(const std::string& path, ConfigBlock& out, FileProblem& problem, size_t* fileSize) {
  std::string bytes, reason;
  size_t size = 0;
  // Only the header and the block matter; a longer file is not read further.
  if (!ReadRegularFile(path, ProfileFileSize, bytes, size, reason)) {
    problem = {kCannotOpen, FileDetail(path, reason)};
    return false;
  }
  if (!LoadProfileBytes(bytes, out)) {
    problem = {FullPath(path) + " is not a valid profile.",
               FileDetail(path, size == 0 ? "the file is empty"
                                          : "the file does not begin with the profile header")};
    return false;
  }
  if (fileSize) *fileSize = size;
  return true;
}

bool LoadProfileFile(const std::string& path, ConfigBlock& out, std::string& error) {
  FileProblem problem;
  if (LoadProfileFile(path, out, problem)) return true;
  error = problem.Text();
  return false;
}

std::vector<std::string> SectionsFilledWithDefaults(size_t fileSize) {
  std::vector<std::string> names;
  const size_t body = fileSize > ProfileHeaderSize ? fileSize - ProfileHeaderSize : 0;
  // In the order of the block.
  std::vector<const SectionInfo*> sections;
  for (const SectionInfo& s : Sections()) {
    if (s.size && body < s.offset + s.size) sections.push_back(&s);
  }
  std::sort(sections.begin(), sections.end(), [](auto* a, auto* b) { return a->offset < b->offset; });
  for (const SectionInfo* s : sections) names.emplace_back(s->words);
  return names;
}

std::optional<FileProblem> ShortProfileNote(const std::string& path, size_t fileSize) {
  const auto names = SectionsFilledWithDefaults(fileSize);
  if (names.empty()) return std::nullopt;
  std::string list;
  for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
  return FileProblem{"The profile is shorter than " + std::to_string(ProfileFileSize) +
                         " bytes. These sections were filled with default values: " + list + ".",
                     FileDetail(path, std::to_string(fileSize) + " bytes")};
}

bool SaveProfileFile(const std::string& path, const ConfigBlock& block, FileProblem& problem) {
  ReplacementFile file(path);
  std::string detail;
  if (file.Commit(ProfileBytes(block), detail)) return true;
  problem = {kCannotOpen, detail};
  return false;
}

bool SaveProfileFile(const std::string& path, const ConfigBlock& block, std::string& error) {
  FileProblem problem;
  if (SaveProfileFile(path, block, problem)) return true;
  error = problem.Text();
  return false;
}

int OpenProfile(CAdapter& a) {
  const auto path = a.Ui().AskFileName(ProfileDialog(FileDialogKind::Open));
  if (!path) return 0;
  return OpenProfileFile(a, *path);
}

int OpenProfileFile(CAdapter& a, const std::string& path) {
  UserInterface& ui = a.Ui();
  ConfigBlock loaded;
  FileProblem problem;
  size_t size = 0;
  int result = 0;
  if (!LoadProfileFile(path, loaded, problem, &size)) {
    ui.MessageBoxWithDetail(problem.message, problem.detail, MsgIcon::Warning, MsgButtons::Ok);
  } else {
    ApplyProfileBlock(a, loaded);
    a.ProfilePath = path;
    ui.SetStatusNote("Profile " + FileNameOf(path) + " opened.");
    // The defaults a short file leaves behind would otherwise be written to
    // a modem as though the user had chosen them.
    if (const auto note = ShortProfileNote(path, size)) {
      ui.MessageBoxWithDetail(note->message, note->detail, MsgIcon::Warning, MsgButtons::Ok);
    }
    result = 1;
  }
  ui.ActivateConnectionPage();
  return result;
}

void ApplyProfileBlock(CAdapter& a, const ConfigBlock& block) {
  a.Config = block;
  // A profile carries every record, the Remote configuration too: all of
  // them hold data now and are written as a write of the profile asks, by
  // the window as by kelvane-cli write and apply.
  for (int page : {PG_BASIC, PG_SERIAL, PG_DIAL, PG_CALLERID, PG_REMOTE, PG_CALLBACK, PG_IO}) {
    a.Page(page).reloadPending = 1;
    a.Page(page).valid = 1;
  }
  // With an identified modem the link stays as it is, so the loaded values
  // can be written to it.
  if (!(a.LinkState & LS_IDENTIFIED)) {
    a.LinkState |= LS_FILE;
    a.Ui().UpdatePages();
  }
}

int SaveProfile(CAdapter& a) {
  const auto path = a.Ui().AskFileName(ProfileDialog(FileDialogKind::Save));
  if (!path) return 0;
  FileProblem problem;
  if (!SaveProfileFile(*path, a.Config, problem)) {
    a.Ui().MessageBoxWithDetail(problem.message, problem.detail, MsgIcon::Warning, MsgButtons::Ok);
    return 0;
  }
  a.ProfilePath = *path;
  a.Ui().SetStatusNote("Profile saved to " + FileNameOf(*path) + ".");
  return 1;
}

void NewProfile(CAdapter& a) {
  a.CloseLink();
  a.ResetConfiguration();
  a.ProfilePath.clear();
  a.LinkState |= LS_FILE;
  a.Ui().UpdatePages();
  for (int page : {PG_BASIC, PG_SERIAL, PG_CALLERID, PG_DIAL, PG_IO, PG_CALLBACK, PG_REMOTE}) {
    a.Page(page).reloadPending = 1;
  }
  a.Ui().ActivateConnectionPage();
}

void CloseProfile(CAdapter& a) {
  a.LinkState &= ~LS_FILE;
  a.ProfilePath.clear();
  a.Ui().UpdatePages();
  a.Ui().ActivateConnectionPage();
}

}  // namespace kelvane
