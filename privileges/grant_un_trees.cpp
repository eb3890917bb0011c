// The metadata and grantee trees of the window, and the refresh command.
#include "privileges/grant_un.h"

#include "engine/Error.h"
#include "platform/Prompter.h"
#include "privileges/MetaTrees.h"

#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

// The image list of the trees, by the indexes the trees use: roots,
// objects, columns, users and PUBLIC, each normal and selected.
QVector<QIcon> treeImages(const QStyle *style)
{
    const auto icon = [style](QStyle::StandardPixmap p) { return style->standardIcon(p); };
    return {icon(QStyle::SP_DirClosedIcon),          // 0 root
            icon(QStyle::SP_DirOpenIcon),            // 1 root, selected
            icon(QStyle::SP_FileIcon),               // 2 object
            icon(QStyle::SP_FileDialogContentsView), // 3 object, selected
            icon(QStyle::SP_FileDialogListView),     // 4 column
            icon(QStyle::SP_FileDialogDetailedView), // 5 column, selected
            icon(QStyle::SP_DesktopIcon),            // 6 user, selected
            icon(QStyle::SP_ComputerIcon),           // 7 user
            icon(QStyle::SP_DriveNetIcon),           // 8 PUBLIC, selected
            icon(QStyle::SP_DriveNetIcon)};          // 9 PUBLIC
}

} // namespace

void TLorvane::FillMetaTree(bool build)
{
    if (!build) {
        privileges::showTree(*Metatree, {}, false);
        privileges::showTree(*usertree, {}, false);
        return;
    }
    if (ledcntner.isEmpty())
        ledcntner = treeImages(style());
    privileges::MetaTrees trees;
    try {
        trees = privileges::FillMetaTree(*GrantData, progress());
    } catch (const engine::Error &e) {
        AppException(e.message());
        return;
    }
    privileges::showTree(*Metatree, trees.metatree, true, ledcntner);
    privileges::showTree(*Metatreegrant, trees.metatree, false, ledcntner);
    privileges::showTree(*usertree, trees.usertree, true, ledcntner);
    for (QTreeWidget *tree : {Metatree, Metatreegrant, usertree})
        if (tree->topLevelItemCount() > 0)
            tree->setCurrentItem(tree->topLevelItem(0));
}

void TLorvane::ensureColumns(QTreeWidgetItem *item)
{
    if (!item || !privileges::columnsPending(*item))
        return;
    privileges::showColumns(*item, privileges::columnNodes(*GrantData, item->text(0)), ledcntner);
}

void TLorvane::refbuttonClick()
{
    const QString page = GrantPages->tabText(GrantPages->currentIndex());
    if (page == QLatin1String("Connect")) {
        Refsys();
        return;
    }
    if (privileges::refreshPageData(*GrantData, page)
        && platform::Prompter::instance().confirm(QStringLiteral("Confirmation"), QStringLiteral("Rebuild MetaTree?"))
               == platform::Prompter::Answer::Yes) {
        FillMetaTree(false);
        FillMetaTree(true);
    }
}
