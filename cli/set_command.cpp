// kelvane-cli set: fields of a profile changed by name, with the limits,
// lists and clipping of the configuration pages; and kelvane-cli fields,
// which lists what set takes.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "config/field_setting.h"
#include "config/profile.h"

namespace kelvane::cli {

namespace {

constexpr const char* kSetUsage = "usage: kelvane-cli set FILE.dat SECTION.FIELD=VALUE ... [SECTION.FIELD --stdin]\n";

}  // namespace

int SetCommand(Session& s) {
  const std::vector<std::string>& args = s.options.positional;
  if (args.size() < 2) {
    std::fprintf(stderr, "kelvane-cli set: no assignment\n%s", kSetUsage);
    return EXIT_USAGE;
  }
  // With --stdin a field named without "=VALUE" takes the next line of
  // standard input, so a password shows neither in ps nor in the history.
  std::vector<std::string> assignments;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string assignment = args[i];
    if (s.options.valuesFromStdin && assignment.find('=') == std::string::npos) {
      std::string value;
      if (!std::getline(std::cin, value)) {
        std::fprintf(stderr, "kelvane-cli set: %s: no line left on standard input\n", assignment.c_str());
        return EXIT_USAGE;
      }
      if (!value.empty() && value.back() == '\r') value.pop_back();
      assignment += "=" + value;
    }
    std::string name, value;
    if (!SplitAssignment(assignment, name, value)) {
      std::fprintf(stderr, "kelvane-cli set: %s: not SECTION.FIELD=VALUE\n%s", args[i].c_str(), kSetUsage);
      return EXIT_USAGE;
    }
    assignments.push_back(std::move(assignment));
  }
  const std::string& path = args[0];
  ConfigBlock block;
  FileProblem problem;
  size_t size = 0;
  if (!LoadProfileFile(path, block, problem, &size)) {
    std::fprintf(stderr, "%s\n", problem.Text().c_str());
    return EXIT_FAILED;
  }
  const ConfigBlock before = block;
  const SettingOutcome outcome = ApplyFieldSettings(block, assignments);
  for (const std::string& error : outcome.errors) std::fprintf(stderr, "kelvane-cli set: %s\n", error.c_str());
  if (!outcome.errors.empty()) return EXIT_FAILED;
  for (const std::string& note : outcome.notes) std::fprintf(stderr, "kelvane-cli set: note: %s\n", note.c_str());
  // A short profile is saved whole: the sections it lacked keep the values
  // of a new profile, as when it is opened and saved in the window.
  if (const auto note = ShortProfileNote(path, size)) std::fprintf(stderr, "%s\n", note->Text().c_str());
  // Nothing changed: the file (and its time) stays as it is.
  if (size == ProfileFileSize && std::memcmp(&before, &block, sizeof block) == 0) return EXIT_OK;
  std::string error;
  if (!SaveProfileFile(path, block, error)) {
    std::fprintf(stderr, "kelvane-cli set: %s\n", error.c_str());
    return EXIT_FAILED;
  }
  return EXIT_OK;
}

int FieldsCommand(Session& s) {
  if (!s.options.positional.empty()) {
    std::fprintf(stderr, "usage: kelvane-cli fields\n");
    return EXIT_USAGE;
  }
  for (const SettableField& f : SettableFields()) std::printf("%-36s %s\n", f.name.c_str(), f.values.c_str());
  return EXIT_OK;
}

}  // namespace kelvane::cli
