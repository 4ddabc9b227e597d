// The change markers of the status panel: which pages differ from what was
// last read, loaded or written.

#include "config/adapter.h"

namespace kelvane {

std::string CAdapter::ChangeMarkerText() const {
  struct Marker {
    int page;
    const char* text;
  };
  // The Remote configuration and Diagnostic pages have no marker.
  static constexpr Marker kMarkers[] = {
      {PG_BASIC, " [Basic Changed] "},         {PG_SERIAL, " [Serial Changed] "},
      {PG_DIAL, " [Dial Option Changed] "},    {PG_CALLERID, " [CallerID Changed] "},
      {PG_CALLBACK, " [Callback Changed] "},   {PG_IO, " [IO Changed] "},
  };
  std::string text;
  for (const Marker& m : kMarkers) {
    if (pages[static_cast<size_t>(m.page)].changed) text += m.text;
  }
  return text;
}

void CAdapter::UpdateChangeMarkers() { Ui().SetStatusText(ChangeMarkerText()); }

}  // namespace kelvane
