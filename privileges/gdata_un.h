#pragma once

#include "engine/Database.h"
#include "engine/Query.h"
#include "engine/Transaction.h"

#include <QObject>

// The privilege manager's data module: the connection to the managed
// database and the data sets of the main window. The connection always keeps
// one transaction open (`transaction`): a failed statement rolls it back,
// the next one starts, and the error goes on to the caller.
class TGrantData : public QObject {
    Q_OBJECT
public:
    explicit TGrantData(QObject *parent = nullptr);
    ~TGrantData() override;

    engine::Database grantdb{nullptr, QStringLiteral("grantdb")};
    engine::KeptTransaction transaction{grantdb};
    // Scratch query for single statements.
    engine::Query q{&grantdb};
};

// The one instance, made at start-up.
extern TGrantData *GrantData;
