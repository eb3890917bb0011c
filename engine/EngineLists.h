#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

namespace engine {

class Database;
class Session;

// A user table or view of a database.
struct TableInfo {
    QString name;
    bool isView = false;
};

// A column of a table or view. The codes are those of RDB$FIELDS (7
// SMALLINT, 8 INTEGER, 14 CHAR, 37 VARCHAR, 261 BLOB, ...).
struct FieldInfo {
    QString name;
    int position = 0;     // RDB$FIELD_POSITION
    short fieldType = 0;  // RDB$FIELD_TYPE
    short subType = 0;    // RDB$FIELD_SUB_TYPE (0 where the catalogue has none)
    short length = 0;     // RDB$FIELD_LENGTH, in bytes
    short scale = 0;      // RDB$FIELD_SCALE
    bool nullable = true; // false when the column or its domain is NOT NULL
};

// The catalogue lists of one connected database: tables and views, the
// fields of one of them, stored procedures.
//
// Names come trimmed, in the case the catalogue holds them. The lists leave
// out system objects (system flag 1: RDB$, MON$, SEC$) and packaged
// procedures, and keep everything else, the programs' own META$ objects
// included: the programs filter those themselves.
//
// A tree of every table's fields asks for one field list per table, so the
// three catalogue statements are compiled once per object and run again for
// each call. They run in the database's explicit transaction when one is
// active, otherwise each call in a transaction of its own. The object holds
// server statements: it belongs to one Database and must not outlive it; a
// reconnect of the database is noticed and the statements compiled afresh.
class EngineLists {
public:
    explicit EngineLists(Database &db);
    ~EngineLists();
    EngineLists(const EngineLists &) = delete;
    EngineLists &operator=(const EngineLists &) = delete;

    // User tables and views in name order.
    QVector<TableInfo> tables();
    // The columns of a table or view (its name as the catalogue holds it), in
    // position order. A name that is neither raises.
    QVector<FieldInfo> fields(const QString &tableOrView);
    // Stored procedures (not packaged ones) in name order.
    QStringList procedures();

private:
    class Query;
    Database &m_db;
    std::unique_ptr<Query> m_tables;
    std::unique_ptr<Query> m_fields;
    std::unique_ptr<Query> m_procedures;
};

// The list of language drivers is languageDrivers() of LanguageDrivers.h:
// symbolic name and description of each, in a fixed order.

// What the engine is configured with on this machine.
struct SystemConfiguration {
    // The embedded engine opens database files itself and shares them with
    // the other processes of this user through the common lock folder.
    bool localShare = true;
    // Database files on network shares are never opened (Firebird refuses
    // them); remote databases go through a server.
    bool netShare = false;
    // The server's wire protocol version for a server connection ("P15" read
    // as 15), 0 for the embedded engine.
    int netProtocol = 0;
    // "Embedded", "TCP/IP (loopback)" or "TCP/IP".
    QString networkType;
    // The user name the engine works as.
    QString userName;
    // The symbolic name of the language driver connections use.
    QString languageDriver;
};

// Without a database: the embedded engine, the user from ISC_USER or the
// login name, the language driver of the driver's default parameters (UTF8
// when that is empty). With a connected database: that connection's figures
// as the server reports them.
SystemConfiguration systemConfiguration(Database *db = nullptr);

// What the engine is doing in this process now.
struct SystemStatus {
    // Kilobytes as /proc tells them: 64 bits, since a process that reserves
    // address space (a large mapping, a sanitizer's shadow) passes 2 TiB of
    // VmData, past what an int holds.
    qint64 bufferSpaceKb = 0; // resident memory of the process (VmRSS): the
                              // embedded engine's page cache lives in it
    qint64 heapSpaceKb = 0;   // data segment and heap of the process (VmData)
    int drivers = 1;       // database drivers offered: INTRBASE only
    int clients = 1;       // programs using this engine instance: this one
    int sessions = 0;      // the sessions passed in
    int databases = 0;     // connected databases of those sessions
    int cursors = 0;       // open statements and procedures of the process
    QString clientVersion; // the client library's version text
    QString serverVersion; // of the first connected database, when there is one
};

// Figures over the sessions the program uses (the default session when
// none are named).
SystemStatus systemStatus(const QList<Session *> &sessions = {});

} // namespace engine
