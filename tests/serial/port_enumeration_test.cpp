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

  fs::path root_;
};

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
  EXPECT_EQ(ports[2].description, "usb-Maker_Cable_1234-if00-port0");
  EXPECT_EQ(ports[0].description, "");
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
