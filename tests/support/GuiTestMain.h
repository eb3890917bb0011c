#pragma once

#include "support/TestDatabase.h"

#include <QApplication>
#include <QTest>

// The Qt Test main for tests with windows (offscreen under ctest).
#define DUNMOOR_GUI_TEST_MAIN(TestObject)                                                          \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        testsupport::initRuntime();                                                                \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
