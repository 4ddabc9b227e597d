#include "app/page_registry.h"

#include "app/prop_sheet.h"
#include "pages/tab_basic.h"
#include "pages/tab_callback.h"
#include "pages/tab_caller_id.h"
#include "pages/tab_diagnostic.h"
#include "pages/tab_dial_opt.h"
#include "pages/tab_io.h"
#include "pages/tab_remote_conf.h"
#include "pages/tab_serial.h"

namespace kelvane {

void RegisterConfigPages(CPropSheet& sheet, QtUserInterface& ui) {
  // One line per page: sheet.RegisterPage(PG_..., factory).
  sheet.RegisterPage(PG_BASIC, [&ui](QWidget* p) { return new CTabBasic(ui, p); });
  sheet.RegisterPage(PG_SERIAL, [&ui](QWidget* p) { return new CTabSerial(ui, p); });
  sheet.RegisterPage(PG_DIAL, [&ui](QWidget* p) { return new CTabDialOpt(ui, p); });
  sheet.RegisterPage(PG_CALLERID, [&ui](QWidget* p) { return new CTabCallerID(ui, p); });
  sheet.RegisterPage(PG_REMOTE, [&ui](QWidget* p) { return new CTabRemoteConf(ui, p); });
  sheet.RegisterPage(PG_DIAGNOSTIC, [&ui](QWidget* p) { return new CTabDiagnostic(ui, p); });
  sheet.RegisterPage(PG_CALLBACK, [&ui](QWidget* p) { return new CTabCallback(ui, p); });
  sheet.RegisterPage(PG_IO, [&ui](QWidget* p) { return new CTabIO(ui, p); });
}

}  // namespace kelvane
