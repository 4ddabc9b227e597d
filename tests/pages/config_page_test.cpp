// The protocol every configuration page follows, on a small page of three
// controls over the Basic record.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include "app/prop_sheet.h"
#include "ui/status_panel.h"
#include "ui/port_provider.h"
#include "connection/ui/tab_connection.h"
#include "config/field_table.h"
#include "controls/image_button.h"
#include "page_test_rig.h"
#include "pages/config_page.h"
#include "app/page_registry.h"

using namespace kelvane;
using kelvane::testing::PageRig;

namespace {

class ProbePage : public CConfigPage {
 public:
  explicit ProbePage(QtUserInterface& ui, QWidget* parent = nullptr)
      : CConfigPage(ui, PG_BASIC, parent) {
    rings = new QLineEdit(this);
    breaks = new QComboBox(this);
    fast = new QCheckBox(QStringLiteral("Fast disconnect"), this);
    auto* column = new QVBoxLayout(this);
    for (QWidget* w : std::initializer_list<QWidget*>{rings, breaks, fast}) column->addWidget(w);
    column->addWidget(CreateButtonGroups());
    Bind(rings, "BasicSettings.S0");
    Bind(breaks, "BasicSettings.BreakControl");
    AddValueControl(fast);
    Watch(fast);
    SetTip(rings, QStringLiteral("Rings\n\rbefore answer"));
  }

  void LoadControls() override {
    ++loads;
    // Each control's change notification fires while the others still show
    // old values: the refill must not store them.
    LoadBound();
    fast->setChecked(a_.Config.basic.FastDisconnect != 0);
  }
  void StoreControls() override {
    StoreBound();
    a_.Config.basic.FastDisconnect = fast->isChecked() ? 1 : 0;
  }

  using CConfigPage::RunModemCommand;
  QLineEdit* rings;
  QComboBox* breaks;
  QCheckBox* fast;
  int loads = 0;
};

// A page without controls over the Serial record.
class BarePage : public CConfigPage {
 public:
  BarePage(QtUserInterface& ui, QWidget* parent)
      : CConfigPage(ui, PG_SERIAL, parent) {}
  void LoadControls() override {}
  void StoreControls() override {}
};

}  // namespace

class ConfigPageTest : public QObject {
  Q_OBJECT

 private slots:
  void EditingAndEditingBackTurnsTheMarkerOnAndOff_data() {
    QTest::addColumn<int>("control");
    QTest::newRow("edit") << 0;
    QTest::newRow("combo") << 1;
    QTest::newRow("check box") << 2;
  }
  void EditingAndEditingBackTurnsTheMarkerOnAndOff() {
    QFETCH(int, control);
    PageRig rig;
    rig.Offline();
    ProbePage page(rig.ui);
    rig.a.Page(PG_BASIC).reloadPending = 1;
    page.OnSetActive();
    QCOMPARE(int(rig.a.Page(PG_BASIC).changed), 0);

    const int breaks = page.breaks->currentIndex();
    auto change = [&](bool away) {
      switch (control) {
        case 0: page.rings->setText(away ? "7" : "2"); break;
        case 1: page.breaks->setCurrentIndex(away ? 1 : breaks); break;
        default: page.fast->setChecked(away); break;
      }
    };
    change(true);
    QCOMPARE(int(rig.a.Page(PG_BASIC).changed), 1);
    QVERIFY(rig.status.Text().contains("[Basic Changed]"));
    change(false);
    QCOMPARE(int(rig.a.Page(PG_BASIC).changed), 0);
    QVERIFY(!rig.status.Text().contains("[Basic Changed]"));
  }

  void SyncStoresIntoTheRecordAndKeepsUnmatchedComboValues() {
    PageRig rig;
    rig.Offline();
    ProbePage page(rig.ui);
    // A value no item matches: the combo shows nothing...
    rig.a.Config.basic.BreakControl = 9;
    rig.a.Page(PG_BASIC).reloadPending = 1;
    page.OnSetActive();
    QCOMPARE(page.breaks->currentIndex(), -1);
    // ...and an edit elsewhere does not write a value the user never saw.
    page.rings->setText("300");
    QCOMPARE(rig.a.Config.basic.S0, 255);  // clipped at its maximum
    QCOMPARE(rig.a.Config.basic.BreakControl, 9);
    page.rings->setText("12 rings");
    QCOMPARE(rig.a.Config.basic.S0, 12);
    page.rings->setText("none");
    QCOMPARE(rig.a.Config.basic.S0, 0);
  }

