#pragma once

#include "engine/Database.h"
#include "engine/Session.h"
#include "engine/Statement.h"

#include <QObject>
#include <memory>

// The workbench's data module: its three connections and the scratch
// statements. The catalogue lists join it as the browser grows.
class TDM : public QObject {
    Q_OBJECT
public:
    explicit TDM(QObject *parent = nullptr);
    ~TDM() override;

    engine::Session Session2{QStringLiteral("S2")};
    // Browsing, DDL and the debugger's bookkeeping.
    engine::Database Database{nullptr, QStringLiteral("UserDB")};
    // The trigger, procedure and exception lists, with the language driver emptied.
    engine::Database DatabaseN{nullptr, QStringLiteral("NationalDB")};
    // Debug runs, in its own session.
    engine::Database DataBase2{&Session2, QStringLiteral("DB2")};

    engine::Statement Q6{&Database};
    engine::Statement Q7{&Database};

    // Close, replace the text, execute; errors go to the caller.
    void Q6Exec(const QString &sql);
    void Q7Exec(const QString &sql);
    // Close, replace the text, open.
    void Q6Show(const QString &sql);
    void Q7Show(const QString &sql);
    // The text after the first "=" of Database's first parameter line, upper-cased.
    QString GetUserName() const;

    // Opens the catalogue lists of the after-connect step on Database and
    // DatabaseN (inside the caller's transactions).
    virtual void OpenUserLists();
    virtual void OpenNationalLists();
};

extern TDM *DM;
