// main() of a program holding several QtTest files (see grouped_qtest.h):
// runs the test named by the first argument, a source file's name without
// its extension, with the remaining arguments passed to QtTest.
//
// The test sees the program name it had as a program of its own
// (KELVANE_QTEST_PROGRAM_PREFIX + name), since the application name, and with
// it the settings and cache files of the test, follow from that name.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "grouped_qtest.h"

namespace kelvane::testing {
namespace {

std::map<std::string, QtTestMain>& Registry() {
  static std::map<std::string, QtTestMain> tests;
  return tests;
}

int& SameNames() {
  static int count = 0;
  return count;
}

std::string TestName(const char* file) {
  std::string name = file;
  if (const auto slash = name.find_last_of('/'); slash != std::string::npos) name.erase(0, slash + 1);
  if (const auto dot = name.find('.'); dot != std::string::npos) name.erase(dot);
  return name;
}

}  // namespace

bool RegisterQtTest(const char* file, QtTestMain run) {
  const bool added = Registry().emplace(TestName(file), run).second;
  if (!added) {
    std::fprintf(stderr, "two QtTest files in this program are named %s\n", TestName(file).c_str());
    ++SameNames();
  }
  return added;
}

bool InThisPart(int row) {
  static const std::pair<int, int> part = [] {
    const char* text = std::getenv("KELVANE_QTEST_PART");
    int k = 0, n = 0;
    if (!text || std::sscanf(text, "%d/%d", &k, &n) != 2 || n < 1 || k < 1 || k > n) {
      if (text) std::fprintf(stderr, "KELVANE_QTEST_PART=%s is not k/n; every row runs\n", text);
      return std::pair{0, 1};
    }
    return std::pair{k - 1, n};
  }();
  return row % part.second == part.first;
}

}  // namespace kelvane::testing

int main(int argc, char* argv[]) {
  const auto& tests = kelvane::testing::Registry();
  if (kelvane::testing::SameNames() > 0) return 2;
  const auto test = argc >= 2 ? tests.find(argv[1]) : tests.end();
  if (test == tests.end()) {
    if (argc >= 2) std::fprintf(stderr, "no test named %s\n", argv[1]);
    std::fprintf(stderr, "usage: %s TEST [QtTest arguments...]\nTests:\n", argv[0]);
    for (const auto& entry : tests) std::fprintf(stderr, "  %s\n", entry.first.c_str());
    return 2;
  }

  std::string program = argv[0];
  const auto slash = program.find_last_of('/');
  program = program.substr(0, slash == std::string::npos ? 0 : slash + 1) + KELVANE_QTEST_PROGRAM_PREFIX + test->first;
  std::vector<char*> arguments{program.data()};
  for (int i = 2; i < argc; ++i) arguments.push_back(argv[i]);
  arguments.push_back(nullptr);
  return test->second(argc - 1, arguments.data());
}
