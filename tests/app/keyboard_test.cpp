// The window worked with the keyboard alone: from start-up, connect, visit
// every page, change a value on each page that has any, Write All and
// disconnect, with Tab, arrows, mnemonics, Ctrl+PageDown, Return and Space.
// Controls are found as a screen-reader user finds them: by the name their
// accessibility interface reads.

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

#include "app/compare_dlg.h"
#include "app/main_dlg.h"
#include "app/prop_sheet.h"
#include "ui/status_panel.h"
#include "connection/ui/tab_connection.h"
#include "connection/ui/terminal_dlg.h"
#include "config/profile.h"
#include "sim/simulated_port.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::WindowRig;

namespace {

// What a screen reader announces a control as: its explicit name, the label
// it is the buddy of, or its own name (a combo box's own name is its entry).
QString AccessibleName(QWidget* w) {
  QAccessibleInterface* iface = w ? QAccessible::queryAccessibleInterface(w) : nullptr;
  if (!iface) return {};
  if (!w->accessibleName().isEmpty()) return w->accessibleName();
  for (const auto& [label, relation] : iface->relations(QAccessible::Label)) {
    if (qobject_cast<QLabel*>(label->object())) return label->text(QAccessible::Name);
  }
  return iface->text(QAccessible::Name);
}

QString FocusName() {
  QWidget* w = QApplication::focusWidget();
  return w ? QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), AccessibleName(w))
           : QStringLiteral("nothing");
}

void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* target = QApplication::focusWidget();
  QTest::keyClick(target ? target : QApplication::activeWindow(), key, modifiers);
}

// Presses Tab (or Shift+Tab) until the keyboard is on a control `wanted`
// accepts; false when a whole round of the Tab chain does not reach one.
bool TabTo(const std::function<bool(QWidget*)>& wanted, bool backwards = false) {
  for (int i = 0; i < 120; ++i) {
    if (QWidget* w = QApplication::focusWidget(); w && wanted(w)) return true;
    Press(backwards ? Qt::Key_Backtab : Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
  }
  return false;
}

bool TabToName(const QString& name, bool backwards = false) {
  return TabTo([&](QWidget* w) { return AccessibleName(w) == name; }, backwards);
}

struct KeyboardRig : WindowRig {
  KeyboardRig() : WindowRig({{"Settings/AutoLoad", 1}}) {
    // At its smallest the window shows the tab bar's scroll arrows.
    window->resize(window->minimumSize());
    Activate();
  }
  void Activate() {
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
  }
  CPropSheet& Sheet() { return window->Sheet(); }
  QString Markers() { return AccessibleName(&window->StatusPanel()); }
  SimulatedModem& Modem() { return ports.Simulated(3)->Modem(); }
};

// One value per page, changed with the keys a user would press there, and
// where it shows in the record and in what the modem stored.
struct PageEdit {
  const char* page;     // tab title
  const char* control;  // the control's accessible name (its caption)
  std::function<void()> keys;
  std::function<int(const ConfigBlock&)> record;
  std::function<int(const ModemSettings&)> modem;
  const char* marker;  // in the status panel while unwritten; null: the page has none
};

}  // namespace

class KeyboardTest : public QObject {
  Q_OBJECT

 private slots:
  // The Tab chain passes from the page to the tab bar, not to its scroll
  // arrows, and Left/Right there turn the pages.
  void TabBarTakesTheKeyboardAndTurnsThePages() {
    KeyboardRig rig;
    rig.ConnectTo(QStringLiteral("sim:3"));
    rig.Activate();
    QTabBar* bar = rig.Sheet().tabBar();
    const QList<QToolButton*> arrows = bar->findChildren<QToolButton*>();
    QVERIFY(!arrows.isEmpty());
    QVERIFY2(std::any_of(arrows.begin(), arrows.end(), [](QToolButton* b) { return b->isVisible(); }),
             "the arrows are not shown at the minimum size: this test proves nothing");

    // Shift+Tab from Disconnect leaves the page for the tab bar.
    CTabConnection& page = rig.Page();
    QCOMPARE(QApplication::focusWidget(), page.DisconnectButton());
    for (int i = 0; i < 50 && page.isAncestorOf(QApplication::focusWidget()); ++i) {
      Press(Qt::Key_Backtab, Qt::ShiftModifier);
    }
    QVERIFY2(QApplication::focusWidget() == bar, qPrintable(FocusName()));
    QCOMPARE(rig.Sheet().currentIndex(), 0);
    Press(Qt::Key_Right);
    QCOMPARE(rig.Sheet().currentIndex(), 1);
    Press(Qt::Key_Right);
    QCOMPARE(rig.Sheet().currentIndex(), 2);
    Press(Qt::Key_Left);
    QCOMPARE(rig.Sheet().currentIndex(), 1);
    QCOMPARE(QApplication::focusWidget(), bar);
    // A full round of Tab comes back to the bar without stopping on an
    // arrow (the terminal takes Tab as a character: Ctrl+Tab leaves it).
    for (int i = 0; i < 200; ++i) {
      const bool terminal = QApplication::focusWidget() == rig.window->Terminal().OutputField();
      Press(Qt::Key_Tab, terminal ? Qt::ControlModifier : Qt::NoModifier);
      QVERIFY2(!arrows.contains(QApplication::focusWidget()), qPrintable(FocusName()));
      if (QApplication::focusWidget() == bar) break;
    }
    QCOMPARE(QApplication::focusWidget(), bar);
  }

