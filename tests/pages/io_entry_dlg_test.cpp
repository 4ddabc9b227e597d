// The I/O entry dialog: fields following the service, Clear, OK and Cancel,
// the caption, and values that reach the record unchanged.

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstring>

#include "config/page_values.h"
#include "page_test_rig.h"
#include "pages/io_entry_dlg.h"

using namespace kelvane;
using kelvane::testing::PageRig;

namespace {

void FillSms(IoSettings& io, int i) {
  io.Service[i] = 2;
  io.Retry[i] = 3;
  io.Priority[i] = 1;
  io.Timeout[i] = 30;
  io.Data4[i] = 1;
  io.Data7[i] = 4;
  for (auto [field, text] : {std::pair{io.Data1[i], "0701234567"}, {io.Data2[i], "Door opened"},
                             {io.Data3[i], "46705008999"}, {io.Data5[i], "pw123456"}, {io.Data6[i], "Gate"}}) {
    std::strcpy(field, text);
  }
}

}  // namespace

class IoEntryDlgTest : public QObject {
  Q_OBJECT

 private slots:
  void FieldsFollowTheService_data() {
    QTest::addColumn<int>("service");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("NONE") << 0 << QStringList{"", "", "", "", "", "", ""};
    QTest::newRow("DIAL") << 1 << QStringList{"Number", "", "", "", "", "", "Line protocol"};
    QTest::newRow("SMS") << 2
                         << QStringList{"Number", "SMS-message", "SMS service provider number", "SMS protocol type",
                                        "Password", "Sender", "Line protocol"};
    QTest::newRow("TEXT") << 3 << QStringList{"Number", "Transfer text", "", "", "", "", "Line protocol"};
    QTest::newRow("(reserved)") << 4 << QStringList{"", "", "", "", "", "", ""};
    QTest::newRow("OUT") << 5 << QStringList{"Number", "Pattern", "", "", "", "", "Line protocol"};
    QTest::newRow("CMD") << 6 << QStringList{"Command", "", "", "", "", "", ""};
    QTest::newRow("TRANS") << 7 << QStringList{"Number", "", "", "", "", "", "Line protocol"};
    QTest::newRow("no selection") << -1 << QStringList{"", "", "", "", "", "", ""};
  }
  void FieldsFollowTheService() {
    QFETCH(int, service);
    QFETCH(QStringList, labels);
    PageRig rig(3);
    CIOEntryDlg dialog(rig.a, 0);
    dialog.show();
    dialog.ServiceCombo()->setCurrentIndex(service);
    for (int k = 1; k <= 7; ++k) {
      QCOMPARE(dialog.DataLabel(k)->text(), labels[k - 1]);
      QCOMPARE(dialog.DataEdit(k)->isEnabled(), !labels[k - 1].isEmpty());
    }
    QVERIFY(!dialog.DataEdit(7)->isVisible());
    QVERIFY(!dialog.DataLabel(7)->isVisible());
    QVERIFY(dialog.DataEdit(1)->isVisible());

    // Tab goes through the fields in the order they are shown: row by row,
    // left to right, every enabled data field once, then to the buttons.
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.ServiceCombo()->setFocus();
    QList<QWidget*> visited = {dialog.ServiceCombo()};
    for (int i = 0; i < 20 && !qobject_cast<QPushButton*>(visited.back()); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget();
    }
    QCOMPARE(visited.back(), static_cast<QWidget*>(dialog.ClearButton()));
    visited.removeLast();
    for (int i = 1; i < visited.size(); ++i) {
      const QPoint before = visited[i - 1]->mapTo(&dialog, QPoint(0, 0));
      const QPoint now = visited[i]->mapTo(&dialog, QPoint(0, 0));
      QVERIFY2(now.y() > before.y() || (now.y() == before.y() && now.x() > before.x()),
               qPrintable(visited[i - 1]->objectName() + " then " + visited[i]->objectName()));
    }
    int enabledData = 0;
    for (int k = 1; k <= 6; ++k) enabledData += dialog.DataEdit(k)->isEnabled() ? 1 : 0;
    QCOMPARE(visited.size(), 4 + enabledData);
  }

  void CaptionAndLoadOfRowTen() {
    PageRig rig(3);
    FillSms(rig.a.Config.io, 9);
    CIOEntryDlg dialog(rig.a, 9);
    QCOMPARE(dialog.windowTitle(), QString("I/O Entry 10"));
    QCOMPARE(dialog.Group()->title(), QString("I/O Entry 10"));
    QCOMPARE(dialog.ServiceCombo()->currentText(), QString("SMS"));
    QCOMPARE(dialog.RetryCombo()->currentText(), QString("NEXT_OK"));
    QCOMPARE(dialog.PrioCombo()->currentText(), QString("1"));
    QCOMPARE(dialog.TimeEdit()->text(), QString("30"));
    QCOMPARE(dialog.DataEdit(2)->text(), QString("Door opened"));
    QCOMPARE(dialog.DataEdit(7)->text(), QString("4"));  // hidden, but loaded
    QCOMPARE(dialog.DataLabel(5)->text(), QString("Password"));
  }

