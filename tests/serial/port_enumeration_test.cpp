#include "serial/port_enumeration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace kelvane {
namespace {

namespace fs = std::filesystem;

// A fake /dev and /sys tree in a temporary folder.
class FakeTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("kelvane-ports-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(Dev() + "/serial/by-id");
    fs::create_directories(Sys() + "/class/tty");
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string Dev() const { return (root_ / "dev").string(); }
  std::string Sys() const { return (root_ / "sys").string(); }

  void AddTty(const std::string& name, bool device, const char* type = nullptr) {
    std::ofstream(Dev() + "/" + name) << "";
    const fs::path sys = fs::path(Sys()) / "class" / "tty" / name;
    fs::create_directories(sys);
    if (device) fs::create_directories(sys / "device");
    if (type) std::ofstream(sys / "type") << type << "\n";
  }

  // A USB adapter the way the kernel shows it: the USB device with its
  // strings, an interface below it and the tty below that, linked from
  // class/tty/NAME/device. `ttyBelowInterface` puts the tty one level deeper
  // (usb-serial drivers) or makes the interface the device (cdc-acm).
  void AddUsbTty(const std::string& name, const std::string& usbDevice, const char* manufacturer,
                 const char* product, const char* serial, bool ttyBelowInterface) {
    const fs::path usb = fs::path(Sys()) / "devices/pci0000:00/0000:00:14.0/usb1" / usbDevice;
    fs::create_directories(usb);
    std::ofstream(usb / "idVendor") << "0403\n";
    if (manufacturer) std::ofstream(usb / "manufacturer") << manufacturer << "\n";
    if (product) std::ofstream(usb / "product") << product << "\n";
    if (serial) std::ofstream(usb / "serial") << serial << "\n";
    fs::path device = usb / (usbDevice + ":1.0");
    if (ttyBelowInterface) device /= name;
    fs::create_directories(device);
    std::ofstream(Dev() + "/" + name) << "";
    const fs::path sys = fs::path(Sys()) / "class" / "tty" / name;
    fs::create_directories(sys);
    fs::create_symlink(device, sys / "device");
  }

  fs::path root_;
};

TEST_F(FakeTree, UsbAdaptersAreDescribedFromSysfs) {
  AddUsbTty("ttyUSB0", "1-1", "FTDI", "FT232R USB UART", "A12B34CD", true);
  AddUsbTty("ttyACM0", "1-2", "Dalmarin", "RM-40 USB", nullptr, false);
  AddUsbTty("ttyUSB1", "1-3", nullptr, nullptr, nullptr, true);
  AddTty("ttyS0", true, "4");
  fs::create_symlink("../../ttyUSB0", Dev() + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A12B34CD-if00-port0");

  const auto ports = EnumeratePorts(1, 15, Dev(), Sys());
  ASSERT_EQ(ports.size(), 4u);
  struct Expected {
    std::string path, manufacturer, product, serial, byId, description;
  };
  const std::string byId = Dev() + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A12B34CD-if00-port0";
  const Expected expected[] = {
      {Dev() + "/ttyACM0", "Dalmarin", "RM-40 USB", "", "", "Dalmarin RM-40 USB"},
      {Dev() + "/ttyS0", "", "", "", "", ""},
      {Dev() + "/ttyUSB0", "FTDI", "FT232R USB UART", "A12B34CD", byId,
       "FTDI FT232R USB UART, serial A12B34CD (" + byId + ")"},
      {Dev() + "/ttyUSB1", "", "", "", "", ""},
  };
  for (size_t i = 0; i < ports.size(); ++i) {
    SCOPED_TRACE(expected[i].path);
    EXPECT_EQ(ports[i].path, expected[i].path);
    EXPECT_EQ(ports[i].manufacturer, expected[i].manufacturer);
    EXPECT_EQ(ports[i].product, expected[i].product);
    EXPECT_EQ(ports[i].serial, expected[i].serial);
    EXPECT_EQ(ports[i].byId, expected[i].byId);
    EXPECT_EQ(ports[i].description, expected[i].description);
  }
}

TEST_F(FakeTree, SysfsTextsAreCutAtTheirFirstLineAndControlBytes) {
  AddUsbTty("ttyUSB0", "1-1", "Maker\x01\x7f Inc  \nsecond line", std::string(300, 'P').c_str(), "S1", true);
  const auto ports = EnumeratePorts(1, 15, Dev(), Sys());
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0].manufacturer, "Maker Inc");
  EXPECT_EQ(ports[0].product, std::string(128, 'P'));
}

