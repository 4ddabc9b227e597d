// Every test program gets a runtime folder ($XDG_RUNTIME_DIR) of its own,
// which the programs it starts inherit. The command line leaves a marker of a
// call there, named after the port; pseudo-terminal names are reused at once,
// so with one folder for all, a marker that one test left behind (a port lost
// mid-call) would be taken by another test running at the same time, whose new
// simulator got the same name, for a call still up on its own modem.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class PrivateRuntimeFolder : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string folder = (std::filesystem::temp_directory_path() / "kelvane-test-runtime-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);  // mode 0700, as a runtime folder must be
    folder_ = folder;
    ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    if (folder_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

 private:
  std::string folder_;
};

[[maybe_unused]] ::testing::Environment* const kRuntimeFolder =
    ::testing::AddGlobalTestEnvironment(new PrivateRuntimeFolder);

}  // namespace
