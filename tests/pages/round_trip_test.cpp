// The whole way of a setting, as a technician goes it: connect to the
// simulated modem (which reads every page), change a value on each page,
// "Write" of All pages, disconnect, connect again, and every page shows the
// changed value.
//
// A page joins the round trip with one entry in PageEdits() below: the page
// index, a change made through the page's own controls, and a check of what
// the page shows after the reconnect.

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include "app/main_dlg.h"
#include "app/prop_sheet.h"
#include "ui/status_panel.h"
#include "config/profile.h"
#include "connection/ui/tab_connection.h"
#include "controls/image_button.h"
#include "pages/tab_basic.h"
#include "pages/tab_callback.h"
#include "pages/tab_caller_id.h"
#include "pages/tab_dial_opt.h"
#include "pages/tab_serial.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::WindowRig;

namespace {

struct PageEdit {
  int page;
  std::function<void(QWidget* page)> change;
  std::function<bool(QWidget* page)> shown;
};

std::vector<PageEdit> PageEdits() {
  return {
      {PG_BASIC,
       [](QWidget* p) { static_cast<CTabBasic*>(p)->RegisterEdit(0)->setText("5"); },
       [](QWidget* p) { return static_cast<CTabBasic*>(p)->RegisterEdit(0)->text() == "5"; }},
      {PG_BASIC,
       [](QWidget* p) { static_cast<CTabBasic*>(p)->LineQualityCombo()->setCurrentIndex(1); },
       [](QWidget* p) { return static_cast<CTabBasic*>(p)->LineQualityCombo()->currentIndex() == 1; }},
      {PG_SERIAL,
       [](QWidget* p) { static_cast<CTabSerial*>(p)->FlowCombo()->setCurrentIndex(1); },
       [](QWidget* p) { return static_cast<CTabSerial*>(p)->FlowCombo()->currentText().startsWith("3 -"); }},
      {PG_SERIAL,
       [](QWidget* p) { static_cast<CTabSerial*>(p)->ReducedCombo()->setCurrentIndex(2); },
       [](QWidget* p) { return static_cast<CTabSerial*>(p)->ReducedCombo()->currentIndex() == 2; }},
      {PG_DIAL,
       [](QWidget* p) { static_cast<CTabDialOpt*>(p)->NumberEdit(2)->setText("0301234"); },
       [](QWidget* p) { return static_cast<CTabDialOpt*>(p)->NumberEdit(2)->text() == "0301234"; }},
      {PG_DIAL,
       [](QWidget* p) { static_cast<CTabDialOpt*>(p)->BackupRetriesEdit()->setText("2"); },
       [](QWidget* p) { return static_cast<CTabDialOpt*>(p)->BackupRetriesEdit()->text() == "2"; }},
      {PG_CALLERID,
       // The mode is sent only with a format other than "0 - Disable CID".
       [](QWidget* p) {
         static_cast<CTabCallerID*>(p)->FormatCombo()->setCurrentIndex(1);
         static_cast<CTabCallerID*>(p)->ModeCombo()->setCurrentIndex(2);
       },
       [](QWidget* p) {
         return static_cast<CTabCallerID*>(p)->FormatCombo()->currentIndex() == 1 &&
                static_cast<CTabCallerID*>(p)->ModeCombo()->currentIndex() == 2;
       }},
      {PG_CALLERID,
       [](QWidget* p) { static_cast<CTabCallerID*>(p)->Entry(4)->setText("+4612"); },
       [](QWidget* p) { return static_cast<CTabCallerID*>(p)->Entry(4)->text() == "+4612"; }},
      {PG_CALLBACK,
       [](QWidget* p) { static_cast<CTabCallback*>(p)->DelayEdit()->setText("17"); },
       [](QWidget* p) { return static_cast<CTabCallback*>(p)->DelayEdit()->text() == "17"; }},
      {PG_CALLBACK,
       [](QWidget* p) {
         static_cast<CTabCallback*>(p)->NumberEdit(2)->setText("555");
         static_cast<CTabCallback*>(p)->PasswordEdit(2)->setText("abcdef");
       },
       [](QWidget* p) {
         return static_cast<CTabCallback*>(p)->NumberEdit(2)->text() == "555" &&
                static_cast<CTabCallback*>(p)->PasswordEdit(2)->text() == "abcdef";
       }},
  };
}

}  // namespace

