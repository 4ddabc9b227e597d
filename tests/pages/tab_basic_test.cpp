// The Basic page and its Modulation dialog: what the controls show for a
// record, what they store back, and loading the factory defaults.

#include <QTest>

#include "config/basic_values.h"
#include "controls/image_button.h"
#include "page_test_rig.h"
#include "pages/modulation_dlg.h"
#include "pages/tab_basic.h"

using namespace kelvane;
using kelvane::testing::PageRig;

namespace {

// An offline page showing the record as it is.
struct OfflineBasic {
  PageRig rig;
  std::unique_ptr<CTabBasic> page;
  explicit OfflineBasic(const std::function<void(BasicSettings&)>& fill = {}) {
    rig.Offline();
    if (fill) fill(rig.a.Config.basic);
    page = std::make_unique<CTabBasic>(rig.ui);
    rig.a.Page(PG_BASIC).reloadPending = 1;
    page->OnSetActive();
  }
  BasicSettings& Record() { return rig.a.Config.basic; }
  int Changed() { return rig.a.Page(PG_BASIC).changed; }
  // Any notification runs the control-to-record step.
  void Touch() { page->SyncFromControls(); }
};

std::vector<std::string> LinesAfter(const SimulatedModem& modem, std::size_t from) {
  const auto& lines = modem.ReceivedLines();
  return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end());
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

class TabBasicTest : public QObject {
  Q_OBJECT

 private slots:
  void CountryCodesShowTheirFirstItem_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("stored");
    QTest::newRow("B8, several countries") << 0xB8 << "B8 - Armenia" << true << 0xB8;
    QTest::newRow("2E, two countries") << 0x2E << "2E - Czech Rep" << true << 0x2E;
    QTest::newRow("00 Japan") << 0x00 << "00 - Japan" << true << 0x00;
    QTest::newRow("not in the list") << 0x12 << "C7 - Universal" << false << 0xC7;
    QTest::newRow("beyond a byte") << 0x1B8 << "C7 - Universal" << false << 0xC7;
  }
  void CountryCodesShowTheirFirstItem() {
    QFETCH(int, code);
    QFETCH(QString, shown);
    QFETCH(bool, enabled);
    QFETCH(int, stored);
    OfflineBasic b([&](BasicSettings& r) { r.CountryCode = code; });
    QCOMPARE(b.page->CountryCombo()->currentText(), shown);
    QCOMPARE(b.page->CountryCombo()->isEnabled(), enabled);
    b.Touch();
    QCOMPARE(b.Record().CountryCode, stored);
    // An unknown code becomes "Universal": the page then counts as changed.
    QCOMPARE(b.Changed(), code == stored ? 0 : 1);
  }

  void PickingACountryStoresItsCode() {
    OfflineBasic b;
    b.page->CountryCombo()->setCurrentText("A5 - Sweden");
    QCOMPARE(b.Record().CountryCode, 0xA5);
    QCOMPARE(b.Changed(), 1);
  }

  void ControlsDisabledByAFailedReadStoreNoUniversalCountry() {
    OfflineBasic b([](BasicSettings& r) { r.CountryCode = 0x04; });
    b.page->SetValueControlsEnabled(false);
    QVERIFY(!b.page->CountryCombo()->isEnabled());
    // Fast Disconnect stays enabled and can still be changed.
    QVERIFY(b.page->FastDisconnectCombo()->isEnabled());
    b.page->FastDisconnectCombo()->setCurrentIndex(1);
    QCOMPARE(b.Record().CountryCode, 0x04);
    QCOMPARE(int(b.Record().FastDisconnect), 1);
  }

