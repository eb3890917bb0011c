#include "workbench/Repository.h"

#include "engine/SqlText.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Statement.h"
#include "engine/Transaction.h"
#include "engine/Values.h"
#include "platform/Prompter.h"
#include "workbench/CatalogueText.h"
#include "workbench/SpyLogic.h"

namespace {

const char *const kDebugTables[] = {"META$MTBP", "META$MTTP", "META$MTBPV", "META$MTBPA", "META$MTTPV"};

// A field as the data sets give it by name: CHARACTER SET NONE columns as
// Latin-1 text, everything else as a grid shows it.
QString fieldString(const engine::RowSet &rows, const char *field)
{
    const QVariant v = rows.value(0, rows.indexOf(QLatin1String(field)));
    return v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray()) : engine::valueText(v);
}

void showError(const QString &text)
{
    platform::Prompter::instance().message(platform::Prompter::Icon::Error, QStringLiteral("Marrowby "), text);
}

} // namespace

QStringList Repository::metaDepDdl()
{
    return {QStringLiteral("CREATE TABLE META$DEP (T1 CHAR(31),"), QStringLiteral("PKC1 CHAR(31),"),
            QStringLiteral("PKI1 CHAR(31),"), QStringLiteral("PKN1 CHAR(31),"), QStringLiteral("FKC CHAR(31),"),
            QStringLiteral("FKI CHAR(31),"), QStringLiteral("FKN CHAR(31),"), QStringLiteral("T2 CHAR(31),"),
            QStringLiteral("PKC2 CHAR(31),"), QStringLiteral("PKI2 CHAR(31),"), QStringLiteral("PKN2 CHAR(31),"),
            QStringLiteral("LEV1 INTEGER,"), QStringLiteral("LEV2 INTEGER)")};
}

