// The Serial page: the character format rules as the user meets them, and
// what the combos store.

#include <QTest>

#include <map>

#include "controls/image_button.h"
#include "page_test_rig.h"
#include "pages/tab_serial.h"

using namespace kelvane;
using kelvane::testing::PageRig;

namespace {

struct OfflineSerial {
  PageRig rig;
  std::unique_ptr<CTabSerial> page;
  explicit OfflineSerial(const std::function<void(SerialSettings&)>& fill = {}) {
    rig.Offline();
    if (fill) fill(rig.a.Config.serial);
    page = std::make_unique<CTabSerial>(rig.ui);
    rig.a.Page(PG_SERIAL).reloadPending = 1;
    page->OnSetActive();
  }
  SerialSettings& Record() { return rig.a.Config.serial; }
  QString Format() {
    const SerialSettings& s = Record();
    return QStringLiteral("%1%2%3").arg(s.DteDataBits).arg(QChar::fromLatin1(s.DteParity)).arg(s.DteStopBits);
  }
  QString Shown() {
    return page->DataBitsCombo()->currentText().left(1) + page->ParityCombo()->currentText().left(1) +
           page->StopBitsCombo()->currentText().left(1);
  }
};

void SetFormat(SerialSettings& s, int rate, const char* format) {
  s.DteRate = rate;
  s.DteDataBits = format[0] - '0';
  s.DteParity = format[1];
  s.DteStopBits = format[2] - '0';
}

}  // namespace

class TabSerialTest : public QObject {
  Q_OBJECT

 private slots:
  void FormatTransitions_data() {
    QTest::addColumn<QString>("record");
    QTest::addColumn<int>("combo");  // 0 data bits, 1 stop bits, 2 parity, -1 any other notification
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("7N1 becomes 8N1") << "7N1" << -1 << "" << "8N1" << "8N1";
    QTest::newRow("8N2 refuses parity") << "8N2" << 2 << "Even" << "8N2" << "8N2";
    QTest::newRow("7E2 to 8 bits loses parity at once") << "7E2" << 0 << "8 - bits" << "8N2" << "8N2";
    QTest::newRow("7E1 to 2 stop bits") << "7E1" << 1 << "2 - bits" << "7E2" << "7E2";
    QTest::newRow("8E1 to no parity") << "8E1" << 2 << "None" << "8N1" << "8N1";
    QTest::newRow("8O1 to 7 bits") << "8O1" << 0 << "7 - bits" << "7O1" << "7O1";
    QTest::newRow("7N2 to 1 stop bit") << "7N2" << 1 << "1 - bit" << "8N1" << "8N1";
    QTest::newRow("8N1 to odd") << "8N1" << 2 << "Odd" << "8O1" << "8O1";
  }
  void FormatTransitions() {
    QFETCH(QString, record);
    QFETCH(int, combo);
    QFETCH(QString, choice);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    OfflineSerial s([&](SerialSettings& r) { SetFormat(r, 9600, qPrintable(record)); });
    QCOMPARE(s.Shown(), record);
    QComboBox* const combos[] = {s.page->DataBitsCombo(), s.page->StopBitsCombo(), s.page->ParityCombo()};
    if (combo < 0) {
      s.page->EchoCombo()->setCurrentIndex(0);
    } else {
      combos[combo]->setCurrentText(choice);
    }
    QCOMPARE(s.Format(), stored);
    QCOMPARE(s.Shown(), shown);
  }

  void AutoRateDisablesTheFormatAndKeepsItsValues() {
    OfflineSerial s([](SerialSettings& r) { SetFormat(r, 19200, "7E2"); });
    QVERIFY(s.page->ParityCombo()->isEnabled());
    s.page->BaudCombo()->setCurrentIndex(0);
    QCOMPARE(s.Record().DteRate, 0);
    for (QComboBox* c : {s.page->DataBitsCombo(), s.page->StopBitsCombo(), s.page->ParityCombo()}) {
      QVERIFY(!c->isEnabled());
    }
    QCOMPARE(s.Format(), QString("7E2"));
    // Enabling the value controls (a read) leaves them disabled without a fixed rate.
    s.page->SetValueControlsEnabled(true);
    QVERIFY(!s.page->DataBitsCombo()->isEnabled());
    s.page->BaudCombo()->setCurrentText("57600");
    QCOMPARE(s.Record().DteRate, 57600);
    QVERIFY(s.page->DataBitsCombo()->isEnabled());
    QCOMPARE(s.Format(), QString("7E2"));
  }

