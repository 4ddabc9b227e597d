#pragma once
// Renders the main window and each dialog to PNG files, for the manual and
// for review. Runs without a display (offscreen platform), on its own adapter
// and settings, with the simulated modem of type 3 connected.

#include <QString>

namespace kelvane {

// Writes the images into `dir` (created when missing). Returns the process
// exit code: 0 when every image was written.
int RenderScreenshots(const QString& dir);

}  // namespace kelvane