QStringList Repository::metaRenewDdl()
{
    const QString oneSegment = QStringLiteral("           1 = (select count(*) from rdb$index_segments");
    const QString primaryOfT1 =
        QStringLiteral("  where rdb$constraint_type containing \"PRIMARY KEY\" and rdb$relation_name = meta$dep.T1);");
    return {
        QStringLiteral("create PROCEDURE META$RENEW AS"),
        QStringLiteral("declare variable RT char(31);"),
        QStringLiteral("declare variable RT2 char(31);"),
        QStringLiteral("declare variable RTPred char(31);"),
        QStringLiteral("declare variable C Integer;"),
        QStringLiteral("begin"),
        QStringLiteral("  delete from meta$dep;"),
        QStringLiteral("  insert into meta$dep select rdb$relation_name, \"\", \"\", \"\", rdb$constraint_name, \"\", \"\", \"\", \"\", \"\", \"\", 0, 0 from rdb$relation_constraints"),
        QStringLiteral("                         where rdb$constraint_type containing \"FOREIGN KEY\" and"),
        QStringLiteral("                         not (rdb$relation_name containing \"RDB$\");"),
        QStringLiteral("  for select rdb$relation_name from rdb$relations"),
        QStringLiteral("         where not (rdb$relation_name containing \"RDB$\")"),
        QStringLiteral("         into ::RT"),
        QStringLiteral("  do"),
        QStringLiteral("  begin"),
        QStringLiteral("    select count(*) from meta$dep where T1 = ::RT into ::C;"),
        QStringLiteral("    if (C = 0) then"),
        QStringLiteral("      insert into meta$dep values (::RT, \"\",\"\",\"\",\"\",\"\",\"\", \"\", \"\", \"\", \"\", 0, 0);"),
        QStringLiteral("  end"),
        QStringLiteral("  update meta$dep set PKC1 = (select rdb$constraint_name from rdb$relation_constraints"),
        primaryOfT1,
        QStringLiteral("  update meta$dep set PKI1 = (select rdb$index_name from rdb$relation_constraints"),
        primaryOfT1,
        QStringLiteral("  update meta$dep set FKI = (select rdb$index_name from rdb$relation_constraints"),
        QStringLiteral("  where rdb$constraint_type containing \"FOREIGN KEY\" and rdb$constraint_name = meta$dep.FKC);"),
        QStringLiteral("  update meta$dep set PKI2 = (select rdb$foreign_key from rdb$indices"),
        QStringLiteral("                              where rdb$index_name = meta$dep.FKI)"),
        QStringLiteral("  where meta$dep.FKI containing \"FOREIGN\";"),
        QStringLiteral("  update meta$dep set T2 = (select rdb$relation_name from rdb$relation_constraints"),
        QStringLiteral("  where rdb$index_name = meta$dep.PKI2);"),
        // The constraint of the referenced index: a table has further
        // constraint rows (NOT NULL ones among them), so the table name alone
        // selects several rows and the update would fail.
        QStringLiteral("  update meta$dep set PKC2 = (select rdb$constraint_name from rdb$relation_constraints"),
        QStringLiteral("  where rdb$index_name = meta$dep.PKI2);"),
        QStringLiteral("  update meta$dep set PKN1 = (select rdb$field_name from rdb$index_segments"),
        QStringLiteral("  where rdb$index_name = meta$dep.PKI1 and"),
        oneSegment,
        QStringLiteral("                where rdb$index_name = meta$dep.PKI1));"),
        QStringLiteral("  update meta$dep set FKN = (select rdb$field_name from rdb$index_segments"),
        QStringLiteral("  where rdb$index_name = meta$dep.FKI and"),
        oneSegment,
        QStringLiteral("                where rdb$index_name = meta$dep.FKI));"),
        QStringLiteral("  update meta$dep set PKN2 = (select rdb$field_name from rdb$index_segments"),
        QStringLiteral("  where rdb$index_name = meta$dep.PKI2 and"),
        oneSegment,
        QStringLiteral("                 where rdb$index_name = meta$dep.PKI2));"),
        QStringLiteral("  C = 1;"),
        QStringLiteral("  RTPred = \"\";"),
        QStringLiteral("  for select T1 from meta$dep order by T1 into ::RT"),
        QStringLiteral("  do"),
        QStringLiteral("  begin"),
        QStringLiteral("     if (RTPred <> RT) then"),
        QStringLiteral("     begin"),
        QStringLiteral("       update meta$dep set Lev1=::C where T1 = ::RT;"),
        QStringLiteral("       RTPred = RT;"),
        QStringLiteral("       C = C + 1;"),
        QStringLiteral("     end"),
        QStringLiteral("  end"),
        QStringLiteral("  for select T1, T2 from meta$dep where T2 <> \"\" into RT, RT2"),
        QStringLiteral("  do"),
        QStringLiteral("  begin"),
        QStringLiteral("    select max(Lev1) from meta$dep where T1 = ::RT2 into ::C;"),
        QStringLiteral("    update meta$dep set Lev2 = ::C where T2 = ::RT2;"),
        QStringLiteral("  end"),
        QStringLiteral("end"),
    };
}

QStringList Repository::getGensDdl()
{
    QStringList l{QStringLiteral("create PROCEDURE META$GETGENS RETURNS (G1 INTEGER,")};
    for (int i = 2; i <= 9; ++i)
        l << QStringLiteral("G%1 INTEGER,").arg(i);
    l << QStringLiteral("G10 INTEGER)") << QStringLiteral("AS") << QStringLiteral("begin");
    for (int i = 1; i <= 10; ++i)
        l << QStringLiteral("G%1 = gen_id(meta$gen%1, 0);").arg(i);
    l << QStringLiteral("suspend;") << QStringLiteral("end");
    return l;
}

QString Repository::historyDdl()
{
    return QStringLiteral("create table meta$history (\nDT Integer not null Primary Key,\nID Char(255),\n"
                          "UserName Char(31) default USER,\nBody BLOB Sub_Type Text)");
}

