#include "privileges/FrameRules.h"

#include <QDir>

#include "platform/Settings.h"

namespace framerules {

namespace {
const QString kFont = QStringLiteral("font");
const QString kToolbars = QStringLiteral("toolbars");
const QString kNone = QStringLiteral("none");
// A font name longer than this is cut, as the settings ever held it.
const int kMaxFontName = 255;
} // namespace

const QString kDefaultServerManager = QStringLiteral("ibmgr32.exe");

std::optional<StoredFont> readFont(const platform::Settings &settings)
{
    const QString name = settings.readString(kFont, QStringLiteral("name"), kNone);
    if (name == kNone)
        return std::nullopt;
    StoredFont f;
    f.name = name.left(kMaxFontName);
    f.color = settings.readInteger(kFont, QStringLiteral("color"), kWindowTextColor);
    f.size = settings.readInteger(kFont, QStringLiteral("size"), 8);
    f.bold = settings.readBool(kFont, QStringLiteral("bold"), false);
    f.italic = settings.readBool(kFont, QStringLiteral("italic"), false);
    f.underline = settings.readBool(kFont, QStringLiteral("underline"), false);
    f.strikeout = settings.readBool(kFont, QStringLiteral("strikeout"), false);
    return f;
}

bool writeFont(platform::Settings &settings, const StoredFont &font)
{
    return settings.writeString(kFont, QStringLiteral("name"), font.name)
        && settings.writeInteger(kFont, QStringLiteral("color"), font.color)
        && settings.writeInteger(kFont, QStringLiteral("size"), font.size)
        && settings.writeBool(kFont, QStringLiteral("bold"), font.bold)
        && settings.writeBool(kFont, QStringLiteral("italic"), font.italic)
        && settings.writeBool(kFont, QStringLiteral("underline"), font.underline)
        && settings.writeBool(kFont, QStringLiteral("strikeout"), font.strikeout);
}

QString notStoredText(const QString &what, const QString &file)
{
    return QStringLiteral("The %1 could not be stored in %2: it holds until the program ends.")
        .arg(what, QDir::toNativeSeparators(file));
}

StoredFont storedFontOf(const QFont &font, int color)
{
    StoredFont f;
    f.name = font.family();
    f.color = color;
    f.size = font.pointSize();
    f.bold = font.bold();
    f.italic = font.italic();
    f.underline = font.underline();
    f.strikeout = font.strikeOut();
    return f;
}

QFont applyFont(QFont font, const StoredFont &stored)
{
    font.setFamily(stored.name);
    if (stored.size > 0)
        font.setPointSize(stored.size);
    font.setBold(stored.bold);
    font.setItalic(stored.italic);
    font.setUnderline(stored.underline);
    font.setStrikeOut(stored.strikeout);
    return font;
}

QColor colorOf(int stored, const QPalette &palette)
{
    const auto value = quint32(stored);
    if (value & 0x80000000u) {
        // Only the window-text colour is ever stored by the program itself;
        // any other system colour falls back to it as well.
        return palette.color(QPalette::WindowText);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

BarSettings readBars(const platform::Settings &settings)
{
    return {settings.readBool(kToolbars, QStringLiteral("toolbar"), true),
            settings.readBool(kToolbars, QStringLiteral("statusbar"), true)};
}

QString readServerManager(const platform::Settings &settings)
{
    return settings.readString(QStringLiteral("server"), QStringLiteral("manager"), kDefaultServerManager);
}

QString nothingCommittedText()
{
    return QStringLiteral("Nothing was committed: the uncommitted changes of every page were rolled back.");
}

QString guardQuestion(const PendingWork &work)
{
    if (work.pages() == 0)
        return QString();
    if (work.pages() == 1)
        return work.grantGroups ? QStringLiteral("Commit new/modified GrantGroups?") : QStringLiteral("Save changes?");
    QStringList pages;
    if (work.grantGroups)
        pages << QStringLiteral("GrantGroups");
    if (work.users)
        pages << QStringLiteral("UserGroups");
    if (work.assignments)
        pages << QStringLiteral("GrantAction");
    return QStringLiteral("Commit all changes (%1)?").arg(pages.join(QStringLiteral(", ")));
}

int firstShowWidth(int windowWidth, int privBoxWidth, int privBoxLeft, int metatreeWidth, int screenWidth)
{
    const int w = privBoxWidth + privBoxWidth / 3 + privBoxLeft + metatreeWidth;
    if (windowWidth >= w)
        return windowWidth;
    return w > screenWidth ? screenWidth : w;
}

HeightChange firstShowHeight(int clientHeight, int toolPanel, int statusBar, int btnPanel, int metatree,
                             int moHeader, int screenHeight)
{
    HeightChange change;
    const int h = toolPanel + statusBar + 2 * (btnPanel + metatree + moHeader);
    if (clientHeight >= h)
        return change;
    if (h < screenHeight)
        change.clientHeight = h;
    else
        change.windowHeight = screenHeight;
    return change;
}

ButtonPanel buttonPanel(int panelWidth, QSize up, QSize down, int grantHeight, int revokeHeight)
{
    ButtonPanel p;
    p.height = up.height();
    p.up = QRect(QPoint(0, 0), up);
    p.down = QRect(QPoint(panelWidth - down.width(), 0), down);
    const int grantWidth = (panelWidth - 2 * up.width()) / 2;
    p.grant = QRect(up.width(), 0, grantWidth, grantHeight);
    p.revoke = QRect(up.width() + grantWidth, 0, panelWidth - 2 * up.width() - grantWidth, revokeHeight);
    return p;
}

int lastColumnWidth(int clientWidth, int firstColumnWidth)
{
    return clientWidth - firstColumnWidth;
}

std::optional<int> editorWidth(int room, int saveButtonWidth)
{
    if (room / 2 > saveButtonWidth)
        return room;
    return std::nullopt;
}

ConnectPage connectPageLayout(ConnectPage p)
{
    const int a = p.sessionInfoHeight - p.ssInfo.top() - p.ssInfo.left();
    if (a > 0) {
        p.ssInfo.setHeight(a);
        const int ssBottom = p.ssInfo.top() + p.ssInfo.height();
        p.aliasParams.setHeight(ssBottom - p.aliasParams.top());
        const int d = p.aliasParams.top() + p.aliasParams.height() - p.delBtn.top() - p.delBtn.height();
        if (d + p.aliasbox.height() > 0) {
            for (QRect *b : {&p.delBtn, &p.modifyBtn, &p.addBtn})
                b->translate(0, d);
            p.aliasbox.setHeight(p.aliasbox.height() + d);
        }
    }
    const int w = p.aliasesWidth - 3 * p.aliasParams.left() - p.aliasbox.width();
    if (p.column0 < w) {
        p.aliasParams.setWidth(w);
        p.aliasbox.moveLeft(2 * p.aliasParams.left() + p.aliasParams.width());
        for (QRect *b : {&p.addBtn, &p.modifyBtn, &p.delBtn})
            b->moveLeft(p.aliasbox.left());
        p.column1 = p.aliasParams.width() - p.column0 - 1;
    }
    return p;
}

} // namespace framerules
