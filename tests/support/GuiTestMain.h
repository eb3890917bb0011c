#pragma once

#include "platform/Modal.h"
#include "support/TestDatabase.h"

#include <QApplication>
#include <QTest>

namespace testsupport {
// A dialog handed to a test's hook or scripted prompter that a person could
// not use fails the running test.
inline void failOnRefusedDialogs()
{
    platform::setRefusalReport([](const QString &why) {
        QTest::qFail(qPrintable(QStringLiteral("refused dialog: ") + why), __FILE__, __LINE__);
    });
}
} // namespace testsupport

// The Qt Test main for tests with windows (offscreen under ctest).
#define DUNMOOR_GUI_TEST_MAIN(TestObject)                                                          \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        testsupport::initRuntime();                                                                \
        testsupport::failOnRefusedDialogs();                                                       \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