QStringList Repository::debugTableDdl(const QString &table, const QString &path)
{
    // CHARACTER SET NONE keeps the files byte for byte the same whatever the
    // database's default character set, so every connection reads the other's rows.
    const bool hit = table == QLatin1String("META$MTBP") || table == QLatin1String("META$MTTP");
    const QString file = table.mid(5).toLower() + QStringLiteral(".mz");
    QString columns;
    if (hit) {
        const QString id = table == QLatin1String("META$MTBP") ? QStringLiteral("BP") : QStringLiteral("TP");
        columns = QStringLiteral("Code Integer not null, UserName Char(31) CHARACTER SET NONE, SessionNum Integer, "
                                 "ProcName Char(31) CHARACTER SET NONE, %1ID Char(20) CHARACTER SET NONE, %1NUM Integer)")
                      .arg(id);
    } else {
        columns = QStringLiteral("Code Integer not null, MTCode Integer, VarName Char(31) CHARACTER SET NONE, "
                                 "VarValue Char(255) CHARACTER SET NONE)");
    }
    return {QStringLiteral("create table %1 external file \"%2%3\" (").arg(table, engine::quotedConstant(path), file), columns};
}

QString Repository::probeDdl(const QString &folder)
{
    return QStringLiteral("create table META$PROBA external file \"%1mtproba.mz\" (I Integer)").arg(engine::quotedConstant(folder));
}

QString Repository::normalizedPath(const QString &typed)
{
    if (typed.endsWith(QLatin1Char('\\')) || typed.endsWith(QLatin1Char('/')))
        return typed;
    const bool slash = typed.contains(QLatin1Char('/')) && !typed.contains(QLatin1Char('\\'));
    return typed + (slash ? QLatin1Char('/') : QLatin1Char('\\'));
}

Repository::Repository(engine::Database &db, engine::Statement &q6, engine::Statement &q7)
    : m_db(db), m_q6(q6), m_q7(q7)
{
}

void Repository::exec(engine::Statement &s, const QStringList &sql)
{
    s.close();
    s.setSql(sql);
    s.execute();
}

bool Repository::count(const QString &sql)
{
    return firstValue(sql).toLongLong() != 0;
}

bool Repository::tableExists(const QString &name)
{
    return count(QStringLiteral("select count(*) from rdb$relations where rdb$relation_name = \"%1\"").arg(engine::quotedConstant(name)));
}

bool Repository::procedureExists(const QString &name)
{
    return count(QStringLiteral("select count(*) from rdb$procedures where rdb$procedure_name = \"%1\"").arg(engine::quotedConstant(name)));
}

bool Repository::debugTablesExist()
{
    return count(QStringLiteral("select count(*) from RDB$Relations where RDB$Relation_Name containing \"META$MT\""));
}

void Repository::inTransaction(const std::function<void()> &work)
{
    engine::TransactionGuard transaction(m_db);
    work();
    transaction.commit();
}

void Repository::grant(const QString &sql)
{
    exec(m_q6, {sql});
}

// One object of the install in a transaction of its own. One that was there
// already is left as it is (its creation fails and the install goes on);
// any other failure ends the install.
void Repository::create(const QString &kind, const QString &name, const QStringList &sql,
                        QVector<QPair<QString, QString>> &created)
{
    try {
        inTransaction([&] { exec(m_q6, sql); });
    } catch (const engine::Error &) {
        if (kind == QLatin1String("procedure") ? procedureExists(name) : tableExists(name))
            return;
        throw;
    }
    created.append({kind, name});
}

// Drops what an install made, newest first, each in its own transaction;
// what cannot be dropped is named in the message.
QStringList Repository::undo(const QVector<QPair<QString, QString>> &created)
{
    QStringList left;
    for (auto it = created.crbegin(); it != created.crend(); ++it) {
        try {
            inTransaction([&] { exec(m_q7, {QStringLiteral("drop %1 %2").arg(it->first, it->second)}); });
        } catch (const engine::Error &) {
            left << it->second;
        }
    }
    return left;
}

