// The I/O page against a simulated type 3 modem: what each button sends (as
// the modem received it), Delete and Test in verbose and numeric mode with
// their failures, the whole-record snapshot after a row's Save, offline
// editing of a profile, and answers that do not fit their fields.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstring>

#include "config/io_values.h"
#include "config/page_values.h"
#include "config/profile.h"
#include "controls/image_button.h"
#include "page_test_rig.h"
#include "pages/io_entry_dlg.h"
#include "pages/tab_io.h"

using namespace kelvane;
using kelvane::testing::PageRig;

namespace {

SimIoEntry Sms() {
  return SimIoEntry{2, 1, 30, 1, "0701234567", "Door opened", "46705008999", 1, "pw123456", "Gate"};
}

// The I/O commands the modem received from `mark` on.
std::vector<std::string> IoCommandsSince(PageRig& rig, std::size_t mark) {
  std::vector<std::string> out;
  const auto& lines = rig.Modem().ReceivedLines();
  for (std::size_t i = mark; i < lines.size(); ++i) {
    if (lines[i].rfind("AT*WIO", 0) == 0 || lines[i] == "AT&W") out.push_back(lines[i]);
  }
  return out;
}

// A type 3 modem with a few entries, identified, and the page shown once.
struct IoPage {
  PageRig rig{3};
  std::unique_ptr<CTabIO> page;
  explicit IoPage(bool verbose = true) {
    rig.Modem().State().verbose = verbose ? 1 : 0;
    rig.Modem().State().io[1] = Sms();
    rig.Modem().State().io[9] = SimIoEntry{6, 0, 0, 0, "ATH", "", "", 0, "", ""};
    rig.Modem().State().trigType = 31;
    rig.Identify();
    page = std::make_unique<CTabIO>(rig.ui);
    page->OnSetActive();
  }
};

}  // namespace

class TabIoTest : public QObject {
  Q_OBJECT

 private slots:
  void ActivationShowsTheModemsEntries() {
    IoPage p;
    QCOMPARE(int(p.rig.a.Page(PG_IO).valid), 1);
    QCOMPARE(p.page->EntryRow(2).service->currentText(), QString("SMS"));
    QCOMPARE(p.page->EntryRow(2).retry->currentText(), QString("RETRY"));
    QCOMPARE(p.page->EntryRow(2).time->text(), QString("30"));
    QCOMPARE(p.page->EntryRow(10).service->currentText(), QString("CMD"));
    QCOMPARE(p.page->TrigTypeCombo()->currentText(), QString("31 - DCD_PSTN"));
    QCOMPARE(p.page->TaEdit()->text(), QString("100"));
    QCOMPARE(int(p.rig.a.Page(PG_IO).changed), 0);
  }

  void CombosFindTheExactCode_data() {
    QTest::addColumn<int>("trigType");
    QTest::addColumn<int>("outputCtrl");
    QTest::addColumn<QString>("trigText");
    QTest::addColumn<QString>("outputText");
    QTest::newRow("3 is DCD") << 3 << 3 << "3 - DCD" << "3 - DCD";
    QTest::newRow("31 and 32") << 31 << 32 << "31 - DCD_PSTN" << "32 - DCD_LL";
    QTest::newRow("not listed") << 5 << 2 << "" << "";
  }
  void CombosFindTheExactCode() {
    QFETCH(int, trigType);
    QFETCH(int, outputCtrl);
    QFETCH(QString, trigText);
    QFETCH(QString, outputText);
    PageRig rig(3);
    rig.Offline();
    CTabIO page(rig.ui);
    rig.a.Config.io.TrigType = trigType;
    rig.a.Config.io.OutputCtrl = outputCtrl;
    rig.a.Page(PG_IO).reloadPending = 1;
    page.OnSetActive();
    QCOMPARE(page.TrigTypeCombo()->currentText(), trigText);
    QCOMPARE(page.OutputCtrlCombo()->currentText(), outputText);
    // An edit elsewhere stores the numbers in front of the items; a value no
    // item shows is left as it is, not replaced by one the user never chose.
    page.TpEdit()->setText("7");
    QCOMPARE(rig.a.Config.io.TrigType, trigType);
    QCOMPARE(rig.a.Config.io.OutputCtrl, outputCtrl);
    QCOMPARE(rig.a.Config.io.PulseTp, 7);
    page.TrigTypeCombo()->setCurrentIndex(5);
    QCOMPARE(rig.a.Config.io.TrigType, 31);
    QCOMPARE(int(rig.a.Page(PG_IO).changed), 1);
  }

