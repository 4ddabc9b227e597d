// The pages' words (config/page_words) against the pages themselves: every
// caption begins with a label or group title the page shows, and every value
// in the words is what one of the page's controls shows.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>

#include "config/page_words.h"
#include "page_test_rig.h"
#include "pages/tab_basic.h"
#include "pages/tab_callback.h"
#include "pages/tab_caller_id.h"
#include "pages/tab_dial_opt.h"
#include "pages/tab_io.h"
#include "pages/tab_remote_conf.h"
#include "pages/tab_serial.h"

using namespace kelvane;
using kelvane::testing::PageRig;

namespace {

std::unique_ptr<CConfigPage> MakePage(int page, QtUserInterface& ui) {
  switch (page) {
    case PG_BASIC: return std::make_unique<CTabBasic>(ui);
    case PG_SERIAL: return std::make_unique<CTabSerial>(ui);
    case PG_DIAL: return std::make_unique<CTabDialOpt>(ui);
    case PG_CALLERID: return std::make_unique<CTabCallerID>(ui);
    case PG_REMOTE: return std::make_unique<CTabRemoteConf>(ui);
    case PG_CALLBACK: return std::make_unique<CTabCallback>(ui);
    case PG_IO: return std::make_unique<CTabIO>(ui);
    default: return nullptr;
  }
}

// A label shows "&&" as one ampersand.
QString Shown(QString text) { return text.replace(QStringLiteral("&&"), QStringLiteral("&")); }

QString Trimmed(QString text) {
  while (text.endsWith(QLatin1Char(' '))) text.chop(1);
  return text;
}

}  // namespace

class PageWordsShownTest : public QObject {
  Q_OBJECT

 private slots:
  void WordsAreWhatThePageShows_data() {
    QTest::addColumn<int>("page");
    for (int page : PagesInSheetOrder()) {
      if (page != PG_DIAGNOSTIC) QTest::newRow(PageTitle(page).c_str()) << page;
    }
  }

  void WordsAreWhatThePageShows() {
    QFETCH(int, page);
    PageRig rig(3);
    rig.Identify();
    ConfigBlock& c = rig.a.Config;
    // Values away from the defaults on every page.
    c.basic.CountryCode = 0x3D;
    c.basic.S0 = 7;
    c.basic.LineQuality = 1;
    c.serial.ModemFlowControl = 3;
    c.serial.DteRate = 19200;
    c.serial.DteParity = 'E';
    c.dial.HotCall = 2;
    SetText(c.dial.StoredNumbers[1], "5551234");
    c.dial.BackupTime = 120;
    c.callerId.CidMode = 3;
    SetText(c.callerId.AcceptedNumbers[9], "+4930");
    c.remote.RemoteEnable = 1;
    c.callback.CallbackMode = 4;
    c.callback.CallbackTime = 45;
    SetText(c.callback.CallbackNumbers[2], "0711");
    c.io.TrigType = 31;
    c.io.OutputCtrl = 4;
    c.io.Service[1] = 2;
    c.io.Retry[2] = 5;
    c.io.Timeout[3] = 250;

    std::unique_ptr<CConfigPage> widget = MakePage(page, rig.ui);
    QVERIFY(widget);
    rig.a.Page(page).refreshing = 1;
    rig.a.Page(page).valid = 1;
    widget->OnSetActive();

    QStringList titles, values;
    for (const QLabel* label : widget->findChildren<QLabel*>()) titles << Shown(label->text());
    for (const QGroupBox* group : widget->findChildren<QGroupBox*>()) titles << Shown(group->title());
    for (const QComboBox* combo : widget->findChildren<QComboBox*>()) values << Trimmed(combo->currentText());
    for (const QLineEdit* edit : widget->findChildren<QLineEdit*>()) values << edit->text();

    int checked = 0;
    for (const FieldWords& w : DescribeBlock(c)) {
      if (w.pageIndex != page) continue;
      const QString caption = QString::fromLatin1(w.caption.c_str());
      // The I/O entries' data fields are the entry dialog's, not the page's.
      if (caption.startsWith(QStringLiteral("I/O Entry"))) continue;
      bool found = false;
      for (const QString& title : titles) found = found || (!title.isEmpty() && caption.startsWith(title));
      QVERIFY2(found, qPrintable(caption));
      // Passwords are masked in the words and empty texts are no evidence.
      if (w.shown.empty() || w.shown == kMaskedPassword) continue;
      QVERIFY2(values.contains(QString::fromLatin1(w.shown.c_str())),
               qPrintable(QStringLiteral("%1: %2").arg(caption, QString::fromLatin1(w.shown.c_str()))));
      ++checked;
    }
    QVERIFY(checked > 0);
  }
};

QTEST_MAIN(PageWordsShownTest)
#include "page_words_shown_test.moc"
