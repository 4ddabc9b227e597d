#include "ui/window_parts.h"

#include "config/adapter.h"

namespace kelvane {

std::vector<int> WantedPages(int linkState, int modelType) {
  if (!(linkState & (LS_IDENTIFIED | LS_FILE))) return {};
  const bool file = linkState & LS_FILE;
  std::vector<int> pages = {PG_BASIC, PG_SERIAL, PG_DIAL, PG_CALLERID, PG_REMOTE};
  if (!file) pages.push_back(PG_DIAGNOSTIC);
  pages.push_back(PG_CALLBACK);
  if (modelType == MT_RM40_485 || file) pages.push_back(PG_IO);
  return pages;
}

}  // namespace kelvane
