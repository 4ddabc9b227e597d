#include "pages/page_registry.h"

#include "app/prop_sheet.h"
#include "config/page_words.h"
#include "pages/tab_basic.h"
#include "pages/tab_callback.h"
#include "pages/tab_caller_id.h"
#include "pages/tab_diagnostic.h"
#include "pages/tab_dial_opt.h"
#include "pages/tab_io.h"
#include "pages/tab_remote_conf.h"
#include "pages/tab_serial.h"

namespace kelvane {

namespace {

// The tab titles are the core's, so that the pages' words name the same tabs.
QString Title(int page) { return QString::fromStdString(PageTitle(page)); }

}  // namespace

void RegisterConfigPages(CPropSheet& sheet, QtUserInterface& ui) {
  // One line per page: sheet.RegisterPage(PG_..., title, factory).
  sheet.RegisterPage(PG_BASIC, Title(PG_BASIC), [&ui](QWidget* p) { return new CTabBasic(ui, p); });
  sheet.RegisterPage(PG_SERIAL, Title(PG_SERIAL), [&ui](QWidget* p) { return new CTabSerial(ui, p); });
  sheet.RegisterPage(PG_DIAL, Title(PG_DIAL), [&ui](QWidget* p) { return new CTabDialOpt(ui, p); });
  sheet.RegisterPage(PG_CALLERID, Title(PG_CALLERID), [&ui](QWidget* p) { return new CTabCallerID(ui, p); });
  sheet.RegisterPage(PG_REMOTE, Title(PG_REMOTE), [&ui](QWidget* p) { return new CTabRemoteConf(ui, p); });
  sheet.RegisterPage(PG_DIAGNOSTIC, Title(PG_DIAGNOSTIC), [&ui](QWidget* p) { return new CTabDiagnostic(ui, p); });
  sheet.RegisterPage(PG_CALLBACK, Title(PG_CALLBACK), [&ui](QWidget* p) { return new CTabCallback(ui, p); });
  sheet.RegisterPage(PG_IO, Title(PG_IO), [&ui](QWidget* p) { return new CTabIO(ui, p); });
}

}  // namespace kelvane
