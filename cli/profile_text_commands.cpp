// kelvane-cli import: the JSON of "show --json" back into a profile.

#include <cstdio>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "config/profile.h"
#include "config/profile_json.h"

namespace kelvane::cli {

namespace {

// A profile's JSON is about 12 KB; anything far larger is not one.
constexpr std::streamsize kLongestJson = 1 << 20;

}  // namespace

int ImportCommand(Session& s) {
  if (s.options.positional.size() != 1 || s.options.output.empty()) {
    std::fprintf(stderr, "usage: kelvane-cli import FILE.json -o FILE.dat\n");
    return EXIT_USAGE;
  }
  const std::string& source = s.options.positional[0];
  std::ifstream in(source, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "kelvane-cli import: cannot open %s\n", source.c_str());
    return EXIT_FAILED;
  }
  std::string text(static_cast<size_t>(kLongestJson) + 1, '\0');
  in.read(text.data(), kLongestJson + 1);
  text.resize(static_cast<size_t>(in.gcount()));
  if (in.bad() || static_cast<std::streamsize>(text.size()) > kLongestJson) {
    std::fprintf(stderr, "kelvane-cli import: %s is %s\n", source.c_str(),
                 in.bad() ? "unreadable" : "too large for a profile");
    return EXIT_FAILED;
  }
  // Fields the text leaves out keep the values of a new profile.
  CAdapter fresh;
  ConfigBlock block = fresh.Config;
  std::string error;
  if (!BlockFromJson(text, block, error)) {
    std::fprintf(stderr, "kelvane-cli import: %s: %s\n", source.c_str(), error.c_str());
    return EXIT_FAILED;
  }
  if (!SaveProfileFile(s.options.output, block, error)) {
    std::fprintf(stderr, "kelvane-cli import: %s\n", error.c_str());
    return EXIT_FAILED;
  }
  return EXIT_OK;
}

}  // namespace kelvane::cli
