// The password rule of the Remote page: empty or 6 characters and more.

#include <gtest/gtest.h>

#include "config/page_values.h"
#include "config/remote_values.h"

namespace kelvane {
namespace {

TEST(RemotePassword, OnlyEmptyOrSixAndMoreReplaceTheStoredOne) {
  struct Case {
    std::string typed;
    bool stored;
    std::string result;
  };
  const Case cases[] = {
      {"", true, ""},
      {"a", false, "oldpass1"},
      {"abcde", false, "oldpass1"},
      {"abcdef", true, "abcdef"},
      {"abcdefghijkl", true, "abcdefghijkl"},
      {std::string(25, 'p'), true, std::string(20, 'p')},  // the record holds 20
  };
  for (const Case& c : cases) {
    RemoteSettings r{};
    CopyFieldText(r.RemotePassword, sizeof r.RemotePassword, "oldpass1");
    EXPECT_EQ(StoreRemotePassword(r, c.typed), c.stored) << c.typed;
    EXPECT_EQ(FieldText(r.RemotePassword, sizeof r.RemotePassword), c.result) << c.typed;
    EXPECT_EQ(r.RemotePassword[20], 0);
  }
  EXPECT_EQ(FindNumberedItem(RemoteEnableItems(), 1), 1);
  EXPECT_EQ(FindNumberedItem(RemoteEnableItems(), 2), -1);
}

}  // namespace
}  // namespace kelvane
