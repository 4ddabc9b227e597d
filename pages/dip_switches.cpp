#include "pages/dip_switches.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPointer>

namespace kelvane {

namespace {

const QString kNoInformation = QStringLiteral("No switch information");

// A bank has no widget of its own (the switch images are laid out in the
// group directly, so the images stay where they always were): it is an
// interface between the group's and the switches'.
class DipBankAccessible : public QAccessibleInterface {
 public:
  DipBankAccessible(CDipSwitches* group, int bank) : group_(group), bank_(bank) {}

  bool isValid() const override { return !group_.isNull(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    QAccessibleInterface* parent = this->parent();
    return parent ? parent->window() : nullptr;
  }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(group_.data()); }
  int childCount() const override { return group_ ? 8 : 0; }
  QAccessibleInterface* child(int index) const override {
    if (!group_ || index < 0 || index >= 8) return nullptr;
    return QAccessible::queryAccessibleInterface(group_->Switch(bank_, index));
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    auto* sw = child ? qobject_cast<CDipSwitch*>(child->object()) : nullptr;
    return sw && sw->Bank() == bank_ && sw->parentWidget() == group_ ? sw->Number() : -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    for (int i = 0; i < childCount(); ++i) {
      QAccessibleInterface* c = child(i);
      if (c && c->rect().contains(x, y)) return c;
    }
    return nullptr;
  }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    if (!group_) return {};
    if (t == QAccessible::Name) return QStringLiteral("S%1").arg(bank_ + 1);
    if (t == QAccessible::Description) return group_->BankValue(bank_);
    return {};
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    QRect r;
    for (int i = 0; i < childCount(); ++i) {
      if (QAccessibleInterface* c = child(i)) r = r.united(c->rect());
    }
    return r;
  }
  QAccessible::Role role() const override { return QAccessible::Grouping; }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!group_ || !group_->isVisible()) s.invisible = true;
    return s;
  }

 private:
  QPointer<CDipSwitches> group_;
  int bank_;
};

// The group holds the four banks as its children.
class DipGroupAccessible : public QAccessibleWidget {
 public:
  explicit DipGroupAccessible(CDipSwitches* group) : QAccessibleWidget(group, QAccessible::Grouping) {
    for (int k = 0; k < 4; ++k) {
      banks_[static_cast<size_t>(k)] = QAccessible::registerAccessibleInterface(new DipBankAccessible(group, k));
    }
  }
  ~DipGroupAccessible() override {
    for (QAccessible::Id id : banks_) QAccessible::deleteAccessibleInterface(id);
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return static_cast<const QGroupBox*>(widget())->title();
    return QAccessibleWidget::text(t);
  }
  int childCount() const override { return 4; }
  QAccessibleInterface* child(int index) const override {
    return index >= 0 && index < 4 ? QAccessible::accessibleInterface(banks_[static_cast<size_t>(index)]) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (int k = 0; k < 4; ++k) {
      if (QAccessible::accessibleInterface(banks_[static_cast<size_t>(k)]) == child) return k;
    }
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    for (int k = 0; k < 4; ++k) {
      QAccessibleInterface* bank = child(k);
      if (bank && bank->rect().contains(x, y)) return bank;
    }
    return nullptr;
  }

 private:
  std::array<QAccessible::Id, 4> banks_{};
};

// A switch: a check box that cannot be changed, checked when the switch is
// on, half checked while its position is not known.
class DipSwitchAccessible : public QAccessibleWidget {
 public:
  explicit DipSwitchAccessible(CDipSwitch* sw) : QAccessibleWidget(sw, QAccessible::CheckBox) {}

