#include "connection/ui/port_combo.h"

#include <QAbstractItemView>
#include <QFile>
#include <QStyledItemDelegate>

#include "config/adapter.h"
#include "serial/network_serial_port.h"
#include "sim/simulated_port.h"

namespace kelvane {

namespace {

// Draws a list item as "path   description".
class PortItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QString Text(const QModelIndex& index) const {
    QStyleOptionViewItem option;
    initStyleOption(&option, index);
    return option.text;
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QString description = index.data(CPortCombo::DescriptionRole).toString();
    if (!description.isEmpty()) option->text += QStringLiteral("   ") + description;
  }
};

}  // namespace

CPortCombo::CPortCombo(Enumerator enumerate, const QStringList& extraPorts, QWidget* parent)
    : QComboBox(parent), enumerate_(std::move(enumerate)), extraPorts_(extraPorts) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setItemDelegate(new PortItemDelegate(this));
}

void CPortCombo::Refill() {
  const QString text = currentText();
  const bool hadItems = count() > 0;
  blockSignals(true);
  clear();
  for (const QString& name : extraPorts_) {
    addItem(name);
    const int model = SimulatedModelType(name.toStdString());
    if (model) {
      const std::string_view modelName = ModelName(model);
      const QString description =
          QStringLiteral("Simulated %1").arg(QString::fromLatin1(modelName.data(), modelName.size()));
      setItemData(count() - 1, description, Qt::ToolTipRole);
      setItemData(count() - 1, description, DescriptionRole);
    }
  }
  for (const QString& name : remembered_) {
    addItem(name);
    setItemData(count() - 1, QStringLiteral("Network port"), Qt::ToolTipRole);
    setItemData(count() - 1, QStringLiteral("Network port"), DescriptionRole);
  }
  if (enumerate_) {
    for (const PortInfo& p : enumerate_()) {
      addItem(QFile::decodeName(QByteArray::fromStdString(p.path)));
      if (!p.description.empty()) {
        const QString description = QString::fromStdString(p.description);
        setItemData(count() - 1, description, Qt::ToolTipRole);
        setItemData(count() - 1, description, DescriptionRole);
      }
    }
  }
  // The first fill leaves the choice to the page; later ones keep what the
  // user chose or typed.
  if (hadItems || !text.isEmpty()) {
    const int index = findText(text, Qt::MatchFixedString);
    if (index >= 0) {
      setCurrentIndex(index);
    } else {
      setCurrentIndex(-1);
      setEditText(text);
    }
  }
  blockSignals(false);
}

QString CPortCombo::ListText(int row) const {
  const auto* delegate = static_cast<const PortItemDelegate*>(itemDelegate());
  return delegate->Text(model()->index(row, 0));
}

void CPortCombo::showPopup() {
  Refill();
  // Wide enough for the descriptions, which the closed box does not show.
  view()->setMinimumWidth(std::max(width(), view()->sizeHintForColumn(0) + 8));
  QComboBox::showPopup();
}

QStringList CPortCombo::Remember(const QString& port) {
  const std::string name = port.trimmed().toStdString();
  if (!IsNetworkPortName(name)) return remembered_;
  const QString canonical = QString::fromStdString(CanonicalPortName(name));
  remembered_.removeAll(canonical);
  remembered_.prepend(canonical);
  while (remembered_.size() > 8) remembered_.removeLast();
  Refill();
  return remembered_;
}

}  // namespace kelvane
