#pragma once

// Statements sent straight to a database by the tests and the benchmarks
// while they set up and check their data.

#include "engine/Database.h"

#include <QString>
#include <QVariant>

namespace testsupport {

// Runs statements without parameter parsing, each committed at once.
void exec(engine::Database &db, const QString &sql);
// The first column of the first row, or an invalid value when there is none.
QVariant scalar(engine::Database &db, const QString &sql);
// The embedded database at path writes its pages without waiting for the
// disk, for the connections made after this (commits then cost no sync;
// for runs of many commits). Throws engine::Error when refused.
void writeWithoutSync(const QString &path);

} // namespace testsupport
