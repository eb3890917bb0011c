#pragma once

// What the benchmarks that drive a workbench window share in main(): a
// QApplication (offscreen unless the caller chose a platform), the flags
// and scratch folder of bench::begin, and a scripted prompter that records
// the window's messages instead of showing them.

#include "BenchSupport.h"
#include "platform/Prompter.h"

#include <QApplication>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace bench {

// Runs body with the scratch folder, then tearDown, as bench::run does;
// prompter is made here and answers for the window until both have run.
inline int runWindowBench(int argc, char **argv, const char *program,
                          std::unique_ptr<platform::ScriptedPrompter> &prompter,
                          const std::function<void(const QString &)> &body, const std::function<void()> &tearDown)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    if (!begin(&argc, argv, scratch))
        return 1;
    prompter = std::make_unique<platform::ScriptedPrompter>();
    const platform::ScopedPrompter scoped(*prompter);
    return run(program, [&] { body(scratch.path()); }, tearDown);
}

} // namespace bench
