#include "config/profile.h"

#include <cstring>
#include <filesystem>
#include <fstream>

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

FileDialogRequest ProfileDialog(FileDialogKind kind) {
  FileDialogRequest r;
  r.kind = kind;
  r.filter = kProfileFilter;
  r.defaultExtension = "dat";
  r.promptOverwrite = kind == FileDialogKind::Save;
  return r;
}

std::string FullPath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.string();
}

}  // namespace

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

bool LoadProfileFile(const std::string& path, ConfigBlock& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = kCannotOpen;
    return false;
  }
  // Only the header and the block matter; a longer file is not read further.
  std::string bytes(ProfileFileSize, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) {
    error = kCannotOpen;
    return false;
  }
  if (!LoadProfileBytes(bytes, out)) {
    error = FullPath(path) + " is not a valid profile.";
    return false;
  }
  return true;
}

bool SaveProfileFile(const std::string& path, const ConfigBlock& block, std::string& error) {
  ReplacementFile file(path);
  return file.Commit(ProfileBytes(block), error);
}

int OpenProfile(CAdapter& a) {
  const auto path = a.Ui().AskFileName(ProfileDialog(FileDialogKind::Open));
  if (!path) return 0;
  return OpenProfileFile(a, *path);
}

int OpenProfileFile(CAdapter& a, const std::string& path) {
  UserInterface& ui = a.Ui();
  ConfigBlock loaded;
  std::string error;
  int result = 0;
  if (!LoadProfileFile(path, loaded, error)) {
    ui.MessageBox(error, MsgIcon::Warning, MsgButtons::Ok);
  } else {
    a.Config = loaded;
    for (int page : {PG_BASIC, PG_SERIAL, PG_DIAL, PG_CALLERID, PG_CALLBACK, PG_IO}) {
      a.Page(page).reloadPending = 1;
      a.Page(page).valid = 1;
    }
    // With an identified modem the link stays as it is, so the loaded values
    // can be written to it.
    if (!(a.LinkState & LS_IDENTIFIED)) {
      a.LinkState |= LS_FILE;
      ui.UpdatePages();
    }
    result = 1;
  }
  ui.ActivateConnectionPage();
  return result;
}

int SaveProfile(CAdapter& a) {
  const auto path = a.Ui().AskFileName(ProfileDialog(FileDialogKind::Save));
  if (!path) return 0;
  std::string error;
  if (!SaveProfileFile(*path, a.Config, error)) {
    a.Ui().MessageBox(kCannotOpen, MsgIcon::Warning, MsgButtons::Ok);
    return 0;
  }
  return 1;
}

void NewProfile(CAdapter& a) {
  a.CloseLink();
  a.ResetConfiguration();
  a.LinkState |= LS_FILE;
  a.Ui().UpdatePages();
  for (int page : {PG_BASIC, PG_SERIAL, PG_CALLERID, PG_DIAL, PG_IO, PG_CALLBACK, PG_REMOTE}) {
    a.Page(page).reloadPending = 1;
  }
  a.Ui().ActivateConnectionPage();
}

void CloseProfile(CAdapter& a) {
  a.LinkState &= ~LS_FILE;
  a.Ui().UpdatePages();
  a.Ui().ActivateConnectionPage();
}

}  // namespace kelvane