  void EachButtonWritesItsPart_data() {
    QTest::addColumn<int>("button");  // 0 parameters Save, 1..10 row Save, 11 page Write
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("parameters") << 0 << QStringList{"AT*WIOP=100,50,31,0,0", "AT&W"};
    QTest::newRow("row 2") << 2
                           << QStringList{"AT*WIOL=2,2,1,45,1,\"0701234567\",\"Door opened\",\"46705008999\",1,"
                                          "\"pw123456\",\"Gate\"",
                                          "AT&W"};
    QTest::newRow("row 10") << 10 << QStringList{"AT*WIOL=10,6,0,0,0,\"ATH\",\"\",\"\",0,\"\",\"\"", "AT&W"};
    QStringList all{"AT*WIOP=100,50,31,0,0"};
    for (int n = 1; n <= 10; ++n) {
      all << (n == 2    ? "AT*WIOL=2,2,1,45,1,\"0701234567\",\"Door opened\",\"46705008999\",1,\"pw123456\",\"Gate\""
              : n == 10 ? "AT*WIOL=10,6,0,0,0,\"ATH\",\"\",\"\",0,\"\",\"\""
                        : QString("AT*WIOL=%1,0,0,0,0,\"\",\"\",\"\",0,\"\",\"\"").arg(n));
    }
    all << "AT&W";
    QTest::newRow("page write") << 11 << all;
  }
  void EachButtonWritesItsPart() {
    QFETCH(int, button);
    QFETCH(QStringList, sent);
    IoPage p;
    p.page->EntryRow(2).time->setText("45");
    const std::size_t mark = p.rig.ReceivedCount();
    if (button == 0) {
      p.page->SaveParametersButton()->click();
    } else if (button <= 10) {
      p.page->EntryRow(button).save->click();
    } else {
      p.page->WriteButton()->click();
    }
    QStringList got;
    for (const std::string& line : IoCommandsSince(p.rig, mark)) got << QString::fromStdString(line);
    QCOMPARE(got, sent);
    // The snapshot is taken whatever was written.
    QCOMPARE(int(p.rig.a.Page(PG_IO).changed), 0);
  }

  void WriteAllAsksAndWritesEverySection() {
    IoPage p;
    p.rig.ui.answers = {MsgAnswer::Yes};
    const std::size_t mark = p.rig.ReceivedCount();
    p.page->WriteAllButton()->click();
    const auto sent = IoCommandsSince(p.rig, mark);
    QCOMPARE(int(std::count_if(sent.begin(), sent.end(), [](const std::string& l) { return l.rfind("AT*WIOL=", 0) == 0; })), 10);
    QVERIFY(std::find(sent.begin(), sent.end(), "AT*WIOP=100,50,31,0,0") != sent.end());
    QCOMPARE(p.rig.ui.boxes.front().text, std::string("Write current profile to adapter?"));
  }

  void SavingOneRowTakesTheWholeSnapshot() {
    IoPage p;
    p.page->EntryRow(1).time->setText("99");  // edited, not saved
    p.page->EntryRow(2).retry->setCurrentIndex(4);
    QCOMPARE(int(p.rig.a.Page(PG_IO).changed), 1);
    QVERIFY(p.rig.status.Text().contains("[IO Changed]"));
    p.page->EntryRow(2).save->click();
    QCOMPARE(p.rig.Modem().State().io[1].retry, 4);
    QCOMPARE(p.rig.Modem().State().io[0].timeout, 0);  // row 1 never sent...
    QCOMPARE(int(p.rig.a.Page(PG_IO).changed), 0);     // ...yet no longer changed
    QVERIFY(!p.rig.status.Text().contains("[IO Changed]"));
  }

