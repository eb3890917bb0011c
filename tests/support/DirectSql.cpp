#include "support/DirectSql.h"

#include "engine/Error.h"
#include "engine/Statement.h"

#include <QFile>
#include <ibase.h>

namespace testsupport {

void exec(engine::Database &db, const QString &sql)
{
    engine::Statement s(&db);
    s.setParamCheck(false);
    s.setSql(sql);
    s.execute();
}

QVariant scalar(engine::Database &db, const QString &sql)
{
    engine::Statement s(&db);
    s.setParamCheck(false);
    s.setSql(sql);
    s.open();
    if (s.rows().rowCount() == 0 || s.rows().columnCount() == 0)
        return QVariant();
    return s.rows().value(0, 0);
}

void writeWithoutSync(const QString &path)
{
    const QByteArray file = QFile::encodeName(path);
    const char dpb[] = {isc_dpb_version1, isc_dpb_user_name, 6, 'S', 'Y', 'S', 'D', 'B', 'A',
                        isc_dpb_force_write, 1, 0};
    ISC_STATUS_ARRAY st;
    isc_db_handle db = 0;
    isc_attach_database(st, 0, file.constData(), &db, short(sizeof dpb), dpb);
    if (st[1])
        throw engine::Error(QStringLiteral("%1 cannot be switched to writes without sync").arg(path));
    isc_detach_database(st, &db);
}

} // namespace testsupport