  void ReloadPendingRefillsOfflineWithTheButtonsDisabled() {
    PageRig rig;
    rig.Offline();
    ProbePage page(rig.ui);
    BasicSettings& b = rig.a.Config.basic;
    b.S0 = 9;
    b.BreakControl = 2;
    b.FastDisconnect = 1;
    PageState& s = rig.a.Page(PG_BASIC);
    s.refreshing = 1;
    s.reloadPending = 1;
    s.changed = 1;
    page.OnSetActive();

    QCOMPARE(page.loads, 1);
    QCOMPARE(page.rings->text(), QString("9"));
    QCOMPARE(page.breaks->currentText(), QString("2 -"));
    QVERIFY(page.fast->isChecked());
    // The refill stored nothing half-filled into the record.
    QCOMPARE(b.S0, 9);
    QCOMPARE(b.BreakControl, 2);
    QCOMPARE(int(s.changed), 0);
    QCOMPARE(int(s.refreshing), 0);
    QCOMPARE(int(s.reloadPending), 0);
    QVERIFY(!page.ReadButton()->isEnabled());
    QVERIFY(!page.WriteButton()->isEnabled());
    QVERIFY(!page.WriteAllButton()->isEnabled());
    QVERIFY(page.rings->isEnabled());
    QVERIFY(rig.ui.boxes.empty());
  }

  void ActivationReadsTheSectionOnceWhenRefreshing() {
    PageRig rig;
    rig.Modem().State().s[0] = 4;
    rig.Identify();
    ProbePage page(rig.ui);
    page.OnSetActive();
    QVERIFY(rig.Received("AT&V"));
    QCOMPARE(page.rings->text(), QString("4"));
    QCOMPARE(int(rig.a.Page(PG_BASIC).valid), 1);
    QCOMPARE(int(rig.a.Page(PG_BASIC).refreshing), 0);
    QVERIFY(page.ReadButton()->isEnabled());

    // Shown again without a reason to refresh: no traffic.
    const std::size_t before = rig.ReceivedCount();
    page.OnSetActive();
    QCOMPARE(rig.ReceivedCount(), before);
    // Refreshing with a valid record refills without reading.
    rig.a.Config.basic.S0 = 6;
    rig.a.Page(PG_BASIC).refreshing = 1;
    page.OnSetActive();
    QCOMPARE(rig.ReceivedCount(), before);
    QCOMPARE(page.rings->text(), QString("6"));
  }

  void FailedReadLeavesTheValueControlsDisabled() {
    PageRig rig;
    rig.Identify();
    rig.Modem().Options().errorFor = {"&V"};
    ProbePage page(rig.ui);
    rig.a.Page(PG_BASIC).refreshing = 0;
    page.OnRead();
    for (QWidget* w : std::initializer_list<QWidget*>{page.rings, page.breaks, page.fast}) {
      QVERIFY(!w->isEnabled());
    }
    QCOMPARE(int(rig.a.Page(PG_BASIC).refreshing), 0);
    // Disabled controls stay so when the page is shown again...
    page.OnSetActive();
    QVERIFY(!page.rings->isEnabled());
    // ...until a read succeeds.
    rig.Modem().Options().errorFor.clear();
    rig.Modem().State().s[0] = 5;
    page.OnRead();
    QVERIFY(page.rings->isEnabled());
    QVERIFY(page.breaks->isEnabled());
    QCOMPARE(page.rings->text(), QString("5"));
    QCOMPARE(int(rig.a.Page(PG_BASIC).changed), 0);
  }

  void WriteOfANeverReadPageListsItAndKeepsItsMarker() {
    PageRig rig;
    rig.Identify();
    ProbePage page(rig.ui);
    PageState& s = rig.a.Page(PG_BASIC);
    s.refreshing = 0;
    page.rings->setText("8");
    QCOMPARE(int(s.changed), 1);
    page.OnWrite();
    QVERIFY(!rig.Received("ATS0=8"));
    QVERIFY(!rig.Received("AT&W"));
    bool listed = false;
    for (const std::string& text : rig.ui.BoxTexts()) {
      listed |= text.find("not saved") != std::string::npos && text.find("Basic") != std::string::npos;
    }
    QVERIFY(listed);
    // Nothing was stored: the edit still shows as changed.
    QCOMPARE(int(s.changed), 1);
    QVERIFY(rig.status.Text().contains("[Basic Changed]"));
  }