void Repository::install(const std::function<void(int)> &progress, QVector<QPair<QString, QString>> &created)
{
    const QString proc = QStringLiteral("procedure");
    const QString table = QStringLiteral("table");
    if (!tableExists(QStringLiteral("META$DEP"))) {
        create(table, QStringLiteral("META$DEP"), metaDepDdl(), created);
        grant(QStringLiteral("grant all on meta$Dep to public"));
    }
    progress(1);
    if (!procedureExists(QStringLiteral("META$RENEW"))) {
        create(proc, QStringLiteral("META$RENEW"), metaRenewDdl(), created);
        progress(2);
        grant(QStringLiteral("grant execute on procedure meta$Renew to public"));
    }
    progress(3);
    // The generators and META$EXTERNAL stand or fall together: one of them
    // there already fails the group, and the repository is incomplete.
    inTransaction([&] {
        exec(m_q6, {QStringLiteral("create generator meta$CodeGen")});
        for (int i = 1; i <= 10; ++i)
            exec(m_q6, {QStringLiteral("create generator meta$gen%1").arg(i)});
        progress(4);
        exec(m_q6, {QStringLiteral("create table meta$external (ExternalPath char(255))")});
    });
    created.append({QStringLiteral("generator"), QStringLiteral("META$CODEGEN")});
    for (int i = 1; i <= 10; ++i)
        created.append({QStringLiteral("generator"), QStringLiteral("META$GEN%1").arg(i)});
    created.append({table, QStringLiteral("META$EXTERNAL")});
    progress(5);
    create(table, QStringLiteral("META$GENS"),
           {QStringLiteral("create table meta$Gens (UserName char(31), ProcName Char(31), GenID Char(31), GenValue Integer)")},
           created);
    progress(6);
    create(table, QStringLiteral("META$POINTS"),
           {QStringLiteral("create table meta$points (Code Integer not null Primary Key, ProcName Char(31), PID char(50), PType char(2), SP_T Char(2), P Integer)")},
           created);
    progress(7);
    create(table, QStringLiteral("META$SESSION"),
           {QStringLiteral("create table meta$session (UserName char(31), SessionNum Integer)")}, created);
    progress(8);
    grant(QStringLiteral("grant all on meta$gens to public"));
    grant(QStringLiteral("grant all on meta$external to public"));
    grant(QStringLiteral("grant all on meta$points to public"));
    grant(QStringLiteral("grant all on meta$session to public"));
    progress(9);
    if (!tableExists(QStringLiteral("META$HISTORY"))) {
        create(table, QStringLiteral("META$HISTORY"), historyDdl().split(QLatin1Char('\n')), created);
        progress(10);
        grant(QStringLiteral("grant all on meta$history to public"));
    }
    create(proc, QStringLiteral("META$GETGENS"), getGensDdl(), created);
    grant(QStringLiteral("grant execute on procedure meta$getgens to public"));
}

QString Repository::installFailureText(const engine::Error &e, const QStringList &left)
{
    QString text = QStringLiteral("The META$ structures could not be created");
    text += left.isEmpty() ? QStringLiteral(", and nothing of them was left in the database.")
                           : QStringLiteral("; these could not be dropped again: %1.").arg(left.join(QStringLiteral(", ")));
    text += QStringLiteral(" The workbench goes on without them (no debugging, no history).\r\n");
    return text + catalogue::serverText(e);
}

Repository::InstallResult Repository::ensure(const std::function<void(int)> &progress)
{
    if (count(QStringLiteral("select count(*) from RDB$Relations where RDB$Relation_Name = \"META$EXTERNAL\"")))
        return InstallResult::Present;
    if (platform::Prompter::instance().confirm(QStringLiteral("Confirmation"),
                                               QStringLiteral("There are no META$ structures in this DB. Create?"))
        != platform::Prompter::Answer::Yes)
        return InstallResult::Declined;

    struct HideProgress {
        const std::function<void(int)> &p;
        ~HideProgress() { p(-1); }
    } hide{progress};
    progress(0);
    // All or nothing: a repository with parts missing would break every
    // debug save and be asked about again at each connect.
    QVector<QPair<QString, QString>> created;
    try {
        install(progress, created);
    } catch (const engine::Error &e) {
        const QStringList left = undo(created);
        showError(installFailureText(e, left));
        return InstallResult::Failed;
    }
    return InstallResult::Installed;
}

QVariant Repository::firstValue(const QString &sql)
{
    m_q6.close();
    m_q6.setSql(sql);
    m_q6.open();
    const QVariant v = m_q6.rows().value(0, 0);
    m_q6.close();
    return v;
}

