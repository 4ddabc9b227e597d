#pragma once
// Lets many QtTest files share one program. Every test file ends in
// QTEST_MAIN(SomeTest) as usual; with this header included first (the build
// does that for the grouped widget-test programs), QTEST_MAIN no longer
// defines main() but registers the test under its file's name, and the
// program's main() (grouped_qtest_main.cpp) runs the one named by its first
// argument:
//
//   kelvane_app_tests fault_matrix_test [QtTest arguments...]
//
// Each test file keeps its helpers in an anonymous namespace, since the files
// now share one program.

#include <QtGlobal>
#if defined(QT_WIDGETS_LIB)
#include <QApplication>
#elif defined(QT_GUI_LIB)
#include <QGuiApplication>
#else
#include <QCoreApplication>
#endif
#include <QTest>

namespace kelvane::testing {

using QtTestMain = int (*)(int argc, char* argv[]);

// Records the test of the source file `file` (its __FILE__); returns true.
bool RegisterQtTest(const char* file, QtTestMain run);

// Whether data row `row` (counted from 0) is one this run takes: with
// KELVANE_QTEST_PART=k/n in the environment, the rows whose index modulo n is
// k - 1; without it, every row. A table run in parts (PARTS in
// grouped_qtest.cmake) adds only these rows.
bool InThisPart(int row);

}  // namespace kelvane::testing

#undef QTEST_MAIN
#undef QTEST_APPLESS_MAIN
#undef QTEST_GUILESS_MAIN

#define KELVANE_GROUPED_QTEST(TestObject, ...)                                                  \
  namespace {                                                                                  \
  int RunGroupedQtTest_##TestObject(int argc, char* argv[]) {                                  \
    QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>();                         \
    __VA_ARGS__                                                                                \
    TestObject tc;                                                                             \
    QTEST_SET_MAIN_SOURCE_PATH                                                                 \
    return QTest::qExec(&tc, argc, argv);                                                      \
  }                                                                                            \
  [[maybe_unused]] const bool registered_##TestObject =                                                       \
      kelvane::testing::RegisterQtTest(__FILE__, &RunGroupedQtTest_##TestObject);              \
  }

#define QTEST_MAIN(TestObject) KELVANE_GROUPED_QTEST(TestObject, QTEST_MAIN_SETUP())
#define QTEST_APPLESS_MAIN(TestObject) KELVANE_GROUPED_QTEST(TestObject)
#define QTEST_GUILESS_MAIN(TestObject) KELVANE_GROUPED_QTEST(TestObject, QTEST_QAPP_SETUP(QCoreApplication))
