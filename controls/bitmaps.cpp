#include "controls/bitmaps.h"

#include <QtGlobal>

// Q_INIT_RESOURCE names a function in the global namespace, so it cannot be
// used inside namespace kelvane directly.
static void InitIconResource() { Q_INIT_RESOURCE(icons); }

namespace kelvane {

void InitKelvaneResources() {
  static const bool done = (InitIconResource(), true);
  (void)done;
}

QString BitmapResourcePath(int id) {
  const char* name = nullptr;
  switch (id) {
    case IDI_KELVANE: name = "kelvane"; break;
    case IDB_AUTOCONNECT: name = "autoconnect"; break;
    case IDB_DISCONNECT: name = "disconnect"; break;
    case IDB_CONNECT: name = "connect"; break;
    case IDB_DIP_OFF: name = "dip_off"; break;
    case IDB_DIP_ON: name = "dip_on"; break;
    case IDB_DIP_UNKNOWN: name = "dip_unknown"; break;
    case IDB_OPEN: name = "open"; break;
    case IDB_READ: name = "read"; break;
    case IDB_REMOTE: name = "remote"; break;
    case IDB_WRITE_PAGE: name = "write_page"; break;
    case IDB_WRITE_ALL: name = "write_all"; break;
    default: return QString();
  }
  return QStringLiteral(":/icons/%1.png").arg(QLatin1String(name));
}

}  // namespace kelvane
