#pragma once
// The program's bitmaps, shipped as Qt resources under ":/icons/". The pages
// refer to them by their resource numbers.

#include <QString>

namespace kelvane {

// Bitmap resource numbers.
enum BitmapId : int {
  IDI_KELVANE = 105,           // program icon
  IDB_AUTOCONNECT = 107,
  IDB_DISCONNECT = 108,
  IDB_CONNECT = 109,
  IDB_DIP_OFF = 142,
  IDB_DIP_ON = 143,
  IDB_DIP_UNKNOWN = 145,
  IDB_OPEN = 146,
  IDB_READ = 147,
  IDB_REMOTE = 148,
  IDB_WRITE_PAGE = 150,
  IDB_WRITE_ALL = 151,
};

// Registers the icon resources. Linking a static library drops resources that
// nothing references, so this must run once before the first icon is loaded;
// CImageButton::SetBitmap calls it itself. Safe to call more than once.
void InitKelvaneResources();

// ":/icons/<name>.png" for a known resource number, an empty string otherwise.
QString BitmapResourcePath(int id);

}  // namespace kelvane