bool Repository::createDebugTables(QString *externalPath)
{
    try {
        inTransaction([&] {
            const QString path = firstValue(QStringLiteral("select min(EXTERNALPATH) from META$EXTERNAL")).toString();
            if (externalPath)
                *externalPath = path;
            for (const char *t : {"META$MTBP", "META$MTTP", "META$MTBPV", "META$MTBPA", "META$MTTPV"})
                exec(m_q7, debugTableDdl(QLatin1String(t), path));
            for (const char *t : {"meta$mtbp", "meta$mtbpv", "meta$mtbpa", "meta$mttp", "meta$mttpv"})
                exec(m_q7, {QStringLiteral("grant all on %1 to public").arg(QLatin1String(t))});
        });
    } catch (const engine::Error &e) {
        showError(QStringLiteral("Can't create external tables!\r\n") + e.message());
        return false;
    }
    moveCodeGenPastOldRows();
    return true;
}

// Dropping an external table leaves its file; tables made again over old
// files see the old rows. New codes must not meet old ones, or a waiting
// break would take an old answer.
void Repository::moveCodeGenPastOldRows()
{
    try {
        const QVariant highest = firstValue(QStringLiteral(
            "select max(C) from (select max(Code) as C from META$MTBP union all select max(Code) from META$MTTP "
            "union all select max(Code) from META$MTBPV union all select max(Code) from META$MTBPA "
            "union all select max(Code) from META$MTTPV)"));
        if (highest.isNull())
            return;
        const qint64 h = highest.toLongLong();
        const qint64 current = firstValue(QStringLiteral("select gen_id(meta$CodeGen, 0) from rdb$database")).toLongLong();
        if (current <= h)
            exec(m_q6, {QStringLiteral("set generator meta$CodeGen to %1").arg(h)});
    } catch (const engine::Error &e) {
        showError(e.message());
    }
}

void Repository::dropDebugTables()
{
    try {
        inTransaction([this] {
            for (const char *t : {"META$MTBPV", "META$MTBPA", "META$MTBP", "META$MTTPV", "META$MTTP"})
                if (tableExists(QLatin1String(t)))
                    exec(m_q7, {QStringLiteral("drop table %1").arg(QLatin1String(t))});
        });
    } catch (const engine::Error &e) {
        showError(e.message());
    }
}

bool Repository::testExternalPath(const QString &folder, const QString &allowed)
{
    // Firebird accepts an external table on any path and fails only at the
    // first read or write, so the probe writes a row and reads it back.
    const QString where = allowed.isEmpty()
        ? QString()
        : QStringLiteral("\r\nThis server takes external tables only in %1 (and the folders inside it).").arg(allowed);
    try {
        inTransaction([&] { exec(m_q6, {probeDdl(folder)}); });
    } catch (const engine::Error &e) {
        showError(e.message() + where);
        return false;
    }
    try {
        inTransaction([&] {
            exec(m_q6, {QStringLiteral("insert into META$PROBA values (1)")});
            if (firstValue(QStringLiteral("select count(*) from META$PROBA")).toLongLong() <= 0)
                throw engine::Error(QStringLiteral("The probe row written to %1 could not be read back").arg(folder));
        });
    } catch (const engine::Error &e) {
        showError(e.message() + where);
        dropProbeTable();
        return false;
    }
    return true;
}

void Repository::dropProbeTable()
{
    try {
        inTransaction([this] { exec(m_q6, {QStringLiteral("drop table META$PROBA")}); });
    } catch (const engine::Error &e) {
        showError(e.message());
    }
}

void Repository::erase()
{
    // Every generator goes by its name: one that cannot be named refuses the
    // erase before anything is dropped.
    m_q6.close();
    m_q6.setSql(QStringLiteral("select rdb$generator_name from rdb$generators where rdb$generator_name containing \"META$\""));
    m_q6.open();
    const engine::RowSetPtr gens = m_q6.rowSet();
    m_q6.close();
    for (qsizetype i = 0; i < gens->rowCount(); ++i)
        engine::requirePlainIdentifier(gens->value(i, 0).toString().trimmed());
    // Dropping the procedures removes their dependency rows as well; the
    // system tables cannot be written directly.
    inTransaction([this] {
        for (const char *p : {"META$RENEW", "META$GETGENS"})
            if (procedureExists(QLatin1String(p)))
                exec(m_q7, {QStringLiteral("drop procedure %1").arg(QLatin1String(p))});
    });
    inTransaction([this, &gens] {
        for (const char *t : {"META$DEP", "META$EXTERNAL", "META$GENS", "META$POINTS", "META$SESSION", "META$HISTORY"})
            if (tableExists(QLatin1String(t)))
                exec(m_q7, {QStringLiteral("drop table %1").arg(QLatin1String(t))});
        for (qsizetype i = 0; i < gens->rowCount(); ++i)
            exec(m_q7, {QStringLiteral("drop generator %1").arg(gens->value(i, 0).toString().trimmed())});
    });
}

