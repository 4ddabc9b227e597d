# kelvane_add_qtest_program(<target>
#     SOURCES <file_test.cpp>...      each file is one QtTest class ending in QTEST_MAIN
#     TEST_NAME <pattern>             CTest name of each file's test: {name} is the file
#                                     name without ".cpp", {unit} the same without "_test"
#     PROGRAM_PREFIX <prefix>         the test's program name is <prefix>{name}
#     LIBRARIES <library>...
#     TIMEOUT <seconds>
#     ENVIRONMENT <VAR=value>...
#     PARTS <name> <count>...)        runs the data rows of file <name> as <count>
#                                     CTest tests, <test>.1 to <test>.<count>
#
# Builds one program from many QtTest files and registers each file as its
# own CTest test, run as `<target> {name}` (grouped_qtest.h). One program is
# compiled, moc'ed and linked once instead of once per file. A new *_test.cpp
# in a folder that globs its tests needs no change here; helpers in the file
# belong in an anonymous namespace, as the files share the program.
#
# A long table of independent rows runs in PARTS: each part is its own CTest
# test and process, so that a parallel run spreads the table over the cores.
# Part k of n runs the rows whose index modulo n is k - 1 (see
# kelvane::testing::InThisPart, which the table's _data function calls).
set(KELVANE_GROUPED_QTEST_DIR ${CMAKE_CURRENT_LIST_DIR})

function(kelvane_add_qtest_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "TEST_NAME;PROGRAM_PREFIX;TIMEOUT" "SOURCES;LIBRARIES;ENVIRONMENT;PARTS")
  add_executable(${target} ${arg_SOURCES} ${KELVANE_GROUPED_QTEST_DIR}/grouped_qtest_main.cpp
    ${KELVANE_GROUPED_QTEST_DIR}/grouped_qtest.h)
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  kelvane_test_optimisation(${target})
  target_link_libraries(${target} PRIVATE ${arg_LIBRARIES} Qt6::Test)
  target_include_directories(${target} PRIVATE ${KELVANE_GROUPED_QTEST_DIR})
  target_compile_definitions(${target} PRIVATE KELVANE_QTEST_PROGRAM_PREFIX="${arg_PROGRAM_PREFIX}")
  # grouped_qtest.h comes before the test file's own includes: as the last of
  # the precompiled headers (Qt Widgets, QtTest and the standard library,
  # whose parsing was most of the work of compiling a test file), or on its
  # own where those are switched off. Each program has its own: QtTest's
  # headers depend on the folder the program is built in.
  if(CMAKE_DISABLE_PRECOMPILE_HEADERS)
    target_compile_options(${target} PRIVATE -include ${KELVANE_GROUPED_QTEST_DIR}/grouped_qtest.h)
  else()
    target_precompile_headers(${target} PRIVATE <QApplication> <QTest> <QWidget> <QDialog> <QComboBox> <QLabel>
      <QLineEdit> <QPushButton> <QGroupBox> <QBoxLayout> <QGridLayout> <QTimer> <QTemporaryDir> <functional> <map>
      <memory> <string> <vector> ${KELVANE_GROUPED_QTEST_DIR}/grouped_qtest.h)
  endif()

  foreach(source ${arg_SOURCES})
    get_filename_component(name ${source} NAME_WE)
    string(REGEX REPLACE "_test$" "" unit ${name})
    string(REPLACE "{name}" ${name} test ${arg_TEST_NAME})
    string(REPLACE "{unit}" ${unit} test ${test})
    list(FIND arg_PARTS ${name} at)
    if(at EQUAL -1)
      add_test(NAME ${test} COMMAND ${target} ${name})
      set_tests_properties(${test} PROPERTIES TIMEOUT ${arg_TIMEOUT} ENVIRONMENT "${arg_ENVIRONMENT}")
    else()
      math(EXPR at "${at} + 1")
      list(GET arg_PARTS ${at} count)
      foreach(part RANGE 1 ${count})
        add_test(NAME ${test}.${part} COMMAND ${target} ${name})
        set_tests_properties(${test}.${part} PROPERTIES TIMEOUT ${arg_TIMEOUT}
          ENVIRONMENT "${arg_ENVIRONMENT};KELVANE_QTEST_PART=${part}/${count}")
      endforeach()
    endif()
  endforeach()
endfunction()