// The owner, group and mode of a device node against the user asking.
TEST(PortAccess, ProblemNamesTheGroupToJoin) {
  const auto names = [](gid_t gid) { return gid == 20 ? std::string("dialout") : std::string(); };
  const AccessIdentity user{1000, {1000, 27}, names};
  const AccessIdentity member{1000, {1000, 20}, names};
  const AccessIdentity root{0, {0}, names};
  struct Case {
    const char* what;
    uid_t owner;
    gid_t group;
    mode_t mode;
    const AccessIdentity& who;
    std::string problem;
  };
  const std::string notInDialout = "no permission: not in the dialout group (sudo usermod -aG dialout $USER, then log in again)";
  const Case cases[] = {
      {"group member", 0, 20, 0660, member, ""},
      {"not a member", 0, 20, 0660, user, notInDialout},
      {"unnamed group", 0, 99, 0660, user, "no permission: not in the 99 group (sudo usermod -aG 99 $USER, then log in again)"},
      {"owner", 1000, 20, 0600, user, ""},
      {"owner without write", 1000, 20, 0400, user, "no permission to read and write the device"},
      {"open to all", 0, 20, 0666, user, ""},
      {"group may only read", 0, 20, 0640, user, "no permission to read and write the device"},
      {"root may always", 0, 20, 0600, root, ""},
      {"group only, member not owner", 0, 20, 0060, member, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AccessProblem(c.owner, c.group, c.mode, c.who), c.problem) << c.what;
  }
}

TEST_F(FakeTree, OffersUsbAcmAndRealUartsInNaturalOrder) {
  AddTty("ttyUSB10", true);
  AddTty("ttyUSB2", true);
  AddTty("ttyACM0", true);
  AddTty("ttyS0", true, "4");
  AddTty("ttyS1", true, "0");  // an unprobed slot
  AddTty("ttyS2", false);      // no device behind it
  AddTty("tty5", false);
  fs::create_symlink("../../ttyUSB2", Dev() + "/serial/by-id/usb-Maker_Cable_1234-if00-port0");

  const auto ports = EnumeratePorts(1, 15, Dev(), Sys());
  std::vector<std::string> paths;
  for (const auto& p : ports) paths.push_back(p.path);
  EXPECT_EQ(paths, (std::vector<std::string>{Dev() + "/ttyACM0", Dev() + "/ttyS0", Dev() + "/ttyUSB2",
                                             Dev() + "/ttyUSB10"}));
  EXPECT_EQ(ports[2].byId, Dev() + "/serial/by-id/usb-Maker_Cable_1234-if00-port0");
  EXPECT_EQ(ports[0].byId, "");
}

TEST_F(FakeTree, NumberOfPortsLimitsTheList) {
  for (int i = 0; i < 5; ++i) AddTty("ttyUSB" + std::to_string(i), true);
  EXPECT_EQ(EnumeratePorts(1, 0, Dev(), Sys()).size(), 1u);
  EXPECT_EQ(EnumeratePorts(1, 2, Dev(), Sys()).size(), 3u);
  EXPECT_EQ(EnumeratePorts(1, 15, Dev(), Sys()).size(), 5u);
}

TEST_F(FakeTree, WithoutSearchingOffersTheFirstUartsUnseen) {
  const auto ports = EnumeratePorts(0, 15, Dev(), Sys());
  ASSERT_EQ(ports.size(), 16u);
  EXPECT_EQ(ports.front().path, Dev() + "/ttyS0");
  EXPECT_EQ(ports.back().path, Dev() + "/ttyS15");
  EXPECT_EQ(EnumeratePorts(0, 0, Dev(), Sys()).size(), 1u);
}

TEST_F(FakeTree, MissingTreesGiveAnEmptyList) {
  EXPECT_TRUE(EnumeratePorts(1, 15, Dev() + "/nothing", Sys() + "/nothing").empty());
}

}  // namespace
}  // namespace kelvane
