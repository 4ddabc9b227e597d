// The configuration commands of kelvane-cli.

#include "cli/commands.h"

namespace kelvane::cli {

CommandFunction FindConfigCommand(const std::string&) { return nullptr; }

}  // namespace kelvane::cli
