// What a screen reader reads of the window: every visible control has a name
// (its own text, a buddy label or an explicit name), every value can be read,
// and nothing the window paints itself is hidden from it. Walked through the
// accessibility interfaces for every page of a connected RM-40 485, of an
// offline profile and for every window and dialog of the screenshots.

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include "ui/command_ids.h"
#include "app/main_dlg.h"
#include "app/prop_sheet.h"
#include "app/screenshots.h"
#include "ui/status_panel.h"
#include "controls/image_button.h"
#include "pages/config_page.h"
#include "accessibility_events.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::AccessibilityEvents;
using kelvane::testing::WindowRig;

namespace {

QString StripAmp(QString text) {
  text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
  return text;
}


// The caption a sighted user reads next to a control: the visible label of
// the same parent nearest to its left or above it.
QString CaptionBeside(const QWidget* w) {
  const QWidget* parent = w->parentWidget();
  if (!parent) return {};
  const QRect g = w->geometry();
  const QLabel* best = nullptr;
  int bestDistance = 0;
  for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
    if (!label->isVisible() || label->text().isEmpty()) continue;
    const QRect l = label->geometry();
    const bool left = l.right() <= g.left() + 2 && l.bottom() >= g.top() - 4 && l.top() <= g.bottom() + 4;
    const bool above = l.bottom() <= g.top() + 2 && l.left() <= g.right() && l.right() >= g.left() - 4;
    if (!left && !above) continue;
    const int distance = (l.center() - g.center()).manhattanLength();
    if (!best || distance < bestDistance) {
      best = label;
      bestDistance = distance;
    }
  }
  return best ? best->text() : QString();
}

QString Describe(const QWidget* w) {
  QString where;
  for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
    if (auto* box = qobject_cast<const QGroupBox*>(p)) {
      where = QStringLiteral(" in \"%1\"").arg(box->title());
      break;
    }
  }
  // Which of its kind in its parent, for controls without an object name.
  int index = 0;
  if (const QWidget* parent = w->parentWidget()) {
    for (const QObject* sibling : parent->children()) {
      if (sibling == w) break;
      if (sibling->metaObject() == w->metaObject()) ++index;
    }
  }
  return QStringLiteral("%1 %2 #%3%4 beside \"%5\"")
      .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName())
      .arg(index)
      .arg(where, CaptionBeside(w));
}

// The roles that stand for something the user reads or operates.
bool NeedsName(QAccessible::Role role) {
  switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::Dial:
    case QAccessible::ProgressBar:
    case QAccessible::PageTab:
    case QAccessible::MenuItem:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::Graphic:
    case QAccessible::List:
    case QAccessible::Table:
      return true;
    default:
      return false;
  }
}

// Roles whose name is their own text (a button's caption, a tab's title).
bool NamedByOwnText(QAccessible::Role role) {
  return role == QAccessible::PushButton || role == QAccessible::CheckBox || role == QAccessible::RadioButton ||
         role == QAccessible::PageTab || role == QAccessible::MenuItem || role == QAccessible::ButtonMenu ||
         role == QAccessible::ButtonDropDown;
}

// What a screen reader announces a control as: an explicit name, the label
// it is the buddy of (the "labelled by" relation), or its own text. The
// title of the group a control sits in does not count: several controls
// share it. On this platform a combo box reads its current entry as its
// name, so for a combo only the first two count.
QString Caption(QAccessibleInterface* iface, const QWidget* w) {
  if (w && !w->accessibleName().isEmpty()) return w->accessibleName();
  for (const auto& [other, relation] : iface->relations(QAccessible::Label)) {
    if (qobject_cast<QLabel*>(other->object())) return other->text(QAccessible::Name);
  }
  if (NamedByOwnText(iface->role())) return iface->text(QAccessible::Name);
  return {};
}