// --- the debugger's rows
//
// Besides his session row (numbered 0 and up), a user may have a wait row
// numbered -1, which a waiting break block and the debugger in spy mode lock
// (see debugrun::BreakLatch). Session statements leave it alone, so a window
// in spy mode never stands in the way of another one starting a session.

QString Repository::sessionNumberSql(const QString &user)
{
    return QStringLiteral("select SessionNum from meta$session where UserName = \"%1\" and SessionNum >= 0")
        .arg(engine::quotedConstant(user));
}

int Repository::ensureSession(const QString &user)
{
    int number = 0;
    inTransaction([&] {
        const QString u = engine::quotedConstant(user);
        if (firstValue(QStringLiteral("select count(*) from meta$session where UserName = \"%1\" and SessionNum >= 0")
                           .arg(u))
                .toInt()
            == 0)
            exec(m_q6, {QStringLiteral("insert into meta$session values (\"%1\", 0)").arg(u)});
        number = firstValue(sessionNumberSql(user)).toInt();
    });
    return number;
}

int Repository::sessionNumber(const QString &user)
{
    int number = 0;
    inTransaction([&] { number = firstValue(sessionNumberSql(user)).toInt(); });
    return number;
}

void Repository::startSession(const QString &user, int number)
{
    const QString u = engine::quotedConstant(user);
    inTransaction([&] {
        exec(m_q7, {QStringLiteral("update meta$session set SessionNum = %1 where UserName = \"%2\" and SessionNum >= 0")
                        .arg(QString::number(number), u)});
        exec(m_q7, {QStringLiteral("update meta$gens set GenValue = 0 where UserName = \"%1\"").arg(u)});
    });
}

void Repository::resetPointCounters(const QString &user, const QString &object, bool breaks, bool traces)
{
    const QString u = engine::quotedConstant(user);
    const QString o = engine::quotedConstant(object);
    inTransaction([&] {
        exec(m_q6, {QStringLiteral("delete from meta$Gens where UserName = \"%1\" and ProcName = \"%2\"").arg(u, o)});
        if (breaks)
            exec(m_q6, {QStringLiteral("insert into meta$gens values (\"%1\", \"%2\", \"BPNUM\", 0)").arg(u, o)});
        if (traces)
            exec(m_q6, {QStringLiteral("insert into meta$gens values (\"%1\", \"%2\", \"TPNUM\", 0)").arg(u, o)});
    });
}

void Repository::clearCounters(const QString &object)
{
    inTransaction([&] {
        exec(m_q6, {QStringLiteral("delete from meta$gens where ProcName = \"%1\"").arg(engine::quotedConstant(object))});
    });
}

void Repository::settlePoints(const QString &object, bool saved)
{
    const QString o = engine::quotedConstant(object);
    inTransaction([&] {
        if (saved) {
            exec(m_q6, {QStringLiteral("delete from meta$points where ProcName = \"%1\" and P = 0").arg(o)});
            exec(m_q6, {QStringLiteral("update meta$points set P = 0 where ProcName = \"%1\" and P = 1").arg(o)});
        } else {
            exec(m_q6, {QStringLiteral("delete from meta$points where ProcName = \"%1\" and P = 1").arg(o)});
        }
    });
}

void Repository::zeroProgressGenerators()
{
    // Generators ignore transactions: those zeroed before a failure stay zero.
    for (int n = 1; n <= 10; ++n)
        exec(m_q6, {QStringLiteral("set generator meta$gen%1 to 0").arg(n)});
}

