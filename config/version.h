#pragma once
// The program's version, shown by every program's --version and the About box.

namespace kelvane {

inline constexpr const char* kVersion = "2.09";

}  // namespace kelvane