// Whether the value a control shows can be read, and is the one shown.
QString ValueFault(QAccessibleInterface* iface, QWidget* w) {
  const QAccessible::Role role = iface->role();
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    if (iface->text(QAccessible::Value) != combo->currentText()) {
      return QStringLiteral("reads \"%1\" for the entry \"%2\"").arg(iface->text(QAccessible::Value), combo->currentText());
    }
    return {};
  }
  if (role == QAccessible::EditableText) {
    QAccessibleTextInterface* text = iface->textInterface();
    if (!text) return QStringLiteral("has no readable text");
    const QString read = text->text(0, text->characterCount());
    if (auto* edit = qobject_cast<QLineEdit*>(w); edit && edit->echoMode() == QLineEdit::Normal) {
      if (read != edit->text()) return QStringLiteral("reads \"%1\" for \"%2\"").arg(read, edit->text());
    }
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w); edit && read != edit->toPlainText()) {
      return QStringLiteral("reads \"%1\" for \"%2\"").arg(read, edit->toPlainText());
    }
    return {};
  }
  if (role == QAccessible::SpinBox || role == QAccessible::Slider || role == QAccessible::Dial ||
      role == QAccessible::ProgressBar || role == QAccessible::ScrollBar) {
    QAccessibleValueInterface* value = iface->valueInterface();
    if (!value) return QStringLiteral("has no readable value");
    QVariant shown;
    if (auto* spin = qobject_cast<QSpinBox*>(w)) shown = spin->value();
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(w)) shown = spin->value();
    if (auto* slider = qobject_cast<QAbstractSlider*>(w)) shown = slider->value();
    if (auto* bar = qobject_cast<QProgressBar*>(w)) shown = bar->value();
    if (shown.isValid() && value->currentValue() != shown) {
      return QStringLiteral("reads %1 for %2").arg(value->currentValue().toString(), shown.toString());
    }
    return {};
  }
  if (role == QAccessible::CheckBox || role == QAccessible::RadioButton) {
    const QAccessible::State state = iface->state();
    if (!state.checkable) return QStringLiteral("does not tell whether it is checked");
    auto* button = qobject_cast<QAbstractButton*>(w);
    if (button && bool(state.checked) != button->isChecked()) return QStringLiteral("reads the wrong checked state");
  }
  return {};
}

// Walks one window and collects, per control, what a screen reader misses.
class Walk {
 public:
  void Window(QWidget& top, const QString& shot) {
    Visit(QAccessible::queryAccessibleInterface(&top), shot, 0);
  }
  // Control -> fault, with the first shot it was seen in.
  QMap<QString, QString> faults;

 private:
  void Fault(const QString& what, const QString& fault, const QString& shot) {
    if (!faults.contains(what + QStringLiteral(": ") + fault)) faults.insert(what + QStringLiteral(": ") + fault, shot);
  }

  void Visit(QAccessibleInterface* iface, const QString& shot, int depth) {
    if (!iface || !iface->isValid() || depth > 40) return;
    auto* w = qobject_cast<QWidget*>(iface->object());
    if (w && !w->isVisible()) return;
    if (iface->state().invisible && !w) return;
    Check(iface, w, shot);
    // A spin box's line edit is part of the spin box to the reader; an
    // editable combo box's line edit takes the keyboard and is read itself.
    if (w && qobject_cast<QAbstractSpinBox*>(w)) return;
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
      if (combo->lineEdit()) Visit(QAccessible::queryAccessibleInterface(combo->lineEdit()), shot, depth + 1);
      return;
    }
    for (int i = 0; i < iface->childCount(); ++i) Visit(iface->child(i), shot, depth + 1);
  }

  void Check(QAccessibleInterface* iface, QWidget* w, const QString& shot) {
    const QAccessible::Role role = iface->role();
    const QString name = iface->text(QAccessible::Name);
    const QString what = w ? Describe(w) : QStringLiteral("%1 item").arg(int(role));
    if (auto* panel = qobject_cast<CStatusPanel*>(w)) {
      if (name != panel->Text() && iface->text(QAccessible::Description) != panel->Text()) {
        Fault(what, QStringLiteral("hides its text \"%1\"").arg(panel->Text()), shot);
      }
      return;
    }
    if (auto* button = qobject_cast<CImageButton*>(w); button && name != StripAmp(button->text())) {
      Fault(what, QStringLiteral("reads \"%1\" for the caption \"%2\"").arg(name, button->text()), shot);
    }
    if (!NeedsName(role)) return;
    // The icon of a message box: the box's own role already says what kind
    // of message it is.
    if (role == QAccessible::Graphic && w && qobject_cast<QMessageBox*>(w->window())) return;
    if (Caption(iface, w).trimmed().isEmpty()) Fault(what, QStringLiteral("has no name"), shot);
    if (w) {
      const QString value = ValueFault(iface, w);
      if (!value.isEmpty()) Fault(what, value, shot);
    }
  }
};

