#include "platform/Help.h"

#include "platform/Prompter.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace platform {

HelpService &HelpService::instance()
{
    static HelpService service;
    return service;
}

QString HelpService::helpFolder() const
{
    if (!m_folder.isEmpty())
        return m_folder;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/help");
}

QString HelpService::pageFor(const QString &helpFile) const
{
    const QString base = QFileInfo(helpFile).completeBaseName();
    if (base.isEmpty())
        return QString();
    const QDir folder(helpFolder());
    const QStringList names{base + QStringLiteral(".html"), base + QStringLiteral(".htm")};
    // The exact spelling wins over one that differs only in case.
    for (const QDir::Filters caseRule : {QDir::CaseSensitive, QDir::NoFilter}) {
        const QFileInfoList pages =
            folder.entryInfoList(names, QDir::Files | QDir::Readable | caseRule, QDir::Name);
        if (!pages.isEmpty())
            return pages.first().absoluteFilePath();
    }
    return QString();
}

bool HelpService::showContents(const QString &helpFile, int data)
{
    Request request{helpFile, QStringLiteral("contents"), data, pageFor(helpFile)};
    bool opened = false;
    if (!request.page.isEmpty()) {
        const QUrl url = QUrl::fromLocalFile(request.page);
        opened = m_opener ? m_opener(url) : QDesktopServices::openUrl(url);
        if (!opened)
            request.page.clear();
    }
    m_requests.append(request);
    return opened;
}

bool HelpService::showContentsOrSay(const QString &helpFile, int data, const QString &caption)
{
    if (showContents(helpFile, data))
        return true;
    const QString page = pageFor(helpFile);
    const QString text =
        page.isEmpty()
            ? QStringLiteral("Help is not installed: no page for %1 was found in %2.")
                  .arg(helpFile, QDir::toNativeSeparators(helpFolder()))
            : QStringLiteral("The help page %1 could not be opened.").arg(QDir::toNativeSeparators(page));
    Prompter::instance().message(Prompter::Icon::Information, caption, text);
    return false;
}

} // namespace platform
