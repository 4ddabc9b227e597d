#include <QAbstractItemView>
#include <QTest>

#include "connection/ui/port_combo.h"

using namespace kelvane;

namespace {

PortInfo Port(const std::string& path, const std::string& description = "") {
  PortInfo p;
  p.path = path;
  p.description = description;
  return p;
}

QStringList Items(const QComboBox& combo) {
  QStringList out;
  for (int i = 0; i < combo.count(); ++i) out << combo.itemText(i);
  return out;
}

}  // namespace

class PortComboTest : public QObject {
  Q_OBJECT

 private slots:
  void OpeningTheListFindsPortsPluggedInSinceTheStart() {
    std::vector<PortInfo> present = {Port("/dev/ttyS0")};
    CPortCombo combo([&] { return present; }, {"sim:3"});
    combo.Refill();
    QCOMPARE(Items(combo), (QStringList{"sim:3", "/dev/ttyS0"}));

    present.push_back(Port("/dev/ttyUSB0", "FTDI FT232R USB UART, serial A1"));
    combo.showPopup();
    QCOMPARE(Items(combo), (QStringList{"sim:3", "/dev/ttyS0", "/dev/ttyUSB0"}));
    QCOMPARE(combo.itemData(2, Qt::ToolTipRole).toString(), QStringLiteral("FTDI FT232R USB UART, serial A1"));
    QCOMPARE(combo.itemData(0, CPortCombo::DescriptionRole).toString(), QStringLiteral("Simulated RM-40 485"));
    combo.hidePopup();

    // Unplugged again: gone at the next opening.
    present.pop_back();
    combo.showPopup();
    QCOMPARE(Items(combo), (QStringList{"sim:3", "/dev/ttyS0"}));
    combo.hidePopup();
  }

  void RefillingKeepsTheChosenOrTypedPort() {
    std::vector<PortInfo> present = {Port("/dev/ttyS0"), Port("/dev/ttyUSB0")};
    CPortCombo combo([&] { return present; }, {});
    combo.Refill();
    combo.setCurrentIndex(1);
    present.insert(present.begin(), Port("/dev/ttyACM0"));
    combo.Refill();
    QCOMPARE(combo.currentText(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(combo.currentIndex(), 2);

    // A by-id name typed by hand is not in the list and stays as typed.
    combo.setEditText(QStringLiteral("/dev/serial/by-id/usb-FTDI_X-if00-port0"));
    combo.Refill();
    QCOMPARE(combo.currentText(), QStringLiteral("/dev/serial/by-id/usb-FTDI_X-if00-port0"));
  }

  void NetworkPortsUsedAreKeptLastUsedFirst() {
    CPortCombo combo([] { return std::vector<PortInfo>{Port("/dev/ttyS0")}; }, {"sim:3"});
    combo.SetRemembered({"tcp://old:2002"});
    combo.Refill();
    QCOMPARE(Items(combo), (QStringList{"sim:3", "tcp://old:2002", "/dev/ttyS0"}));
    combo.Remember(QStringLiteral("/dev/ttyS0"));
    combo.Remember(QStringLiteral("RFC2217://Station7:2001"));
    // A second spelling of a kept port moves it to the front, written one way.
    const QStringList kept = combo.Remember(QStringLiteral("rfc2217://station7:2001"));
    QCOMPARE(kept, (QStringList{"rfc2217://station7:2001", "tcp://old:2002"}));
    QCOMPARE(Items(combo), (QStringList{"sim:3", "rfc2217://station7:2001", "tcp://old:2002", "/dev/ttyS0"}));
    for (int i = 0; i < 10; ++i) combo.Remember(QStringLiteral("tcp://h:%1").arg(3000 + i));
    QCOMPARE(combo.Remember(QString()).size(), 8);
  }

  void TheListShowsEachPathWithItsDescription() {
    CPortCombo combo([] { return std::vector<PortInfo>{Port("/dev/ttyUSB0", "FTDI FT232R"), Port("/dev/ttyS0")}; },
                     {});
    combo.Refill();
    QCOMPARE(combo.ListText(0), QStringLiteral("/dev/ttyUSB0   FTDI FT232R"));
    QCOMPARE(combo.ListText(1), QStringLiteral("/dev/ttyS0"));
    // The edit field holds the path alone: it becomes the port name.
    combo.setCurrentIndex(0);
    QCOMPARE(combo.currentText(), QStringLiteral("/dev/ttyUSB0"));
  }
};

QTEST_MAIN(PortComboTest)
#include "port_combo_test.moc"
