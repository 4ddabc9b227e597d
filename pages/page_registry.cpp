#include "pages/page_registry.h"

#include "app/prop_sheet.h"

namespace kelvane {

void RegisterConfigPages(CPropSheet& sheet, QtUserInterface& ui) {
  // One line per page: sheet.RegisterPage(PG_..., title, factory).
  (void)sheet;
  (void)ui;
}

}  // namespace kelvane
