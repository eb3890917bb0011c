#pragma once

#include <QString>
#include <QStringList>

namespace engine {

// The statements that build the sample database, in order.
QStringList sampleSchema();
// Creates a dialect-1 database at path and fills it with the sample schema
// and a few rows. On failure the half-made file is removed and the error
// raised, so the next attempt starts clean.
void createSampleDatabase(const QString &path);
// Makes the sample database the SAMPLE alias points at when it is missing:
// the programs call it once at start, before any connection.
void ensureSampleDatabase();

} // namespace engine