void Report(const Walk& walk) {
  for (auto it = walk.faults.begin(); it != walk.faults.end(); ++it) {
    qWarning("%s (%s)", qPrintable(it.key()), qPrintable(it.value()));
  }
}

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

 private slots:
  void ScreenshotWindowsAndDialogsCanBeRead() {
    QTemporaryDir dir;
    Walk walk;
    QCOMPARE(RenderScreenshots(dir.path(), [&](QWidget& shown, const QString& name) { walk.Window(shown, name); }), 0);
    Report(walk);
    QVERIFY2(walk.faults.isEmpty(), qPrintable(QStringLiteral("%1 faults").arg(walk.faults.size())));
  }

  // The status panel reads as a status bar named by the text it shows, and
  // tells when that text changes, so a screen reader hears new markers.
  void StatusPanelReadsAndAnnouncesItsText() {
    WindowRig rig({{"Settings/AutoLoad", 1}});
    CStatusPanel& panel = rig.window->StatusPanel();
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&panel);
    QCOMPARE(iface->role(), QAccessible::StatusBar);
    QCOMPARE(iface->text(QAccessible::Name), panel.Text());
    QVERIFY(panel.Text().startsWith(QStringLiteral("Dalmarin Kelvane")));

    AccessibilityEvents events;
    rig.ConnectTo(QStringLiteral("sim:3"));
    auto* basic = rig.window->Sheet().Page(PG_BASIC);
    QVERIFY(basic);
    rig.window->Sheet().setCurrentWidget(basic);
    events.Clear();
    // An edit on the Basic page: the marker is read and announced once.
    QLineEdit* s0 = nullptr;
    for (QLabel* label : basic->findChildren<QLabel*>()) {
      if (label->text() == QStringLiteral("Rings to Auto-Answer [S0]")) s0 = qobject_cast<QLineEdit*>(label->buddy());
    }
    QVERIFY(s0);
    s0->setText(s0->text() == QStringLiteral("9") ? QStringLiteral("8") : QStringLiteral("9"));
    // After the markers, what the read said.
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral(" [Basic Changed] 8 pages read from the modem."));
    QCOMPARE(events.Count(&panel, QAccessible::NameChanged), 1);
    // Redrawn with the same markers: nothing new to announce.
    panel.SetText(panel.Markers());
    QCOMPARE(events.Count(&panel, QAccessible::NameChanged), 1);
    // Written: the write is told, the markers go, and both are announced.
    static_cast<CConfigPage*>(basic)->OnWrite();
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Basic written and stored."));
    QCOMPARE(events.Count(&panel, QAccessible::NameChanged), 3);
  }

  void OfflineProfilePagesCanBeRead() {
    WindowRig rig({{"Settings/AutoLoad", 0}});
    rig.window->OnCommand(ID_NEW_PROFILE);
    CPropSheet& sheet = rig.window->Sheet();
    QCOMPARE(sheet.count(), 8);
    Walk walk;
    for (int i = 0; i < sheet.count(); ++i) {
      sheet.setCurrentIndex(i);
      QCoreApplication::processEvents();
      walk.Window(*rig.window, QStringLiteral("offline ") + sheet.tabText(i));
    }
    Report(walk);
    QVERIFY2(walk.faults.isEmpty(), qPrintable(QStringLiteral("%1 faults").arg(walk.faults.size())));
  }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