  void DeleteAndTestInVerboseAndNumericMode_data() {
    QTest::addColumn<bool>("verbose");
    QTest::newRow("verbose") << true;
    QTest::newRow("numeric") << false;
  }
  void DeleteAndTestInVerboseAndNumericMode() {
    QFETCH(bool, verbose);
    IoPage p(verbose);
    p.rig.a.Config.io.Data7[1] = 3;
    std::size_t mark = p.rig.ReceivedCount();
    p.page->EntryRow(2).remove->click();
    QStringList expected = verbose ? QStringList{"AT*WIOD=2", "AT&W"}
                                   : QStringList{"ATV1", "AT*WIOD=2", "ATV0", "AT&W"};
    QStringList got;
    for (std::size_t i = mark; i < p.rig.Modem().ReceivedLines().size(); ++i) {
      const std::string& l = p.rig.Modem().ReceivedLines()[i];
      if (l != "AT" && !l.empty()) got << QString::fromStdString(l);
    }
    QCOMPARE(got, expected);
    QCOMPARE(p.rig.Modem().Stored().io[1], SimIoEntry{});
    QCOMPARE(p.page->EntryRow(2).service->currentText(), QString("NONE"));
    QCOMPARE(p.rig.a.Config.io.Data1[1][0], '\0');
    QCOMPARE(p.rig.a.Config.io.Data7[1], 3);
    QVERIFY(p.rig.ui.boxes.empty());
    QVERIFY(!p.rig.a.Busy);

    // Test the CMD entry 10: no AT&W, the record untouched.
    const ConfigBlock before = p.rig.a.Config;
    p.page->TestSelector()->setCurrentIndex(9);
    mark = p.rig.ReceivedCount();
    p.page->TestButton()->click();
    QCOMPARE(p.rig.Modem().TestedIoEntries(), std::vector<int>{10});
    const auto io = IoCommandsSince(p.rig, mark);
    QCOMPARE(io, std::vector<std::string>{"AT*WIOT=10"});
    QVERIFY(std::memcmp(&before, &p.rig.a.Config, sizeof before) == 0);
    QCOMPARE(p.rig.Modem().State().verbose, verbose ? 1 : 0);
  }

  void DeleteAndTestFailuresAreReported() {
    IoPage p(false);
    p.rig.Modem().Options().errorFor = {"*WIOD", "*WIOT"};
    const std::size_t mark = p.rig.ReceivedCount();
    p.page->EntryRow(2).remove->click();
    QCOMPARE(p.rig.ui.BoxTexts(), std::vector<std::string>{"Error communicating with adapter."});
    QCOMPARE(p.rig.a.Config.io.Service[1], 2);
    QCOMPARE(p.page->EntryRow(2).service->currentText(), QString("SMS"));
    // An entry without a service cannot be tested either.
    p.page->TestButton()->click();
    QCOMPARE(p.rig.ui.boxes.size(), std::size_t(2));
    const auto sent = IoCommandsSince(p.rig, mark);
    QCOMPARE(int(std::count(sent.begin(), sent.end(), "AT&W")), 0);
    QCOMPARE(p.rig.Modem().State().verbose, 0);  // numeric results restored
    QVERIFY(!p.rig.a.Busy);

    // Busy: nothing is sent, the row is only refilled.
    p.rig.a.Busy = true;
    const std::size_t busyMark = p.rig.ReceivedCount();
    p.page->EntryRow(2).remove->click();
    p.page->TestButton()->click();
    QCOMPARE(p.rig.ReceivedCount(), busyMark);
    p.rig.a.Busy = false;
  }

  void ThePageIsOffWhileDeleteAndTestRun() {
    IoPage p;
    for (QPushButton* button : {p.page->EntryRow(2).remove, p.page->TestButton()}) {
      bool editDuring = true, readDuring = true;
      // Runs inside the command's first wait for the modem.
      QTimer::singleShot(0, p.page.get(), [&] {
        editDuring = p.page->EntryRow(2).edit->isEnabled();
        readDuring = p.page->ReadButton()->isEnabled();
      });
      button->click();
      QVERIFY(!editDuring);
      QVERIFY(!readDuring);
      QVERIFY(p.page->EntryRow(2).edit->isEnabled());
      QVERIFY(p.page->ReadButton()->isEnabled());
    }
  }