  QAccessibleInterface* parent() const override {
    const auto* sw = static_cast<const CDipSwitch*>(widget());
    QAccessibleInterface* group = QAccessible::queryAccessibleInterface(sw->parentWidget());
    return group ? group->child(sw->Bank()) : nullptr;
  }
  QString text(QAccessible::Text t) const override {
    const auto* sw = static_cast<const CDipSwitch*>(widget());
    if (t == QAccessible::Name) return QStringLiteral("S%1 switch %2").arg(sw->Bank() + 1).arg(sw->Number() + 1);
    if (t == QAccessible::Description && sw->Position() == DipImage::Unknown) return kNoInformation;
    return QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    const auto* sw = static_cast<const CDipSwitch*>(widget());
    QAccessible::State s = QAccessibleWidget::state();
    s.checkable = true;
    s.readOnly = true;
    s.checked = sw->Position() == DipImage::On;
    s.checkStateMixed = sw->Position() == DipImage::Unknown;
    return s;
  }
};

QAccessibleInterface* DipAccessible(const QString&, QObject* object) {
  if (auto* sw = qobject_cast<CDipSwitch*>(object); sw && qobject_cast<CDipSwitches*>(sw->parentWidget())) {
    return new DipSwitchAccessible(sw);
  }
  if (auto* group = qobject_cast<CDipSwitches*>(object)) return new DipGroupAccessible(group);
  return nullptr;
}

}  // namespace

CDipSwitch::CDipSwitch(int bank, int number, QWidget* parent) : QLabel(parent), bank_(bank), number_(number) {}

void CDipSwitch::Show(DipImage position, const QPixmap& image) {
  setPixmap(image);
  if (position == position_) return;
  QAccessible::State changed;
  changed.checked = (position == DipImage::On) != (position_ == DipImage::On);
  changed.checkStateMixed = (position == DipImage::Unknown) != (position_ == DipImage::Unknown);
  position_ = position;
  QAccessibleStateChangeEvent event(this, changed);
  QAccessible::updateAccessibility(&event);
}

CDipSwitches::CDipSwitches(const QPixmap& unknown, QWidget* parent)
    : QGroupBox(QStringLiteral("DIP Switches"), parent) {
  QAccessible::installFactory(DipAccessible);
  values_.fill(kNoInformation);
  auto* blocks = new QHBoxLayout(this);
  blocks->setSpacing(10);
  for (int k = 0; k < 4; ++k) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(1);
    grid->addWidget(new QLabel(QStringLiteral("S%1").arg(k + 1), this), 0, 0, 1, 8, Qt::AlignHCenter);
    grid->addWidget(new QLabel(QStringLiteral("On"), this), 1, 0, 1, 8, Qt::AlignLeft);
    for (int j = 0; j < 8; ++j) {
      auto* image = new CDipSwitch(k, j, this);
      image->setPixmap(unknown);
      image->setFixedSize(unknown.isNull() ? QSize(12, 24) : unknown.size());
      switches_[static_cast<size_t>(k * 8 + j)] = image;
      grid->addWidget(image, 2, j, Qt::AlignHCenter);
      grid->addWidget(new QLabel(QString::number(j + 1), this), 3, j, Qt::AlignHCenter);
    }
    blocks->addLayout(grid);
  }
  blocks->addStretch(1);
}

void CDipSwitches::Show(const std::array<DipImage, 32>& positions, const int32_t (&values)[4], const QPixmap& off,
                        const QPixmap& on, const QPixmap& unknown) {
  for (size_t i = 0; i < 32; ++i) {
    const DipImage p = positions[i];
    switches_[i]->Show(p, p == DipImage::On ? on : p == DipImage::Off ? off : unknown);
  }
  for (int k = 0; k < 4; ++k) {
    // The value as the report writes it (hex), and in decimal as the modem
    // answers ATI8.
    const auto bank = static_cast<size_t>(k);
    const QString text =
        positions[bank * 8] == DipImage::Unknown
            ? kNoInformation
            : QStringLiteral("Value %1 hex (%2)")
                  .arg(QString::number(static_cast<uint32_t>(values[bank]), 16).toUpper().rightJustified(2, QLatin1Char('0')))
                  .arg(values[bank]);
    if (text == values_[bank]) continue;
    values_[bank] = text;
    if (!QAccessible::isActive()) continue;
    if (QAccessibleInterface* group = QAccessible::queryAccessibleInterface(this)) {
      if (QAccessibleInterface* iface = group->child(k)) {
        QAccessibleEvent event(iface, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
      }
    }
  }
}

}  // namespace kelvane
