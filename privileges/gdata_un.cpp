#include "privileges/gdata_un.h"

TGrantData *GrantData = nullptr;

TGrantData::TGrantData(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("GrantData"));
}

TGrantData::~TGrantData()
{
    if (GrantData == this)
        GrantData = nullptr;
}
