// The main window at its minimum size and at the size it opens with, with
// every page the sheet can show: no widget overlaps another, none is cut,
// no value is shown in part; and the Compare dialog's values shown whole.

#include <QAbstractButton>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include <cstring>

#include "app/compare_dlg.h"
#include "app/main_dlg.h"
#include "app/profile_comparison.h"
#include "config/profile.h"
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

// Values the user reads whole: a read-only line or listing whose text runs
// past its field, which shows only the start of it.
void CheckValuesShownWhole(QWidget* page, const QString& where, QStringList& faults) {
  for (QPlainTextEdit* box : page->findChildren<QPlainTextEdit*>()) {
    if (!box->isVisible() || !box->isReadOnly() || box->lineWrapMode() != QPlainTextEdit::NoWrap) continue;
    if (box->horizontalScrollBar()->maximum() > 0) {
      faults << QStringLiteral("%1: the listing \"%2\" cuts its lines (%3 pixels hidden)")
                    .arg(where, box->accessibleName())
                    .arg(box->horizontalScrollBar()->maximum());
    }
  }
  for (QLineEdit* line : page->findChildren<QLineEdit*>()) {
    if (!line->isVisible() || !line->isReadOnly() || line->text().isEmpty()) continue;
    const int room = line->width() - 2 * line->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) - 4;
    if (line->fontMetrics().horizontalAdvance(line->text()) > room) {
      faults << QStringLiteral("%1: \"%2\" does not fit its %3 pixels").arg(where, line->text()).arg(room);
    }
  }
}

// The cells of a list whose text, wrapped in its column, is cut.
void CheckCellsShownWhole(QTreeWidget* list, const QString& where, QStringList& faults) {
  const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    for (int c = 0; c < list->columnCount(); ++c) {
      const QRect cell = list->visualItemRect(item).intersected(
          QRect(list->header()->sectionViewportPosition(c), 0, list->header()->sectionSize(c), 100000));
      const QRect needs = list->fontMetrics().boundingRect(QRect(0, 0, cell.width() - 2 * margin, 100000),
                                                           Qt::TextWordWrap, item->text(c));
      if (needs.width() > cell.width() - 2 * margin || needs.height() > cell.height()) {
        faults << QStringLiteral("%1: \"%2\" needs %3 x %4 in a cell of %5 x %6")
                      .arg(where, item->text(c))
                      .arg(needs.width())
                      .arg(needs.height())
                      .arg(cell.width() - 2 * margin)
                      .arg(cell.height());
      }
    }
  }
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
  // At the minimum size and at the size the window opens with, on every
  // page: nothing overlaps or is cut, no value (the Diagnostic page's
  // listing included) is shown in part, and at the opening size every tab
  // shows; then the Compare dialog at its own two sizes.
  void EveryPageFitsTheMinimumSize() {
    WindowRig rig({{"Settings/AutoLoad", 1}});
    CAdapter& a = rig.a;
    CMainDlg& window = *rig.window;
    // The I/O model, identified and read (the last connection a V.34 line
    // ended by "LOCAL REQUEST"): the sheet shows every page it has.
    rig.ConnectTo(QStringLiteral("sim:3"));
    QCOMPARE(a.ModelType, 3);
    CPropSheet& sheet = window.Sheet();
    const std::vector<int> wanted = CPropSheet::WantedPages(a.LinkState, a.ModelType);
    QCOMPARE(wanted.size(), size_t(8));

    struct Size {
      const char* name;
      QSize size;
      bool everyTab;
    };
    QStringList faults;
    for (const Size& s : {Size{"minimum", QSize(CMainDlg::kMinWidth, CMainDlg::kMinHeight), false},
                          Size{"default", QSize(960, 600), true}}) {
      window.resize(s.size);
      QCoreApplication::processEvents();
      QCOMPARE(window.size(), s.size);
      for (int i = 0; i < sheet.count(); ++i) {
        sheet.setCurrentIndex(i);
        QCoreApplication::processEvents();
        QTest::qWait(20);
        const QString where = QStringLiteral("%1 size, %2").arg(QLatin1String(s.name), sheet.tabText(i));
        Check(window.centralWidget(), where, faults);
        CheckValuesShownWhole(sheet.currentWidget(), where, faults);
      }
      if (s.everyTab) {
        QTabBar* bar = sheet.tabBar();
        for (int i = 0; i < bar->count(); ++i) {
          if (!bar->rect().contains(bar->tabRect(i))) {
            faults << QStringLiteral("%1 size: the tab \"%2\" is behind the scroll arrows")
                          .arg(QLatin1String(s.name), bar->tabText(i));
          }
        }
      }
      // The terminal pane and the sheet sit side by side.
      QVERIFY(!sheet.geometry().intersects(window.Terminal().geometry()));
    }

    // A profile that differs in long values: each shown whole in its cell.
    ConfigBlock file = a.Config;
    file.serial.ModemFlowControl = a.Config.serial.ModemFlowControl == 0 ? 3 : 0;
    file.basic.S0 = a.Config.basic.S0 == 4 ? 5 : 4;
    file.dial.DialAbort = a.Config.dial.DialAbort == 0 ? 1 : 0;
    std::strcpy(file.io.Data2[1], "The door of the pump house was opened outside the hours of service");
    const std::string path = rig.store.dir.filePath(QStringLiteral("long values.dat")).toStdString();
    std::string error;
    QVERIFY2(SaveProfileFile(path, file, error), error.c_str());
    QVERIFY(window.Comparison().Start(path));
    CCompareDlg compare(window.Comparison(), rig.ui, &window);
    compare.show();
    QVERIFY(compare.List()->topLevelItemCount() >= 3);
    for (const Size& s : {Size{"Compare minimum", compare.minimumSize(), false},
                          Size{"Compare default", QSize(780, 460), false}}) {
      compare.resize(s.size);
      QCoreApplication::processEvents();
      QTest::qWait(20);
      CheckCellsShownWhole(compare.List(), QLatin1String(s.name), faults);
    }

    // QtTest cuts a long failure message: every fault gets its own line.
    for (const QString& fault : faults) qWarning("%s", qPrintable(fault));
    QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("%1 layout faults").arg(faults.size())));
  }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