  void ConnectEditEveryPageWriteAllAndDisconnect() {
    KeyboardRig rig;
    CAdapter& a = rig.a;
    CPropSheet& sheet = rig.Sheet();

    // Start-up: the port box has the keyboard; Alt+P comes back to it.
    Press(Qt::Key_P, Qt::AltModifier);
    QCOMPARE(AccessibleName(QApplication::focusWidget()), QStringLiteral("Port:"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("sim:3"));
    QVERIFY2(TabToName(QStringLiteral("Connect")), qPrintable(FocusName()));
    Press(Qt::Key_Space);
    QCOMPARE(a.ModelType, 3);
    QVERIFY(a.LinkState & LS_IDENTIFIED);
    QCOMPARE(sheet.count(), 9);
    rig.Activate();

    const std::vector<PageEdit> edits = {
        {"Basic", "Rings to Auto-Answer [S0]", [] { QTest::keyClicks(QApplication::focusWidget(), "7"); },
         [](const ConfigBlock& c) { return c.basic.S0; }, [](const ModemSettings& m) { return m.s[0]; },
         "[Basic Changed]"},
        {"Serial", "DSR control [&S]", [] { Press(Qt::Key_Down); },
         [](const ConfigBlock& c) { return c.serial.DsrControl; }, [](const ModemSettings& m) { return m.dsrControl; },
         "[Serial Changed]"},
        {"Dial Options", "Dial abort [&A]", [] { Press(Qt::Key_Down); },
         [](const ConfigBlock& c) { return c.dial.DialAbort; }, [](const ModemSettings& m) { return m.dialAbort; },
         "[Dial Option Changed]"},
        {"Caller ID", "Format of CID/A-number presentation", [] { Press(Qt::Key_Down); },
         [](const ConfigBlock& c) { return c.callerId.CidFormat; },
         [](const ModemSettings& m) { return m.cidFormat; }, "[CallerID Changed]"},
        {"Remote", "Enable Remote Configuration [*WRCA]", [] { Press(Qt::Key_Down); },
         [](const ConfigBlock& c) { return int(c.remote.RemoteEnable); },
         [](const ModemSettings& m) { return m.remoteEnable; }, nullptr},
        {"Callback", "Delay before callback (*wcbtime)", [] { QTest::keyClicks(QApplication::focusWidget(), "45"); },
         [](const ConfigBlock& c) { return c.callback.CallbackTime; },
         [](const ModemSettings& m) { return m.callbackTime; }, "[Callback Changed]"},
        {"I/O", "Trig level <trig>", [] { Press(Qt::Key_Down); },
         [](const ConfigBlock& c) { return c.io.TrigLevel; }, [](const ModemSettings& m) { return m.trigLevel; },
         "[IO Changed]"},
    };

    // Every page in turn with Ctrl+PageDown, the keyboard on the new page.
    QStringList visited;
    std::vector<int> before;
    for (int turn = 1; turn < sheet.count(); ++turn) {
      Press(Qt::Key_PageDown, Qt::ControlModifier);
      QCOMPARE(sheet.currentIndex(), turn);
      const QString title = sheet.tabText(turn);
      visited << title;
      QVERIFY2(sheet.currentWidget()->isAncestorOf(QApplication::focusWidget()), qPrintable(title + ": " + FocusName()));
      const auto edit = std::find_if(edits.begin(), edits.end(), [&](const PageEdit& e) { return title == e.page; });
      if (edit == edits.end()) continue;
      QVERIFY2(TabToName(QString::fromLatin1(edit->control)), qPrintable(title + ": " + FocusName()));
      QVERIFY2(sheet.currentWidget()->isAncestorOf(QApplication::focusWidget()), qPrintable(title));
      const int old = edit->record(a.Config);
      edit->keys();
      Press(Qt::Key_Tab);  // an edit is taken when the keyboard leaves it
      QVERIFY2(edit->record(a.Config) != old, qPrintable(title));
      before.push_back(old);
      if (edit->marker) QVERIFY2(rig.Markers().contains(QString::fromLatin1(edit->marker)), qPrintable(rig.Markers()));
    }
    QCOMPARE(visited, QStringList({"Basic", "Serial", "Dial Options", "Caller ID", "Remote", "Diagnostic",
                                   "Callback", "I/O"}));
    QCOMPARE(before.size(), edits.size());

    // Write All from the last page, answering its question with Yes.
    QVERIFY2(TabTo([](QWidget* w) { return w->objectName() == QStringLiteral("Write All"); }), qPrintable(FocusName()));
    QCOMPARE(AccessibleName(QApplication::focusWidget()), QStringLiteral("Write"));
    rig.ui.answers.push_back(MsgAnswer::Yes);
    Press(Qt::Key_Space);
    QCOMPARE(rig.ui.BoxTexts(), std::vector<std::string>{"Write current profile to adapter?"});
    for (const PageEdit& e : edits) {
      QCOMPARE(e.modem(rig.Modem().Stored()), e.record(a.Config));
    }
    QVERIFY2(!rig.Markers().contains(QStringLiteral("Changed")), qPrintable(rig.Markers()));

    // Disconnect through the menu's mnemonics: Alt+C, then D.
    rig.Activate();
    Press(Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QCOMPARE(menu->title(), QStringLiteral("&Connection"));
    QTest::keyClick(menu, Qt::Key_D);
    QTRY_VERIFY(!(a.LinkState & LS_PORT_OPEN));
    QCOMPARE(sheet.count(), 1);
    QCOMPARE(sheet.tabText(0), QStringLiteral("Connection"));
  }

  // File > "Compare with Profile..." by the menu's keys; in the dialog the
  // filter by its mnemonic, the rows by arrows, the file's values taken with
  // Space and the dialog closed with Escape.
  void CompareWithProfileByKeyboard() {
    KeyboardRig rig;
    rig.ConnectTo(QStringLiteral("sim:3"));
    CAdapter& a = rig.a;
    ConfigBlock file = a.Config;
    file.basic.S0 = a.Config.basic.S0 == 4 ? 5 : 4;
    file.basic.S7 = a.Config.basic.S7 == 77 ? 78 : 77;
    file.dial.DialAbort = a.Config.dial.DialAbort == 0 ? 1 : 0;
    const std::string path = rig.store.dir.filePath(QStringLiteral("standard.dat")).toStdString();
    std::string error;
    QVERIFY2(SaveProfileFile(path, file, error), error.c_str());
    rig.ui.fileAnswers.push_back(path);

    QStringList seen;  // the row the keyboard is on, after each key
    bool closed = false;
    rig.ui.onModal = [&](QDialog& d) {
      auto* dialog = qobject_cast<CCompareDlg*>(&d);
      if (!dialog) return int(QDialog::Rejected);
      auto drive = [&] {
        QApplication::setActiveWindow(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        Press(Qt::Key_F, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog->FilterEdit()));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Basic"));
        QCOMPARE(dialog->ShownRows().size(), size_t(2));
        QVERIFY2(TabTo([&](QWidget* w) { return w == dialog->List(); }), qPrintable(FocusName()));
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up}) {
          Press(key);
          seen << dialog->List()->currentItem()->text(1);
        }
        QVERIFY2(TabToName(QStringLiteral("Take the File's Values for the Basic page")), qPrintable(FocusName()));
        Press(Qt::Key_Space);
        Press(Qt::Key_Escape);
        closed = !dialog->isVisible();
      };
      QTimer::singleShot(0, dialog, [&, dialog] {
        drive();
        if (dialog->isVisible()) dialog->reject();  // a failed step must not leave it up
      });
      return dialog->exec();
    };
    rig.Activate();
    Press(Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QAction* compare = rig.window->Action(ID_COMPARE_PROFILE);
    for (int i = 0; i < 12 && menu->activeAction() != compare; ++i) QTest::keyClick(menu, Qt::Key_Down);
    QCOMPARE(menu->activeAction(), compare);
    QTest::keyClick(menu, Qt::Key_Return);
    QTRY_VERIFY(closed);
    QCOMPARE(rig.ui.modals, 1);
    QCOMPARE(seen.size(), 2);
    QVERIFY(seen[0] != seen[1]);
    // The Basic page took the file's values; the Dial Options page did not.
    QCOMPARE(a.Config.basic.S0, file.basic.S0);
    QCOMPARE(a.Config.basic.S7, file.basic.S7);
    QVERIFY(a.Config.dial.DialAbort != file.dial.DialAbort);
    QVERIFY2(rig.Markers().contains(QStringLiteral("[Basic Changed]")), qPrintable(rig.Markers()));
  }
};

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