  void ARateTheListLacksIsKept() {
    OfflineSerial s([](SerialSettings& r) { SetFormat(r, 300, "8N1"); });
    QCOMPARE(s.page->BaudCombo()->currentIndex(), -1);
    s.page->EchoCombo()->setCurrentIndex(0);
    s.page->EchoCombo()->setCurrentIndex(1);
    QCOMPARE(s.Record().DteRate, 300);
    QCOMPARE(int(s.rig.a.Page(PG_SERIAL).changed), 0);
  }

  void CombosStoreTheNumberOfTheirItem_data() {
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("stored");
    QTest::newRow("&K RTS/CTS") << "flow" << 1 << 3;
    QTest::newRow("&K transparent") << "flow" << 3 << 5;
    QTest::newRow("&D empty item") << "dtr" << 4 << 0;
    QTest::newRow("&D soft reset") << "dtr" << 3 << 3;
    QTest::newRow("X 4") << "reduced" << 4 << 4;
    QTest::newRow("W 2") << "enhanced" << 2 << 2;
    QTest::newRow("*WIE on") << "wie" << 1 << 1;
  }
  void CombosStoreTheNumberOfTheirItem() {
    QFETCH(QString, combo);
    QFETCH(int, index);
    QFETCH(int, stored);
    OfflineSerial s([](SerialSettings& r) {
      r.ModemFlowControl = 4;
      r.DtrControl = 2;
      r.ReducedResults = 1;
      r.EnhancedResults = 1;
      r.IgnoreErrors = 0;
    });
    SerialSettings& r = s.Record();
    const std::map<QString, std::pair<QComboBox*, int32_t*>> combos = {
        {"flow", {s.page->FlowCombo(), &r.ModemFlowControl}},
        {"dtr", {s.page->DtrCombo(), &r.DtrControl}},
        {"reduced", {s.page->ReducedCombo(), &r.ReducedResults}},
        {"enhanced", {s.page->EnhancedCombo(), &r.EnhancedResults}},
        {"wie", {s.page->IgnoreErrorsCombo(), &r.IgnoreErrors}}};
    const auto [box, field] = combos.at(combo);
    box->setCurrentIndex(index);
    QCOMPARE(*field, stored);
    // Shown again from the record: the item of that number.
    s.rig.a.Page(PG_SERIAL).reloadPending = 1;
    s.page->OnSetActive();
    QCOMPARE(box->currentIndex(), index == 4 && combo == "dtr" ? 0 : index);
  }

  void ValuesOutsideTheListsShowNothingAndAreKept() {
    OfflineSerial s([](SerialSettings& r) {
      r.ModemFlowControl = 2;
      r.DteParity = 'X';
      r.DteRate = 0;
    });
    QCOMPARE(s.page->FlowCombo()->currentIndex(), -1);
    QCOMPARE(s.page->ParityCombo()->currentIndex(), -1);
    s.page->EchoCombo()->setCurrentIndex(0);
    QCOMPARE(s.Record().ModemFlowControl, 2);
    QCOMPARE(s.Record().DteParity, 'X');
  }

  // A new profile holds &D1; written, the modem answers &D1 too.
  void ANewProfileGivesTheModemDtrControlOne() {
    PageRig rig;
    rig.Identify();
    rig.a.ResetConfiguration();
    PageState& state = rig.a.Page(PG_SERIAL);
    state.refreshing = 0;
    state.valid = 1;
    CTabSerial page(rig.ui);
    page.OnSetActive();
    QVERIFY(page.DtrCombo()->currentText().startsWith(QStringLiteral("1 -")));
    page.OnWrite();
    QVERIFY(rig.Received("AT&D1"));
    QCOMPARE(rig.Modem().State().dtrControl, 1);
  }

  void FailedReadDisablesEveryCombo() {
    PageRig rig;
    rig.Identify();
    rig.Modem().Options().errorFor = {"+IPR?"};
    CTabSerial page(rig.ui);
    page.OnSetActive();
    for (QComboBox* c : page.findChildren<QComboBox*>()) QVERIFY(!c->isEnabled());
    QVERIFY(page.ReadButton()->isEnabled());
  }
};

QTEST_MAIN(TabSerialTest)
#include "tab_serial_test.moc"
