#pragma once
// Renders the main window and each dialog to PNG files, for the manual and
// for review. Runs without a display (offscreen platform), on its own adapter
// and settings, with the simulated modem of type 3 connected.

#include <QString>

#include <functional>

class QWidget;

namespace kelvane {

// Called with each window or dialog as it is shot, under the image's name
// (a test walks them all this way).
using ShotVisitor = std::function<void(QWidget& shown, const QString& name)>;

// Writes the images into `dir` (created when missing). Returns the process
// exit code: 0 when every image was written.
int RenderScreenshots(const QString& dir, const ShotVisitor& visit = {});

}  // namespace kelvane