  void WriteSendsTheEditedValueAndStoresIt() {
    PageRig rig;
    rig.Identify();
    ProbePage page(rig.ui);
    page.OnSetActive();
    page.rings->setText("3");
    page.OnWrite();
    QVERIFY(rig.Received("ATS0=3"));
    QVERIFY(rig.Received("AT&W"));
    QCOMPARE(int(rig.a.Page(PG_BASIC).changed), 0);
    QCOMPARE(rig.Modem().State().s[0], 3);
  }

  void WriteAllMarksThePagesItStoredUnchanged_data() {
    QTest::addColumn<bool>("yes");  // to "Write current profile to adapter?"
    QTest::addColumn<QString>("refused");  // a command the modem answers ERROR
    QTest::addColumn<bool>("stored");
    QTest::newRow("written and stored") << true << "" << true;
    QTest::newRow("declined") << false << "" << false;
    QTest::newRow("halted") << true << "S0=" << false;
    QTest::newRow("not stored") << true << "&W" << false;
  }
  void WriteAllMarksThePagesItStoredUnchanged() {
    QFETCH(bool, yes);
    QFETCH(QString, refused);
    QFETCH(bool, stored);
    PageRig rig;
    rig.Identify();
    PortProvider ports;
    CPropSheet sheet(rig.a, new CTabConnection(rig.ui, ports, {}));
    rig.ui.SetSheet(&sheet);
    sheet.RegisterPage(PG_BASIC, [&](QWidget* parent) { return new ProbePage(rig.ui, parent); });
    sheet.RegisterPage(PG_SERIAL, [&](QWidget* parent) { return new BarePage(rig.ui, parent); });
    sheet.UpdatePages();
    auto* page = dynamic_cast<ProbePage*>(sheet.Page(PG_BASIC));
    QVERIFY(page);
    // Shown through the sheet: the activation reads the section.
    sheet.setCurrentWidget(page);
    QVERIFY(rig.Received("AT&V"));
    QCOMPARE(int(rig.a.Page(PG_SERIAL).valid), 0);
    page->rings->setText("6");
    // The Serial page was edited before (its record differs from its
    // snapshot), but it was never read: the write skips it.
    rig.a.Config.serial.DteRate = 9600;
    rig.a.Page(PG_SERIAL).changed = 1;
    rig.a.Page(PG_DIAL).changed = 1;  // no page of it in the sheet: left alone
    if (!refused.isEmpty()) rig.Modem().Options().errorFor = {refused.toStdString()};
    rig.ui.answers = {yes ? MsgAnswer::Yes : MsgAnswer::No};
    page->OnWriteAll();
    QCOMPARE(rig.Received("ATS0=6"), yes);
    QCOMPARE(int(rig.a.Page(PG_BASIC).changed), stored ? 0 : 1);
    QCOMPARE(int(rig.a.Page(PG_SERIAL).changed), 1);
    QCOMPARE(int(rig.a.Page(PG_DIAL).changed), 1);
    QCOMPARE(rig.status.Text().contains("[Basic Changed]"), !stored);
    // The menu's "Write Profile to modem" marks the sheet by the same rule.
    sheet.MarkPagesUnchanged(SEC_SERIAL);
    QCOMPARE(int(rig.a.Page(PG_SERIAL).changed), 0);
    QCOMPARE(int(rig.a.Page(PG_BASIC).changed), stored ? 0 : 1);
    rig.ui.SetSheet(nullptr);
  }

