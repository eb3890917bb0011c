#include "workbench/FrameLogic.h"

namespace framelogic {

StatusLook statusLook(bool ready, bool failed)
{
    if (ready)
        return failed ? StatusLook{QStringLiteral("ISad"), QStringLiteral("   Status: Error!")}
                      : StatusLook{QStringLiteral("IShades"), QStringLiteral("   Status: OK.")};
    return {failed ? QStringLiteral("Iooh") : QStringLiteral("IIndif"), QStringLiteral("   Status: Working...")};
}

QString keyCommand(WorkArea area, int debuggerPage, int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= ~Qt::KeypadModifier;
    const bool ctrl = modifiers == Qt::ControlModifier;
    const bool alt = modifiers == Qt::AltModifier;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (area == WorkArea::Master)
        return ctrl && enter ? QStringLiteral("SBExecSQLClick") : QString();
    if (area != WorkArea::Debugger)
        return QString();
    if (debuggerPage == 0) {
        if (ctrl && enter)
            return QStringLiteral("SBdebExecSQLClick");
        if (alt && enter)
            return QStringLiteral("SBdebShowSetClick");
        if (ctrl && key == Qt::Key_N)
            return QStringLiteral("SBNewProcClick");
        if (ctrl && key == Qt::Key_O)
            return QStringLiteral("SBOpenProcClick");
        if (ctrl && key == Qt::Key_S)
            return QStringLiteral("SBSaveProcClick");
    } else if (debuggerPage == 1) {
        if (ctrl && key == Qt::Key_N)
            return QStringLiteral("SBNewTrigClick");
        if (ctrl && key == Qt::Key_O)
            return QStringLiteral("SBOpenTrigClick");
        if (ctrl && key == Qt::Key_S)
            return QStringLiteral("SBSaveTrigClick");
    }
    return QString();
}

int fontStyleValue(const QFont &font)
{
    if (font.underline() || font.strikeOut())
        return 0;
    if (font.bold() && font.italic())
        return 3;
    if (font.bold())
        return 1;
    if (font.italic())
        return 2;
    return 0;
}

void applyFontStyle(QFont &font, int style)
{
    if (style < 0 || style > 3)
        return;
    font.setBold(style == 1 || style == 3);
    font.setItalic(style == 2 || style == 3);
    font.setUnderline(false);
    font.setStrikeOut(false);
}

} // namespace framelogic
