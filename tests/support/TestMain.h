#pragma once

#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QTest>

// A Qt Test main that first points the Firebird client at the test runtime
// folder (before any client-library call reads its configuration).
#define DUNMOOR_TEST_MAIN(TestObject)                                                              \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QCoreApplication app(argc, argv);                                                          \
        testsupport::initRuntime();                                                                \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
