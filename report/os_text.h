#pragma once
// The operating-system line of the report: the distribution's name and
// version and the kernel release.

#include <string>
#include <string_view>

namespace kelvane {

// The PRETTY_NAME of an os-release file's contents (quotes and backslash
// escapes removed), else NAME and VERSION, else "Linux".
std::string DistributionName(std::string_view osRelease);

// "<distribution>, kernel <release>", e.g. "Debian GNU/Linux 12 (bookworm),
// kernel 6.1.0-18-amd64".
std::string OsDescription(std::string_view distribution, std::string_view kernelRelease);

// The description of the running system (/etc/os-release, else
// /usr/lib/os-release, and uname).
std::string OsDescription();

}  // namespace kelvane