  void SheetActivatesConfigurationPagesAndLeavesThemOnTheWayOut() {
    PageRig rig;
    rig.Offline();
    PortProvider ports;
    CPropSheet sheet(rig.a, new CTabConnection(rig.ui, ports, {}));
    rig.ui.SetSheet(&sheet);
    sheet.RegisterPage(PG_BASIC, [&](QWidget* parent) { return new ProbePage(rig.ui, parent); });
    sheet.RegisterPage(PG_SERIAL, [&](QWidget* parent) { return new BarePage(rig.ui, parent); });
    sheet.UpdatePages();
    rig.a.Config.basic.S0 = 11;
    rig.a.Page(PG_BASIC).reloadPending = 1;
    auto* page = dynamic_cast<ProbePage*>(sheet.Page(PG_BASIC));
    sheet.setCurrentWidget(page);
    QCOMPARE(page->rings->text(), QString("11"));
    QCOMPARE(int(rig.a.Page(PG_BASIC).reloadPending), 0);

    // Re-activation of the current page (options changed) refreshes it.
    rig.a.Options.Tooltip = 0;
    sheet.ReactivateCurrentPage();
    QCOMPARE(page->ReadButton()->toolTip(), QString());
    rig.a.Options.Tooltip = 1;
    sheet.ReactivateCurrentPage();
    QCOMPARE(page->ReadButton()->toolTip(), QString("Reads configuration from adapter."));
    QCOMPARE(page->WriteButton()->toolTip(), QString("Writes current configuration to adapter."));
    QCOMPARE(page->rings->toolTip(), QString("Rings\nbefore answer"));

    // Leaving offline editing removes the pages; the Connection page is
    // current before the others go, so none of them is activated.
    const int loads = page->loads;
    rig.a.LinkState = LS_IDLE;
    sheet.UpdatePages();
    QCOMPARE(sheet.count(), 1);
    QCOMPARE(page->loads, loads);
    rig.ui.SetSheet(nullptr);
  }

  void ButtonGroupsAreCaptionedWithThePageName() {
    PageRig rig;
    ProbePage page(rig.ui);
    QStringList captions;
    for (auto* box : page.findChildren<QGroupBox*>()) captions << box->title();
    captions.sort();
    QCOMPARE(captions, QStringList({"All pages", "Basic page"}));
    QVERIFY(page.ReadButton()->HasImage());
    QVERIFY(page.WriteButton()->HasImage());
    QVERIFY(page.WriteAllButton()->HasImage());
  }