  void ClearThenCancelLeavesTheEntry() {
    PageRig rig(3);
    FillSms(rig.a.Config.io, 3);
    const IoSettings before = rig.a.Config.io;
    CIOEntryDlg dialog(rig.a, 3);
    dialog.ClearButton()->click();
    QCOMPARE(dialog.ServiceCombo()->currentIndex(), 0);
    QCOMPARE(dialog.DataEdit(1)->text(), QString());
    QCOMPARE(dialog.DataEdit(7)->text(), QString());
    QVERIFY(!dialog.DataEdit(1)->isEnabled());
    QCOMPARE(dialog.DataLabel(1)->text(), QString());
    dialog.CancelButton()->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(std::memcmp(&before, &rig.a.Config.io, sizeof before) == 0);

    // Clear then OK empties every field, Data 7 included.
    CIOEntryDlg again(rig.a, 3);
    again.ClearButton()->click();
    again.OkButton()->click();
    QCOMPARE(again.result(), int(QDialog::Accepted));
    QCOMPARE(rig.a.Config.io.Service[3], 0);
    QCOMPARE(rig.a.Config.io.Data7[3], 0);
    QCOMPARE(rig.a.Config.io.Timeout[3], 0);
    QCOMPARE(rig.a.Config.io.Data2[3][0], '\0');
  }

  void OkStoresEveryFieldAsTyped() {
    PageRig rig(3);
    FillSms(rig.a.Config.io, 1);
    CIOEntryDlg dialog(rig.a, 1);
    // An SMS turned into a DIAL keeps its texts.
    dialog.ServiceCombo()->setCurrentIndex(1);
    QVERIFY(!dialog.DataEdit(2)->isEnabled());
    dialog.TimeEdit()->setText("999");
    dialog.DataEdit(4)->setText("x");
    QTest::keyClicks(dialog.DataEdit(1), std::string(20, 'z').c_str());
    dialog.OkButton()->click();
    const IoSettings& io = rig.a.Config.io;
    QCOMPARE(io.Service[1], 1);
    QCOMPARE(io.Timeout[1], 999);
    QCOMPARE(io.Data4[1], 0);
    QCOMPARE(FieldText(io.Data2[1], 161), std::string("Door opened"));
    QCOMPARE(FieldText(io.Data5[1], 9), std::string("pw123456"));
    // Typing stops at the field's limit.
    QCOMPARE(FieldText(io.Data1[1], 21), "0701234567" + std::string(10, 'z'));
    QCOMPARE(io.Data7[1], 4);
    // The time edit takes digits only, three of them.
    CIOEntryDlg typing(rig.a, 1);
    typing.TimeEdit()->clear();
    QTest::keyClicks(typing.TimeEdit(), "1a2345");
    QCOMPARE(typing.TimeEdit()->text(), QString("123"));
  }

  void ValuesWiderThanTheirEditsAreKept() {
    // A number the modem holds may have more digits than the edit takes from
    // the keyboard; OK must not cut it. A service no item shows is kept too.
    PageRig rig(3);
    rig.a.Config.io.Data4[0] = 12345;
    rig.a.Config.io.Timeout[0] = 4000;
    rig.a.Config.io.Service[0] = 9;
    CIOEntryDlg dialog(rig.a, 0);
    QCOMPARE(dialog.DataEdit(4)->text(), QString("12345"));
    QCOMPARE(dialog.ServiceCombo()->currentIndex(), -1);
    dialog.OkButton()->click();
    QCOMPARE(rig.a.Config.io.Data4[0], 12345);
    QCOMPARE(rig.a.Config.io.Timeout[0], 4000);
    QCOMPARE(rig.a.Config.io.Service[0], 9);
  }

  void DoubleQuotesAreRefusedWhereTheModemQuotesTheText() {
    // Data 1, 2, 3, 5 and 6 go out inside the quotes of "AT*WIOL": a typed or
    // pasted double quote is refused there, as the other pages' edits refuse
    // characters. The numbers of Data 4 and 7 are not quoted.
    PageRig rig(3);
    FillSms(rig.a.Config.io, 0);
    CIOEntryDlg dialog(rig.a, 0);
    dialog.show();
    for (int k : {1, 2, 3, 5, 6}) {
      QLineEdit* edit = dialog.DataEdit(k);
      edit->clear();
      edit->setFocus();
      QTest::keyClicks(edit, "a\"b");
      QCOMPARE(edit->text(), QString("ab"));
      edit->selectAll();
      edit->insert("Door \"A\", open");
      QCOMPARE(edit->text(), QString("ab"));
    }
    dialog.OkButton()->click();
    QCOMPARE(FieldText(rig.a.Config.io.Data2[0], 161), std::string("ab"));

    // A text that came with a quote (a profile made elsewhere) can still be
    // edited and the quote taken out.
    rig.a.Config.io.Service[4] = 2;  // SMS: Data 2 is enabled
    std::strcpy(rig.a.Config.io.Data2[4], "say \"hi\"");
    CIOEntryDlg loaded(rig.a, 4);
    loaded.show();
    QLineEdit* edit = loaded.DataEdit(2);
    QCOMPARE(edit->text(), QString("say \"hi\""));
    edit->setFocus();
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, "!");
    QCOMPARE(edit->text(), QString("say \"hi!"));
  }
};

QTEST_MAIN(IoEntryDlgTest)
#include "io_entry_dlg_test.moc"
