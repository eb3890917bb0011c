#include "workbench/DM1.h"

#include "workbench/ConnectParams.h"

TDM *DM = nullptr;

TDM::TDM(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("DM"));
    if (!DM)
        DM = this;
}

TDM::~TDM()
{
    if (DM == this)
        DM = nullptr;
}

namespace {
void run(engine::Statement &s, const QString &sql, bool open)
{
    s.close();
    s.setSql(sql);
    if (open)
        s.open();
    else
        s.execute();
}
} // namespace

void TDM::Q6Exec(const QString &sql)
{
    run(Q6, sql, false);
}

void TDM::Q7Exec(const QString &sql)
{
    run(Q7, sql, false);
}

void TDM::Q6Show(const QString &sql)
{
    run(Q6, sql, true);
}

void TDM::Q7Show(const QString &sql)
{
    run(Q7, sql, true);
}

QString TDM::GetUserName() const
{
    const QStringList &p = Database.params();
    return p.isEmpty() ? QString() : connectparams::valueOfLine(p.first()).toUpper();
}

void TDM::OpenUserLists()
{
    // The catalogue lists arrive with the browser's data module.
}

void TDM::OpenNationalLists()
{
}
