#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <functional>

namespace platform {

// Stands in for the help engine. Every request is logged; the contents of a
// help file such as "Marrowbyhelp.hlp" open as the page "Marrowbyhelp.html"
// (or .htm; the name compared without case, as on the system the programs
// came from) in the help folder, when there is one.
class HelpService {
public:
    struct Request {
        QString helpFile;
        QString command;  // "contents"
        int data = 0;     // the caller's context number, kept for the log
        QString page;     // the page opened; empty when there was none
    };

    static HelpService &instance();

    // Opens the contents of helpFile; true when a page was found and opened.
    bool showContents(const QString &helpFile, int data = 0);
    // The same for a person's help command: when nothing opens, a box under
    // caption says why, rather than nothing happening at all.
    bool showContentsOrSay(const QString &helpFile, int data, const QString &caption);

    // The folder searched for pages; empty (the default) means the "help"
    // folder next to the program.
    void setHelpFolder(const QString &folder) { m_folder = folder; }
    QString helpFolder() const;
    // The page that helpFile's contents would open, or an empty text.
    QString pageFor(const QString &helpFile) const;

    const QList<Request> &requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    // Replaces how a page is opened, so tests open nothing; an empty function
    // puts back QDesktopServices::openUrl.
    void setOpener(std::function<bool(const QUrl &)> opener) { m_opener = std::move(opener); }

private:
    QString m_folder;
    QList<Request> m_requests;
    std::function<bool(const QUrl &)> m_opener;
};

} // namespace platform
