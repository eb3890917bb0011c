#include "workbench/WorkStatus.h"

#include <QGuiApplication>

void restoreDefaultCursor()
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}