// --- the protocol of a run and the point list

int Repository::hitCount(const QString &user, int session)
{
    int hits = 0;
    inTransaction([&] {
        engine::Statement q(&m_db);
        q.setSql(QStringLiteral("select count(*) from meta$mtbp where UserName = :UserName and SessionNum = :SessionNum"));
        q.setParam(QStringLiteral("UserName"), user);
        q.setParam(QStringLiteral("SessionNum"), session);
        q.open();
        hits = q.rows().value(0, 0).toInt();
    });
    return hits;
}

std::optional<Repository::Hit> Repository::newestHit(const QString &user, int session)
{
    std::optional<Hit> hit;
    inTransaction([&] {
        engine::Statement q(&m_db);
        q.setSql(QStringLiteral("select * from meta$mtbp where Code = (select Max(Code) from meta$mtbp where "
                                "UserName = :UserName and SessionNum = :SessionNum)"));
        q.setParam(QStringLiteral("UserName"), user);
        q.setParam(QStringLiteral("SessionNum"), session);
        q.open();
        const engine::RowSet &row = q.rows();
        if (row.rowCount() == 0)
            return;
        Hit h;
        h.code = row.value(0, row.indexOf(QStringLiteral("Code"))).toInt();
        h.object = fieldString(row, "ProcName").trimmed();
        h.pointId = fieldString(row, "BPID").trimmed();
        h.passNumber = row.text(0, row.indexOf(QStringLiteral("BPNum"))).trimmed();
        q.close();

        q.setSql(QStringLiteral("select VarName, VarValue from meta$mtbpv where mtcode = :Code"));
        q.setParam(QStringLiteral("Code"), h.code);
        q.open();
        const engine::RowSet &vars = q.rows();
        for (qsizetype i = 0; i < vars.rowCount(); ++i) {
            const QString value = vars.text(i, 1);
            h.values.append({vars.text(i, 0).trimmed(), value, vars.isNull(i, 1) || value.isEmpty()});
        }
        q.close();
        h.answered = answerCount(q, h.code) > 0;
        hit = std::move(h);
    });
    return hit;
}

int Repository::answerCount(engine::Statement &q, int code)
{
    q.setSql(QStringLiteral("select count(*) from meta$mtbpa where MTCode = :Code"));
    q.setParam(QStringLiteral("Code"), code);
    q.open();
    const int n = q.rows().value(0, 0).toInt();
    q.close();
    return n;
}

bool Repository::hitAnswered(int code)
{
    bool answered = false;
    inTransaction([&] {
        engine::Statement q(&m_db);
        answered = answerCount(q, code) > 0;
    });
    return answered;
}

QString Repository::pointKind(const QString &object, const QString &pointId)
{
    m_q6.close();
    m_q6.setSql(spylogic::pointKindSql(object, pointId));
    m_q6.open();
    const QString kind = m_q6.rows().rowCount() == 0 ? QString() : m_q6.rows().text(0, 0).trimmed();
    m_q6.close();
    return kind;
}

QStringList Repository::progressValues()
{
    QStringList values;
    inTransaction([&] {
        m_q6.close();
        m_q6.setSql(QStringLiteral("select * from meta$GetGens"));
        m_q6.open();
        const engine::RowSet &row = m_q6.rows();
        for (int n = 0; n < 10; ++n)
            values << (row.rowCount() == 0 ? QString() : row.text(0, n));
        m_q6.close();
    });
    return values;
}

void Repository::deleteOrphanPoints()
{
    exec(m_q6, {spylogic::deleteOrphanPointsSql()});
}

void Repository::deleteObjectPoints(const QString &object)
{
    exec(m_q6, {spylogic::deleteObjectPointsSql(object)});
}

bool Repository::firstPoint(QString *object, QString *kind)
{
    m_q6.close();
    m_q6.setSql(QStringLiteral("select * from meta$points"));
    m_q6.open();
    const engine::RowSet &row = m_q6.rows();
    const bool found = row.rowCount() > 0;
    if (found) {
        *object = fieldString(row, "ProcName").trimmed();
        *kind = fieldString(row, "SP_T").trimmed();
    }
    m_q6.close();
    return found;
}