  void OfflineProfileEntriesCanBeEditedAndSaved() {
    PageRig rig(3);
    rig.Offline();
    rig.a.Config.io.Service[4] = 3;
    rig.a.Config.io.Timeout[4] = 20;
    std::strcpy(rig.a.Config.io.Data1[4], "0311234567");
    std::strcpy(rig.a.Config.io.Data2[4], "Status");
    rig.a.Page(PG_IO).reloadPending = 1;
    rig.a.Page(PG_IO).valid = 1;
    CTabIO page(rig.ui);
    page.OnSetActive();
    QCOMPARE(page.EntryRow(5).service->currentText(), QString("TEXT"));
    for (QWidget* w : std::initializer_list<QWidget*>{page.EntryRow(5).remove, page.EntryRow(5).save,
                                                      page.SaveParametersButton(), page.TestButton(),
                                                      page.ReadButton(), page.WriteButton(),
                                                      page.WriteAllButton()}) {
      QVERIFY(!w->isEnabled());
    }
    QVERIFY(page.EntryRow(5).edit->isEnabled());
    QVERIFY(page.EntryRow(5).service->isEnabled());

    // Edit entry 5 into an SMS in the dialog.
    rig.ui.onModal = [](QDialog& d) {
      auto& dialog = dynamic_cast<CIOEntryDlg&>(d);
      dialog.ServiceCombo()->setCurrentIndex(2);
      dialog.DataEdit(2)->setText("Alarm");
      dialog.accept();
      return int(QDialog::Accepted);
    };
    page.EntryRow(5).edit->click();
    QCOMPARE(page.EntryRow(5).service->currentText(), QString("SMS"));
    QCOMPARE(FieldText(rig.a.Config.io.Data2[4], 161), std::string("Alarm"));
    QCOMPARE(int(rig.a.Page(PG_IO).changed), 1);  // a change of the page, counted at once
    QVERIFY(rig.status.Text().contains("[IO Changed]"));
    page.EntryRow(5).time->setText("21");
    QCOMPARE(int(rig.a.Page(PG_IO).changed), 1);

    QTemporaryDir dir;
    const std::string path = dir.filePath("io.dat").toStdString();
    rig.ui.fileAnswers = {path};
    QCOMPARE(SaveProfile(rig.a), 1);
    ConfigBlock loaded{};
    std::string error;
    QVERIFY(LoadProfileFile(path, loaded, error));
    QCOMPARE(loaded.io.Service[4], 2);
    QCOMPARE(loaded.io.Timeout[4], 21);
    QCOMPARE(FieldText(loaded.io.Data2[4], 161), std::string("Alarm"));
  }

  void AnswersThatDoNotFitTheirFields() {
    PageRig rig(3);
    // Entry 2 with texts longer than their fields and a field the page does
    // not know; entry 3 without most of its fields.
    rig.Modem().Options().rawAnswers = {
        {"*WIOL=2?", "\r\n2_Service=2\r\n2_Flag=1\r\n2_Timeout=10\r\n2_Priority=0\r\n2_Data1=" +
                         std::string(30, '1') + "\r\n2_Data2=" + std::string(200, 'm') +
                         "\r\n2_Data3=46\r\n2_Data4=1\r\n2_Data5=" + std::string(12, 'p') +
                         "\r\n2_Data6=Gate\r\n2_Data8=extra\r\n\r\nOK\r\n"}};
    rig.Identify();
    CTabIO page(rig.ui);
    page.OnSetActive();
    QCOMPARE(int(rig.a.Page(PG_IO).valid), 1);
    QCOMPARE(FieldText(rig.a.Config.io.Data1[1], 21), std::string(20, '1'));
    QCOMPARE(rig.a.Config.io.Data2[1][160], '\0');
    const std::size_t mark = rig.ReceivedCount();
    page.EntryRow(2).save->click();
    const auto sent = IoCommandsSince(rig, mark);
    QCOMPARE(sent.front(), "AT*WIOL=2,2,1,10,0,\"" + std::string(20, '1') + "\",\"" + std::string(160, 'm') +
                               "\",\"46\",1,\"pppppppp\",\"Gate\"");

    // A missing field fails the read: the page keeps its controls off, and
    // nothing is written from them.
    PageRig bad(3);
    bad.Modem().Options().rawAnswers = {{"*WIOL=3?", "\r\n3_Service=2\r\n\r\nOK\r\n"}};
    bad.Identify();
    CTabIO badPage(bad.ui);
    badPage.OnSetActive();
    QCOMPARE(int(bad.a.Page(PG_IO).valid), 0);
    QVERIFY(!badPage.EntryRow(3).service->isEnabled());
    QVERIFY(!badPage.EntryRow(3).save->isEnabled());
    QVERIFY(!badPage.WriteButton()->isEnabled());
    QVERIFY(badPage.ReadButton()->isEnabled());
    QVERIFY(badPage.EntryRow(3).edit->isEnabled());
  }
};

QTEST_MAIN(TabIoTest)
#include "tab_io_test.moc"
