// The main window at its minimum size, with every page the sheet can show:
// no widget overlaps another and none is cut.

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

#include "app/main_dlg.h"
#include "app/prop_sheet.h"
#include "connection/ui/tab_connection.h"
#include "connection/ui/terminal_dlg.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::WindowRig;

namespace {

QString Name(const QWidget* w) {
  QString text;
  if (auto* l = qobject_cast<const QLabel*>(w)) text = l->text();
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) text = b->text();
  if (auto* c = qobject_cast<const QComboBox*>(w)) text = c->currentText();
  return QStringLiteral("%1 \"%2\" (%3)")
      .arg(QString::fromLatin1(w->metaObject()->className()), text, w->objectName());
}

// The widgets a layout places, through its nested layouts.
void PlacedWidgets(QLayout* layout, QList<QWidget*>& out) {
  for (int i = 0; i < layout->count(); ++i) {
    QLayoutItem* item = layout->itemAt(i);
    if (QWidget* w = item->widget()) {
      if (w->isVisibleTo(layout->parentWidget())) out << w;
    } else if (QLayout* inner = item->layout()) {
      PlacedWidgets(inner, out);
    }
  }
}

// The room the text of a label or button needs (smaller, it shows the text
// cut); nothing for other controls. A combo box may be narrower than its
// longest entry: its list opens as wide as the entries.
QSize TextNeeds(const QWidget* w) {
  const QFontMetrics fm = w->fontMetrics();
  if (auto* l = qobject_cast<const QLabel*>(w)) {
    if (l->text().isEmpty() || !l->pixmap().isNull()) return {};
    if (l->wordWrap()) return {0, l->heightForWidth(l->width())};
    return l->sizeHint();
  }
  QString text;
  int chrome = 0;  // frame, padding, arrow
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
    text = b->text().remove(QLatin1Char('&'));
    chrome = 6 + (b->icon().isNull() ? 0 : b->iconSize().width());
  }
  if (text.isEmpty()) return {};
  return {fm.horizontalAdvance(text) + chrome, fm.height()};
}

// The entries of a combo box that its field cannot show whole. The open list
// is as wide as the entries, but the closed box shows the chosen one, so it
// must fit the field: on one line, or wrapped over the lines a
// CWrapComboBox has.
QStringList CutEntries(const QComboBox* combo) {
  QStyleOptionComboBox option;
  option.initFrom(combo);
  option.editable = combo->isEditable();
  const QRect field =
      combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
  const QFontMetrics fm = combo->fontMetrics();
  QStringList cut;
  for (int i = 0; i < combo->count(); ++i) {
    const QString text = combo->itemText(i);
    const QRect needs = fm.boundingRect(QRect(0, 0, field.width(), 10000), Qt::TextWordWrap, text);
    const bool fits = needs.width() <= field.width() && needs.height() <= field.height();
    if (!fits) cut << text;
  }
  return cut;
}

void Check(QWidget* parent, const QString& where, QStringList& faults) {
  if (QLayout* layout = parent->layout()) {
    QList<QWidget*> placed;
    PlacedWidgets(layout, placed);
    for (int i = 0; i < placed.size(); ++i) {
      QWidget* w = placed[i];
      const QRect g = w->geometry();
      if (!parent->rect().contains(g)) {
        faults << QStringLiteral("%1: %2 is cut by its parent %3").arg(where, Name(w), Name(parent));
      }
      const QSize need = TextNeeds(w);
      if (g.width() < need.width() || g.height() < need.height()) {
        faults << QStringLiteral("%1: %2 is %3 x %4 but its text needs %5 x %6")
                      .arg(where, Name(w))
                      .arg(g.width())
                      .arg(g.height())
                      .arg(need.width())
                      .arg(need.height());
      }
      if (auto* combo = qobject_cast<const QComboBox*>(w); combo && !combo->isEditable()) {
        for (const QString& entry : CutEntries(combo)) {
          faults << QStringLiteral("%1: %2 is %3 wide and cuts \"%4\"").arg(where, Name(w)).arg(g.width()).arg(entry);
        }
      }
      for (int j = i + 1; j < placed.size(); ++j) {
        if (g.intersects(placed[j]->geometry())) {
          faults << QStringLiteral("%1: %2 overlaps %3").arg(where, Name(w), Name(placed[j]));
        }
      }
    }
  }
  for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isVisible() && !child->isWindow()) Check(child, where, faults);
  }
}

}  // namespace

class LayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryPageFitsTheMinimumSize() {
    WindowRig rig({{"Settings/AutoLoad", 1}});
    CAdapter& a = rig.a;
    CMainDlg& window = *rig.window;
    window.resize(window.minimumSize());
    QCOMPARE(window.size(), QSize(CMainDlg::kMinWidth, CMainDlg::kMinHeight));

    // The I/O model, identified and read: the sheet shows every page it has.
    rig.ConnectTo(QStringLiteral("sim:3"));
    QCOMPARE(a.ModelType, 3);
    CPropSheet& sheet = window.Sheet();
    const std::vector<int> wanted = CPropSheet::WantedPages(a.LinkState, a.ModelType);
    QCOMPARE(wanted.size(), size_t(8));

    QStringList faults;
    for (int i = 0; i < sheet.count(); ++i) {
      sheet.setCurrentIndex(i);
      QCoreApplication::processEvents();
      QTest::qWait(20);
      Check(window.centralWidget(), sheet.tabText(i), faults);
    }
    // QtTest cuts a long failure message: every fault gets its own line.
    for (const QString& fault : faults) qWarning("%s", qPrintable(fault));
    QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("%1 layout faults").arg(faults.size())));
    // The terminal pane and the sheet sit side by side.
    QVERIFY(!sheet.geometry().intersects(window.Terminal().geometry()));
  }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
