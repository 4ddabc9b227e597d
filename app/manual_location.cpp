#include "app/manual_location.h"

#include <QDir>
#include <QFileInfo>

namespace kelvane {

QString FindInstalledManual(const QString& programDir) {
  QStringList candidates;
  if (!programDir.isEmpty()) {
    candidates << QDir(programDir).filePath(QStringLiteral("../share/doc/kelvane/index.html"));
  }
#ifdef KELVANE_DOCDIR
  candidates << QStringLiteral(KELVANE_DOCDIR "/index.html");
#endif
  for (const QString& candidate : candidates) {
    const QFileInfo file(candidate);
    if (file.isFile() && file.isReadable()) return QDir::cleanPath(file.absoluteFilePath());
  }
  return {};
}

}  // namespace kelvane
