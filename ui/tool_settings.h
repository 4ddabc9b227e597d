#pragma once
// The program's version text and the tool options kept between runs.

#include <QString>

#include "config/adapter.h"
#include "config/version.h"

class QSettings;

namespace kelvane {

inline constexpr const char* kProductName = "Dalmarin Kelvane";
inline constexpr const char* kArticleNumber = "6310.2774";

// "Dalmarin Kelvane 6310.2774 2.09 (<build date> <build time>)".
QString VersionString();

// The per-user settings store: organisation "Dalmarin", application "kelvane".
// The options live in its group "Settings".
QSettings* OpenUserSettings();

// Reads the thirteen stored options into `options`, each falling back to its
// default when missing or not a number; values used as list indices or as a
// delay are brought into their range. HexInput is set to 0.
void LoadToolOptions(QSettings& settings, ToolOptions& options);
// Writes the thirteen stored options.
void SaveToolOptions(QSettings& settings, const ToolOptions& options);

}  // namespace kelvane