  void RegisterEntriesAreClipped_data() {
    QTest::addColumn<int>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("stored");
    QTest::newRow("S7 above 60") << 1 << "99" << "99" << 60;
    QTest::newRow("S0 above 255") << 0 << "300" << "300" << 255;
    QTest::newRow("fourth character refused") << 2 << "1234" << "123" << 123;
    QTest::newRow("letters") << 0 << "abc" << "abc" << 0;
    QTest::newRow("minus sign") << 5 << "-7" << "-7" << 0;
    QTest::newRow("S91 in range") << 5 << "15" << "15" << 15;
    QTest::newRow("digits before letters") << 3 << "2x" << "2x" << 2;
  }
  void RegisterEntriesAreClipped() {
    QFETCH(int, edit);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, stored);
    OfflineBasic b;
    QLineEdit* e = b.page->RegisterEdit(edit);
    e->clear();
    QTest::keyClicks(e, typed);
    QCOMPARE(e->text(), shown);
    BasicSettings& r = b.Record();
    const int32_t fields[] = {r.S0, r.S7, r.S10, r.S25, r.S30, r.S91};
    QCOMPARE(fields[edit], stored);
  }

  void RegistersTheEditCannotHoldAreKeptUntilEdited_data() {
    QTest::addColumn<int>("edit");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("afterBackspace");
    QTest::newRow("S0 of four digits") << 0 << 1000 << "1000" << 100;
    QTest::newRow("S7 beyond its limit") << 1 << 99 << "99" << 9;
    QTest::newRow("negative S10") << 2 << -5 << "-5" << 0;
  }
  void RegistersTheEditCannotHoldAreKeptUntilEdited() {
    QFETCH(int, edit);
    QFETCH(int, value);
    QFETCH(QString, shown);
    QFETCH(int, afterBackspace);
    OfflineBasic b([&](BasicSettings& r) {
      int32_t* fields[] = {&r.S0, &r.S7, &r.S10};
      *fields[edit] = value;
    });
    QLineEdit* e = b.page->RegisterEdit(edit);
    QCOMPARE(e->text(), shown);
    const int32_t* fields[] = {&b.Record().S0, &b.Record().S7, &b.Record().S10};
    b.Touch();
    QCOMPARE(*fields[edit], value);
    QCOMPARE(b.Changed(), 0);
    // Other changes on the page store the other fields, not this one.
    b.page->RegisterEdit(5)->setText("7");
    QCOMPARE(b.Record().S91, 7);
    QCOMPARE(*fields[edit], value);
    // The user's own edit of the field is stored as the page's rules say.
    e->setCursorPosition(int(e->text().size()));
    QTest::keyClick(e, Qt::Key_Backspace);
    QCOMPARE(*fields[edit], afterBackspace);
    QCOMPARE(e->maxLength(), 3);
    QCOMPARE(b.Changed(), 1);
  }

  void CompressionPairsLoadTolerantlyAndStoreTheirPair() {
    OfflineBasic b([](BasicSettings& r) {
      r.ErrorCorrectionN = 3;
      r.CompressionC = 0;
    });
    QCOMPARE(b.page->CompressionCombo()->currentIndex(), 2);
    b.Touch();
    QCOMPARE(b.Record().ErrorCorrectionN, 3);
    QCOMPARE(b.Record().CompressionC, 3);
    b.page->CompressionCombo()->setCurrentIndex(3);
    QCOMPARE(b.Record().ErrorCorrectionN, 4);
    QCOMPARE(b.Record().CompressionC, 2);
    b.page->CompressionCombo()->setCurrentIndex(4);
    QCOMPARE(b.Record().ErrorCorrectionN, 5);
    QCOMPARE(b.Record().CompressionC, 1);
  }

  void ValuesOutsideTheListsAreKept() {
    OfflineBasic b([](BasicSettings& r) {
      r.BreakControl = 9;
      r.LineQuality = -1;
    });
    QCOMPARE(b.page->BreakControlCombo()->currentIndex(), -1);
    QCOMPARE(b.page->LineQualityCombo()->currentIndex(), -1);
    b.page->RegisterEdit(0)->setText("3");
    QCOMPARE(b.Record().BreakControl, 9);
    QCOMPARE(b.Record().LineQuality, -1);
    b.page->BreakControlCombo()->setCurrentIndex(4);
    QCOMPARE(b.Record().BreakControl, 4);
  }

  void AModulationOfThirtyTwoCharactersIsShownWhole() {
    OfflineBasic b([](BasicSettings& r) { std::memcpy(r.Modulation, "V90A,1,33600,33600,57333,57333,9", 32); });
    QCOMPARE(b.page->ModulationEdit()->text(), QString("V90A,1,33600,33600,57333,57333,9"));
    QVERIFY(b.page->ModulationEdit()->isReadOnly());
  }

  void ModulationDialogFillsFromTheRecord_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("carrier");
    QTest::addColumn<QString>("automode");
    QTest::addColumn<QStringList>("rates");  // TX min, TX max, RX min, RX max
    QTest::addColumn<QString>("ok");
    QTest::newRow("no comma") << "V34" << "V34" << "1 - On" << QStringList{"0", "0", "0", "0"}
                              << "V34,1,0,0,0,0";
    QTest::newRow("AUTO") << "AUTO,1,300,33600,300,33600" << "V32B" << "1 - On"
                          << QStringList{"0", "0", "0", "0"} << "V32B,1,0,0,0,0";
    QTest::newRow("AUTOV8") << "AUTOV8,0,2400,31200,4800,33600" << "V34" << "0 - Off"
                            << QStringList{"2400", "31200", "4800", "33600"} << "V34,0,2400,31200,4800,33600";
    QTest::newRow("V32B reads as V32") << "V32B,1,4800,9600,4800,9600" << "V32" << "1 - On"
                                       << QStringList{"4800", "9600", "4800", "9600"} << "V32,1,4800,9600,4800,9600";
    QTest::newRow("V90A") << "V90A,1,2400,33600,2400,57333" << "V90A" << "1 - On"
                          << QStringList{"2400", "33600", "2400", "57333"} << "V90A,1,2400,33600,2400,57333";
  }
  void ModulationDialogFillsFromTheRecord() {
    QFETCH(QString, field);
    QFETCH(QString, carrier);
    QFETCH(QString, automode);
    QFETCH(QStringList, rates);
    QFETCH(QString, ok);
    BasicSettings basic{};
    StoreModulationField(basic.Modulation, field.toLatin1().toStdString());
    CModulationDlg dialog(basic);
    QCOMPARE(dialog.CarrierCombo()->currentText(), carrier);
    QCOMPARE(dialog.AutomodeCombo()->currentText(), automode);
    const QStringList shown = {dialog.TxMinCombo()->currentText(), dialog.TxMaxCombo()->currentText(),
                               dialog.RxMinCombo()->currentText(), dialog.RxMaxCombo()->currentText()};
    QCOMPARE(shown, rates);
    dialog.accept();
    QCOMPARE(QString::fromLatin1(basic.Modulation), ok);
  }

  void ChoosingACarrierStartsOverWithItsRates() {
    BasicSettings basic{};
    std::strcpy(basic.Modulation, "V34,0,2400,33600,2400,33600");
    CModulationDlg dialog(basic);
    dialog.CarrierCombo()->setCurrentText("V90A");
    QCOMPARE(dialog.AutomodeCombo()->currentText(), QString("1 - On"));
    auto items = [](QComboBox* c) {
      QStringList out;
      for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
      return out;
    };
    const QStringList txMin = items(dialog.TxMinCombo());
    QCOMPARE(txMin.size(), 15);
    QCOMPARE(txMin.mid(0, 3), QStringList({"0", "2400", "4800"}));
    QCOMPARE(items(dialog.TxMaxCombo()).mid(0, 3), QStringList({"0", "33600", "31200"}));
    QCOMPARE(items(dialog.RxMinCombo()).last(), QString("57333"));
    QCOMPARE(items(dialog.RxMaxCombo()).mid(0, 3), QStringList({"0", "57333", "56000"}));
    QCOMPARE(items(dialog.RxMaxCombo()).last(), QString("2400"));
    for (QComboBox* c : {dialog.TxMinCombo(), dialog.TxMaxCombo(), dialog.RxMinCombo(), dialog.RxMaxCombo()}) {
      QCOMPARE(c->currentText(), QString("0"));
    }
    // Cancel changes nothing.
    dialog.reject();
    QCOMPARE(QString::fromLatin1(basic.Modulation), QString("V34,0,2400,33600,2400,33600"));
  }

  void EditOnThePageStoresTheDialogsText() {
    OfflineBasic b;
    b.rig.ui.onModal = [](QDialog& d) {
      auto& m = dynamic_cast<CModulationDlg&>(d);
      m.CarrierCombo()->setCurrentText("V22B");
      m.TxMaxCombo()->setCurrentText("2400");
      m.accept();
      return int(QDialog::Accepted);
    };
    b.page->EditButton()->click();
    QCOMPARE(QString::fromLatin1(b.Record().Modulation), QString("V22B,1,0,2400,0,0"));
    QCOMPARE(b.page->ModulationEdit()->text(), QString("V22B,1,0,2400,0,0"));
    QCOMPARE(b.Changed(), 1);
    QVERIFY(b.rig.status.Text().contains("[Basic Changed]"));
  }

  void LoadSendsTheChosenDefaults_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("notSent");
    QTest::newRow("standard") << 0 << false << QStringList{"AT&F", "AT&W"} << QStringList{"AT&F2", "ATV1"};
    QTest::newRow("Dalmarin") << 1 << false << QStringList{"AT&F2"} << QStringList{"AT&F", "AT&W"};
    QTest::newRow("numeric modem") << 1 << true << QStringList{"ATV1", "AT&F2"} << QStringList{"AT&W"};
  }
  void LoadSendsTheChosenDefaults() {
    QFETCH(int, item);
    QFETCH(bool, numeric);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, notSent);
    PageRig rig;
    if (numeric) rig.Modem().State().verbose = 0;
    rig.Modem().State().s[0] = 7;
    rig.Identify();
    CTabBasic page(rig.ui);
    page.OnSetActive();
    QCOMPARE(page.RegisterEdit(0)->text(), QString("7"));
    const std::size_t before = rig.ReceivedCount();
    page.DefaultsCombo()->setCurrentIndex(item);
    rig.ui.answers = {MsgAnswer::Yes};
    page.LoadButton()->click();
    QCOMPARE(rig.ui.BoxTexts(), std::vector<std::string>{"Set factory default parameters?"});
    const std::vector<std::string> lines = LinesAfter(rig.Modem(), before);
    for (const QString& s : sent) QVERIFY2(Contains(lines, s.toStdString()), qPrintable(s));
    for (const QString& s : notSent) QVERIFY2(!Contains(lines, s.toStdString()), qPrintable(s));
    // The page reads its section anew and shows the defaults.
    QVERIFY(Contains(lines, "AT&V"));
    QCOMPARE(page.RegisterEdit(0)->text(), QString::number(rig.Modem().State().s[0]));
    QVERIFY(!rig.a.Busy);
    // Every other page reads its section when next shown.
    QCOMPARE(int(rig.a.Page(PG_SERIAL).refreshing), 1);
    QCOMPARE(int(rig.a.Page(PG_SERIAL).valid), 0);
  }

  void LoadAsksNothingWithoutAModemAndDoesNothingOnNo() {
    OfflineBasic offline;
    offline.page->LoadButton()->click();
    QVERIFY(offline.rig.ui.boxes.empty());

    PageRig rig;
    rig.Identify();
    CTabBasic page(rig.ui);
    const std::size_t before = rig.ReceivedCount();
    page.LoadButton()->click();  // answered No
    QCOMPARE(rig.ui.boxes.size(), std::size_t(1));
    QCOMPARE(rig.ReceivedCount(), before);
  }

  void FailedLoadIsReported() {
    PageRig rig;
    rig.Identify();
    rig.Modem().Options().errorFor = {"&F"};
    CTabBasic page(rig.ui);
    page.OnSetActive();
    rig.ui.answers = {MsgAnswer::Yes};
    page.LoadButton()->click();
    const std::vector<std::string> boxes = rig.ui.BoxTexts();
    QVERIFY(std::find(boxes.begin(), boxes.end(), "Error communicating with adapter.") != boxes.end());
    QVERIFY(!rig.Received("AT&W"));
    QVERIFY(!rig.a.Busy);
  }

  // Item i of Break Control is "i -": loaded by its number and stored as
  // its number, which is what the modem then holds.
  void BreakControlReachesTheModemAsItsItem() {
    PageRig rig;
    rig.Identify();
    CTabBasic page(rig.ui);
    page.OnSetActive();
    for (int item : {0, 3}) {
      page.BreakControlCombo()->setCurrentIndex(item);
      page.OnWrite();
      QCOMPARE(rig.Modem().State().BreakControl(), item);
    }
    rig.Modem().State().SetBreakControl(2);
    page.OnRead();
    QCOMPARE(page.BreakControlCombo()->currentText(), QStringLiteral("2 -"));
  }

  void ValueControlsFollowReads() {
    PageRig rig;
    rig.Identify();
    rig.Modem().Options().errorFor = {"&V"};
    CTabBasic page(rig.ui);
    page.OnSetActive();
    for (QWidget* w : std::initializer_list<QWidget*>{page.CountryCombo(), page.CompressionCombo(),
                                                      page.ModulationEdit(), page.LoadButton(),
                                                      page.LineQualityCombo(), page.BreakControlCombo(),
                                                      page.RegisterEdit(3), page.WriteButton(),
                                                      page.WriteAllButton()}) {
      QVERIFY2(!w->isEnabled(), qPrintable(w->metaObject()->className()));
    }
    for (QWidget* w : std::initializer_list<QWidget*>{page.DefaultsCombo(), page.FastDisconnectCombo(),
                                                      page.ReadButton(), page.EditButton()}) {
      QVERIFY(w->isEnabled());
    }
    // Shown again with nothing to read: the Write buttons stay disabled...
    page.OnSetActive();
    QVERIFY(!page.WriteButton()->isEnabled());
    QVERIFY(!page.WriteAllButton()->isEnabled());
    // The Modulation dialog's OK refills the page: the country combo stays
    // as disabled as the rest.
    rig.ui.onModal = [](QDialog&) { return int(QDialog::Accepted); };
    page.EditButton()->click();
    QCOMPARE(rig.ui.modals, 1);
    QVERIFY(!page.CountryCombo()->isEnabled());
    // ...until a read succeeds.
    rig.Modem().Options().errorFor.clear();
    page.ReadButton()->click();
    QVERIFY(page.WriteButton()->isEnabled());
    QVERIFY(page.CountryCombo()->isEnabled());
  }
};

QTEST_MAIN(TabBasicTest)
#include "tab_basic_test.moc"
