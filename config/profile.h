#pragma once
// Profile files: the whole configuration block saved to disk behind a 39-byte
// header, so a configuration can be prepared without a modem and written to
// one later. Also the File menu operations New, Open, Save and Close Profile.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/adapter.h"
#include "config/file_problem.h"

namespace kelvane {

// The 32 characters a profile begins with, followed by a zero byte.
inline constexpr std::string_view ProfileMagic = "DALMARIN________KELVAN_6310-2761";
inline constexpr size_t ProfileHeaderSize = 39;
inline constexpr size_t ProfileFileSize = ProfileHeaderSize + sizeof(ConfigBlock);  // 3739

// The open or save dialog for a profile: "*.dat" files, all files.
FileDialogRequest ProfileDialog(FileDialogKind kind);

// The header: the magic text followed by seven zero bytes.
std::array<uint8_t, ProfileHeaderSize> ProfileHeader();

// The header and the block, byte for byte: what a profile file holds.
std::string ProfileBytes(const ConfigBlock& block);

// Whether the bytes begin like a profile: the 32 magic characters and a zero
// byte. The six header bytes after it are not examined.
bool HasProfileMagic(std::string_view bytes);

// Loads a profile from its bytes. Without the magic returns false and leaves
// `out` untouched. Otherwise `out` becomes the reset configuration with the
// file's block bytes over it: a short file leaves the rest at the reset
// values, bytes after the block are ignored.
bool LoadProfileBytes(std::string_view bytes, ConfigBlock& out);

// Loads a profile file as LoadProfileBytes does. Only a regular file is a
// profile (a pipe or a device would block the read or never end). On failure
// `problem` holds the message ("Unable to open file..." or "<full path> is
// not a valid profile.") with the path and the reason as its detail, and
// `out` is untouched. `fileSize`, when given, receives the file's length.
bool LoadProfileFile(const std::string& path, ConfigBlock& out, FileProblem& problem,
                     size_t* fileSize = nullptr);
// The same with the message and its detail as one text.
bool LoadProfileFile(const std::string& path, ConfigBlock& out, std::string& error);

// The names of the sections a profile of `fileSize` bytes does not hold
// whole: they keep (at least partly) their reset values. Empty for a whole
// profile.
std::vector<std::string> SectionsFilledWithDefaults(size_t fileSize);
// What to tell the user about a profile of `fileSize` bytes that is shorter
// than a whole one; nothing for a whole profile.
std::optional<FileProblem> ShortProfileNote(const std::string& path, size_t fileSize);

// Writes the header and the block to a new file beside `path`, flushes it to
// the disk and renames it over `path`, so a save that fails part-way leaves
// any earlier file intact (see ReplacementFile for links, modes and folders
// that take no new file). On failure `problem` holds "Unable to open file..."
// with the path and the system's reason.
bool SaveProfileFile(const std::string& path, const ConfigBlock& block, FileProblem& problem);
bool SaveProfileFile(const std::string& path, const ConfigBlock& block, std::string& error);

// File menu operations. Each returns 1 when it did its work, 0 when the user
// cancelled or it failed (the failure has been shown).
//
// Open Profile: asks for a file and loads it as OpenProfileFile does.
int OpenProfile(CAdapter& a);
// Loads a profile into the adapter: the seven pages with records (all but
// Diagnostic) become valid and are refilled; without an identified
// modem the adapter enters offline editing (LS_FILE). A short file loads and
// is then named with the sections filled with defaults. The Connection page
// is made active afterwards, also after a failure.
int OpenProfileFile(CAdapter& a, const std::string& path);
// The adapter's side of a profile that was loaded: the block replaces the
// configuration, the seven pages with records become valid and are
// refilled, and without an identified modem offline editing starts.
void ApplyProfileBlock(CAdapter& a, const ConfigBlock& block);
// Save Profile: asks for a file name and saves the block; flags and link
// state do not change.
int SaveProfile(CAdapter& a);
// New Profile: closes the link, resets the configuration and starts offline
// editing.
void NewProfile(CAdapter& a);
// Close Profile: leaves offline editing; the records are kept.
void CloseProfile(CAdapter& a);

}  // namespace kelvane