  // A page that names a field the table lacks stops the program at once (in
  // a child process here), so no control is left silently unbound.
  void AFieldThePageNamesMustBeInTheTable_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("element");
    QTest::addColumn<bool>("known");
    QTest::newRow("a field") << "SerialSettings.DtrControl" << 0 << true;
    QTest::newRow("a typo") << "SerialSettings.DtrContrl" << 0 << false;
    QTest::newRow("no record") << "DtrControl" << 0 << false;
    QTest::newRow("nothing") << "" << 0 << false;
    QTest::newRow("the last element") << "CallbackSettings.CallbackNumbers" << 9 << true;
    QTest::newRow("past the last") << "CallbackSettings.CallbackNumbers" << 10 << false;
  }
  void AFieldThePageNamesMustBeInTheTable() {
    QFETCH(QString, field);
    QFETCH(int, element);
    QFETCH(bool, known);
    const std::string name = field.toStdString();
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      CConfigPage::PageField(name, static_cast<std::size_t>(element));
      ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QCOMPARE(WIFEXITED(status) && WEXITSTATUS(status) == 0, known);
    if (known) {
      const FieldInfo& f = CConfigPage::PageField(name, static_cast<std::size_t>(element));
      QCOMPARE(std::string(f.record) + "." + f.name, name);
    }
  }

  void ModemCommandSwitchesANumericModemAndRestoresIt() {
    PageRig rig;
    rig.Modem().State().verbose = 0;
    rig.Identify();
    ProbePage page(rig.ui);
    std::vector<std::string> seen;
    const bool ok = page.RunModemCommand("Loading...", 3, [&](std::string& failed) {
      std::string cmd = "ATS0=1";
      const int r = rig.a.Transact(cmd, 1, "OK\r\n");
      seen.push_back(std::to_string(r));
      if (r < 1) failed = cmd;
      return r >= 1;
    });
    QVERIFY(ok);
    QCOMPARE(seen, std::vector<std::string>{"1"});
    const auto& lines = rig.Modem().ReceivedLines();
    const auto v1 = std::find(lines.begin(), lines.end(), "ATV1");
    const auto cmd = std::find(lines.begin(), lines.end(), "ATS0=1");
    QVERIFY(v1 != lines.end() && cmd != lines.end() && v1 < cmd);
    QCOMPARE(lines.back(), std::string("ATV0"));
    QCOMPARE(rig.Modem().State().verbose, 0);
    QVERIFY(!rig.a.Busy);
    QVERIFY(rig.ui.boxes.empty());
  }

  void ModemCommandFailuresAreReportedOnce_data() {
    QTest::addColumn<bool>("shuttingDown");
    QTest::addColumn<bool>("refreshingWithAutoLoad");
    QTest::addColumn<bool>("box");
    QTest::newRow("plain") << false << false << true;
    QTest::newRow("shutting down") << true << false << false;
    QTest::newRow("refreshing, AutoLoad 1") << false << true << false;
  }
  void ModemCommandFailuresAreReportedOnce() {
    QFETCH(bool, shuttingDown);
    QFETCH(bool, refreshingWithAutoLoad);
    QFETCH(bool, box);
    PageRig rig;
    rig.Identify();
    ProbePage page(rig.ui);
    rig.a.ShuttingDown = shuttingDown;
    rig.a.Options.AutoLoad = refreshingWithAutoLoad ? 1 : 0;
    rig.a.Page(PG_BASIC).refreshing = refreshingWithAutoLoad ? 1 : 0;
    const bool ok = page.RunModemCommand("Loading...", 1, [](std::string& failed) {
      failed = "AT&F\r\r\nERROR\r\n";
      return false;
    });
    QVERIFY(!ok);
    QVERIFY(!rig.a.Busy);
    QCOMPARE(rig.ui.BoxTexts() == std::vector<std::string>{"Error communicating with adapter."}, box);
    if (!box) QVERIFY(rig.ui.boxes.empty());
  }

  void WriteButtonsStayOffAfterAFailedRead_data() {
    QTest::addColumn<int>("page");
    for (const auto& [index, name] :
         {std::pair{PG_BASIC, "Basic"}, std::pair{PG_SERIAL, "Serial"}, std::pair{PG_DIAL, "Dial Options"},
          std::pair{PG_CALLERID, "Caller ID"}, std::pair{PG_REMOTE, "Remote"}, std::pair{PG_CALLBACK, "Callback"},
          std::pair{PG_IO, "I/O"}}) {
      QTest::newRow(name) << int(index);
    }
  }
  void WriteButtonsStayOffAfterAFailedRead() {
    QFETCH(int, page);
    PageRig rig(3);
    rig.Modem().Options().errorFor = {"&V", "*W", "+"};
    rig.Identify();
    PortProvider ports;
    CPropSheet sheet(rig.a, new CTabConnection(rig.ui, ports, {}));
    rig.ui.SetSheet(&sheet);
    RegisterConfigPages(sheet, rig.ui);
    sheet.UpdatePages();
    auto* shown = qobject_cast<CConfigPage*>(sheet.Page(page));
    QVERIFY(shown);
    // Shown twice: after the failed read, and again with nothing to read.
    for (int round = 0; round < 2; ++round) {
      sheet.setCurrentWidget(shown);
      QVERIFY(!shown->WriteButton()->isEnabled());
      QVERIFY(!shown->WriteAllButton()->isEnabled());
      QVERIFY(shown->ReadButton()->isEnabled());
      sheet.setCurrentWidget(&sheet.ConnectionPage());
    }
    rig.ui.SetSheet(nullptr);
  }

  void ThePageIsOffWhileAModemCommandRuns() {
    PageRig rig;
    rig.Identify();
    ProbePage page(rig.ui);
    page.OnSetActive();
    bool readDuring = true, ringsDuring = true;
    page.RunModemCommand("x", 1, [&](std::string&) {
      readDuring = page.ReadButton()->isEnabled();
      ringsDuring = page.rings->isEnabled();
      return true;
    });
    QVERIFY(!readDuring);
    QVERIFY(!ringsDuring);
    QVERIFY(page.ReadButton()->isEnabled());
    QVERIFY(page.rings->isEnabled());
  }

  void ModemCommandIsRefusedWhileBusyOrWithoutModem() {
    PageRig rig;
    ProbePage page(rig.ui);
    int runs = 0;
    auto action = [&](std::string&) { return ++runs > 0; };
    QVERIFY(!page.RunModemCommand("x", 1, action));  // not identified
    rig.Identify();
    rig.a.Busy = true;
    QVERIFY(!page.RunModemCommand("x", 1, action));
    QVERIFY(rig.a.Busy);
    rig.a.Busy = false;
    QVERIFY(page.RunModemCommand("x", 1, action));
    QCOMPARE(runs, 1);
  }
};

QTEST_MAIN(ConfigPageTest)
#include "config_page_test.moc"
