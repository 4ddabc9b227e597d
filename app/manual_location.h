#pragma once
// Where the HTML manual lies on disk: under share/doc/kelvane beside the
// program's folder (an installed program, and the build tree, which copies the
// manual there), else in the documentation folder the build was configured
// to install into.

#include <QString>

namespace kelvane {

// The manual's index.html for a program in `programDir`, or empty when there
// is none on disk.
QString FindInstalledManual(const QString& programDir);

}  // namespace kelvane
