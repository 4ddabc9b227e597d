#pragma once
// The port box of the Connection page: an editable list of the ports, built
// again each time its list is opened, so an adapter plugged in after the start
// appears without a restart. The list shows each port with what the system
// knows of it; the edit field and the selection hold only the device path.

#include <QComboBox>
#include <QStringList>

#include <functional>
#include <vector>

#include "serial/port_enumeration.h"

namespace kelvane {

class CPortCombo : public QComboBox {
  Q_OBJECT

 public:
  using Enumerator = std::function<std::vector<PortInfo>()>;

  // `extraPorts` come first (the simulated modems of the demonstration).
  CPortCombo(Enumerator enumerate, const QStringList& extraPorts, QWidget* parent = nullptr);

  // Builds the list again; the text in the edit field stays as it is.
  void Refill();

  // Network ports (rfc2217://, tcp://) cannot be found by looking: the ones
  // used are listed after the extra ports, the last used first. Remember
  // puts a port at the front (any other name is left alone) and returns the
  // list as it now stands.
  void SetRemembered(const QStringList& ports) { remembered_ = ports; }
  QStringList Remember(const QString& port);

  // The role holding an item's description, shown after its path in the list.
  static constexpr int DescriptionRole = Qt::UserRole + 1;

  // The text the opened list shows for a row.
  QString ListText(int row) const;

  void showPopup() override;

 private:
  Enumerator enumerate_;
  QStringList extraPorts_;
  QStringList remembered_;
};

}  // namespace kelvane
