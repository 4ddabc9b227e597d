#include <QLabel>
#include <QTest>

#include "ui/port_provider.h"
#include "app/prop_sheet.h"
#include "connection/ui/tab_connection.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::TestUi;

class PropSheetTest : public QObject {
  Q_OBJECT

 private:
  struct Sheet {
    CAdapter a;
    TestUi ui{a};
    PortProvider ports;
    CPropSheet sheet{a, new CTabConnection(ui, ports, {"sim:1"})};
    int created = 0;
    Sheet() {
      ui.SetSheet(&sheet);
      const std::pair<int, const char*> pages[] = {
          {PG_BASIC, "Basic"},       {PG_SERIAL, "Serial"},         {PG_DIAL, "Dial Options"},
          {PG_CALLERID, "Caller ID"}, {PG_REMOTE, "Remote"},         {PG_DIAGNOSTIC, "Diagnostic"},
          {PG_CALLBACK, "Callback"},  {PG_IO, "I/O"}};
      for (const auto& [index, title] : pages) {
        sheet.RegisterPage(index, [this, title = title](QWidget* parent) {
          ++created;
          return new QLabel(title, parent);
        });
      }
    }
    QStringList Titles() const {
      QStringList out;
      for (int i = 0; i < sheet.count(); ++i) out << sheet.tabText(i);
      return out;
    }
  };

 private slots:
  void PagesFollowTheModelType() {
    Sheet s;
    QCOMPARE(s.Titles(), QStringList{"Connection"});
    s.a.LinkState = 0x1800;
    s.a.ModelType = 1;
    s.sheet.UpdatePages();
    QCOMPARE(s.Titles(), QStringList({"Connection", "Basic", "Serial", "Dial Options", "Caller ID", "Remote",
                                      "Diagnostic", "Callback"}));
    QCOMPARE(int(s.a.Page(PG_IO).present), 0);
    QCOMPARE(int(s.a.Page(PG_BASIC).present), 1);
    QCOMPARE(int(s.a.Page(PG_BASIC).refreshing), 1);

    // A type 3 modem adds the I/O page at the end; present pages stay.
    s.a.ModelType = 3;
    s.sheet.UpdatePages();
    QCOMPARE(s.Titles().size(), 9);
    QCOMPARE(s.Titles().last(), QString("I/O"));
    QCOMPARE(s.created, 8);

    s.a.LinkState = LS_IDLE;
    s.sheet.UpdatePages();
    QCOMPARE(s.Titles(), QStringList{"Connection"});
    for (int page = 0; page < PG_COUNT; ++page) QCOMPARE(int(s.a.Page(page).present), 0);
  }

  void AProfileHasNoDiagnosticPageButAlwaysIO() {
    Sheet s;
    s.a.LinkState = LS_IDLE | LS_FILE;
    s.a.ModelType = 1;
    s.sheet.UpdatePages();
    QCOMPARE(s.Titles(), QStringList({"Connection", "Basic", "Serial", "Dial Options", "Caller ID", "Remote",
                                      "Callback", "I/O"}));
    // Connecting later brings the Diagnostic page in at its place.
    s.a.LinkState = 0x1800;
    s.sheet.UpdatePages();
    QCOMPARE(s.Titles().indexOf("Diagnostic"), 6);
    QCOMPARE(s.Titles().size(), 9);
  }

  void AnUpdateWhileBusyWaitsForTheOperation() {
    Sheet s;
    s.a.LinkState = 0x1800;
    s.a.ModelType = 2;
    s.a.Busy = true;
    s.a.Ui().UpdatePages();
    QCOMPARE(s.sheet.count(), 1);
    QVERIFY(s.sheet.UpdatePending());
    kelvane::testing::RunEventsFor(150);
    QCOMPARE(s.sheet.count(), 1);  // still busy: tried again later
    QVERIFY(s.sheet.UpdatePending());
    s.a.Busy = false;
    QTRY_COMPARE(s.sheet.count(), 8);
    QVERIFY(!s.sheet.UpdatePending());
  }

  void UnregisteredPagesAreNotOffered() {
    CAdapter a;
    TestUi ui{a};
    PortProvider ports;
    CPropSheet sheet{a, new CTabConnection(ui, ports, {"sim:1"})};
    a.LinkState = 0x1800;
    a.ModelType = 3;
    sheet.UpdatePages();
    QCOMPARE(sheet.count(), 1);
    QCOMPARE(int(a.Page(PG_BASIC).present), 0);
    QCOMPARE(CPropSheet::WantedPages(0x1800, 3).size(), size_t(8));
    QCOMPARE(CPropSheet::WantedPages(LS_PORT_OPEN, 3).size(), size_t(0));
  }
};

QTEST_MAIN(PropSheetTest)
#include "prop_sheet_test.moc"
