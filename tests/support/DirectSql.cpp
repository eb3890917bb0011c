#include "support/DirectSql.h"

#include "engine/Statement.h"

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

} // namespace testsupport