class RoundTripTest : public QObject {
  Q_OBJECT

 private:
  struct App : WindowRig {
    App() : WindowRig({{"Settings/AutoLoad", 1}}) {}
    void Connect() { ConnectTo(QStringLiteral("sim:3")); }
    QWidget* Show(int pageIndex) {
      QWidget* page = window->Sheet().Page(pageIndex);
      if (page) window->Sheet().setCurrentWidget(page);
      return page;
    }
  };

 private slots:
  void EveryPageKeepsItsChangeThroughWriteAllAndReconnect() {
    App app;
    app.Connect();
    QVERIFY(app.a.LinkState & LS_IDENTIFIED);

    for (const PageEdit& e : PageEdits()) {
      QWidget* page = app.Show(e.page);
      QVERIFY2(page, "page missing from the sheet");
      QVERIFY2(!e.shown(page), "the modem already holds the value the test sets");
      e.change(page);
      QCOMPARE(int(app.a.Page(e.page).changed), 1);
    }
    // "Write" of All pages, on the page shown last.
    app.ui.answers = {MsgAnswer::Yes};
    auto* last = qobject_cast<CConfigPage*>(app.window->Sheet().currentWidget());
    QVERIFY(last);
    last->OnWriteAll();
    for (const PageEdit& e : PageEdits()) QCOMPARE(int(app.a.Page(e.page).changed), 0);
    QVERIFY(app.window->StatusPanel().Markers().trimmed().isEmpty());

    app.window->ConnectionPage().Disconnect();
    QVERIFY(!(app.a.LinkState & LS_IDENTIFIED));
    QCOMPARE(app.window->Sheet().count(), 1);
    app.a.ResetConfiguration();
    app.Connect();
    for (const PageEdit& e : PageEdits()) {
      QWidget* page = app.Show(e.page);
      QVERIFY(page);
      QVERIFY2(e.shown(page), qPrintable(app.window->Sheet().tabText(app.window->Sheet().indexOf(page))));
      QCOMPARE(int(app.a.Page(e.page).changed), 0);
    }
    // The modem took every command: no message but the question before the write.
    QCOMPARE(app.ui.BoxTexts(), std::vector<std::string>{"Write current profile to adapter?"});
  }

  void AProfileIsEditedOfflineAndSaved() {
    App app;
    QTemporaryDir dir;
    const std::string path = dir.filePath("edited.dat").toStdString();

    app.window->OnCommand(ID_NEW_PROFILE);
    QVERIFY(app.a.LinkState & LS_FILE);
    auto* basic = qobject_cast<CTabBasic*>(app.Show(PG_BASIC));
    QVERIFY(basic);
    // Offline: the reset values, nothing to read or write.
    QCOMPARE(basic->RegisterEdit(0)->text(), QString("2"));
    QVERIFY(!basic->ReadButton()->isEnabled());
    QVERIFY(!basic->WriteAllButton()->isEnabled());
    basic->RegisterEdit(0)->setText("9");
    QCOMPARE(int(app.a.Page(PG_BASIC).changed), 1);
    app.ui.fileAnswers = {path};
    app.window->OnCommand(ID_SAVE_PROFILE);

    ConfigBlock saved;
    std::string error;
    QVERIFY(LoadProfileFile(path, saved, error));
    QCOMPARE(saved.basic.S0, 9);

    // Opened again over other values: the page shows the file once it is shown.
    app.a.Config.basic.S0 = 4;
    app.ui.fileAnswers = {path};
    app.window->OnCommand(ID_OPEN_PROFILE);
    QCOMPARE(app.window->Sheet().currentIndex(), 0);
    basic = qobject_cast<CTabBasic*>(app.Show(PG_BASIC));
    QCOMPARE(basic->RegisterEdit(0)->text(), QString("9"));
    QCOMPARE(int(app.a.Page(PG_BASIC).changed), 0);
    QVERIFY(!app.window->StatusPanel().Text().contains("Basic"));
  }
};

QTEST_MAIN(RoundTripTest)
#include "round_trip_test.moc"
