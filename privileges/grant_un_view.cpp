// The window's first show, its layout rules on resize and splitter moves,
// and the view commands: tool and status bar, font, server manager, help,
// about box and clock.
#include "privileges/grant_un.h"

#include "platform/DockLayout.h"
#include "platform/Help.h"
#include "platform/Launch.h"
#include "platform/Modal.h"
#include "platform/Placement.h"
#include "platform/PanelStatusBar.h"
#include "platform/Prompter.h"
#include "platform/Settings.h"
#include "privileges/twSplitter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

const QString kHelpFile = QStringLiteral("lorvane32.hlp");

// The last column of a grid fills what the others leave of its client width.
void fillLastColumn(QTableView *grid)
{
    if (!grid->model() || grid->model()->columnCount() == 0)
        return;
    const int last = grid->model()->columnCount() - 1;
    const int first = last > 0 ? grid->columnWidth(0) : 0;
    grid->setColumnWidth(last, framerules::lastColumnWidth(grid->viewport()->width(), first));
}

// Radio buttons laid over a header section: one pixel inside it, two from
// its left edge.
QRadioButton *headerButton(QHeaderView *header, const QString &name, const QString &caption, int section, bool checked)
{
    auto *b = new QRadioButton(caption, header);
    b->setObjectName(name);
    b->setChecked(checked);
    b->setAutoFillBackground(true); // covers the section's own caption
    b->setGeometry(header->sectionPosition(section) + 2, 1, header->sectionSize(section) - 2, header->height() - 2);
    b->show();
    return b;
}

QRect rectOf(const QWidget *w)
{
    return w->geometry();
}

} // namespace

void TLorvane::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    FormShow();
}

void TLorvane::FormShow()
{
    CrTimer->start();
    CrTimerTimer(); // rather than an empty clock for the first second
    LangDriverDescs = QStringList{QString()};
    LangDriverNames = QStringList{QString()};
    guarded([this] {
        FillAliasBox();
        Refsys();
    });
    placeStatusProgress();
    hideWorkPages();
    createHeaderButtons();
    showAliasList();
    sizeAliasGrid();
    fitToScreen();
    placeAliasList();
    // Centred with its first-show size.
    platform::centreOnScreen(*this);
    if (m_splash) {
        m_splash->hide();
        delete m_splash;
    }
    if (!m_arguments.isEmpty()) {
        m_connectTag = true;
        cntbtn->setChecked(true);
        guarded([this] { cntbtnClick(); });
    }
}

void TLorvane::hideWorkPages()
{
    for (int i = 1; i <= 4; ++i) {
        GrantPages->setTabVisible(i, false);
        GrantPages->setTabEnabled(i, false);
    }
}

void TLorvane::showAliasList()
{
    for (int i = 0; i < aliasbox->topLevelItemCount(); ++i)
        aliasbox->topLevelItem(i)->setIcon(0, aliasIcon());
    if (aliasbox->topLevelItemCount() == 0) {
        BtnEnabled(0);
        return;
    }
    if (!aliasbox->currentItem())
        aliasbox->setCurrentItem(aliasbox->topLevelItem(0));
    BtnEnabled(1);
}

void TLorvane::sizeAliasGrid()
{
    const QFontMetrics fm(font());
    // The longest parameter name, plus the margins a cell keeps around its text.
    AliasParams->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("ENABLE SCHENA CACHE ")) + 8);
    AliasParams->verticalHeader()->setDefaultSectionSize(fm.boundingRect(QStringLiteral("CACHE")).height() + 4);
}

void TLorvane::fitToScreen()
{
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    const int width = framerules::firstShowWidth(this->width(), PrivBox->width(), PrivBox->x(), Metatree->width(),
                                                 screen.width());
    if (width != this->width())
        resize(width, height());
    const framerules::HeightChange h = framerules::firstShowHeight(
        centralWidget()->height(), ToolPanel->height(), Grantsb->height(), btnpanel->height(), Metatree->height(),
        MOHeader->height(), screen.height());
    if (h.clientHeight >= 0)
        resize(this->width(), height() - centralWidget()->height() + h.clientHeight);
    else if (h.windowHeight >= 0)
        resize(this->width(), h.windowHeight);
}

void TLorvane::placeAliasList()
{
    aliasbox->setGeometry(AliasParams->x() + AliasParams->width() + 4, AliasParams->y(), aliasbox->width(),
                          AddAliasBtn->y() - 4 - AliasParams->y());
    fitAliasColumns();
}

void TLorvane::placeStatusProgress()
{
    if (!StatusProgress) {
        StatusProgress = new QProgressBar(Grantsb);
        StatusProgress->setObjectName(QStringLiteral("StatusProgress"));
        StatusProgress->setTextVisible(false);
        StatusProgress->setValue(0);
        Grantsb->installEventFilter(this); // the bar follows the status bar's height
    }
    StatusProgress->setGeometry(Grantsb->panelWidth(0) + 2, 2, Grantsb->panelWidth(1) - 4, Grantsb->height() - 3);
    StatusProgress->show();
}

void TLorvane::createHeaderButtons()
{
    MOAll = headerButton(MOHeader, QStringLiteral("MOAll"), QStringLiteral("All"), 1, true);
    MOActive = headerButton(MOHeader, QStringLiteral("MOActive"), QStringLiteral("Active"), 2, false);
    UOAll = headerButton(UOHeader, QStringLiteral("UOAll"), QStringLiteral("All"), 1, true);
    UOActive = headerButton(UOHeader, QStringLiteral("UOActive"), QStringLiteral("Active"), 2, false);
    for (QRadioButton *b : {MOAll, MOActive})
        bind(b, &TLorvane::MOSectionClick);
    for (QRadioButton *b : {UOAll, UOActive})
        bind(b, &TLorvane::UOSectionClick);
}

void TLorvane::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TLorvane::FormResize()
{
    // The docked controls take their new sizes first, then the rules below
    // read them.
    if (centralWidget() && centralWidget()->layout())
        centralWidget()->layout()->activate();
    framerules::ConnectPage p;
    p.sessionInfoHeight = SessionInfo->height();
    p.aliasesWidth = Aliases->width();
    p.ssInfo = rectOf(SsInfo);
    p.aliasParams = rectOf(AliasParams);
    p.aliasbox = rectOf(aliasbox);
    p.addBtn = rectOf(AddAliasBtn);
    p.modifyBtn = rectOf(ModifyAliasBtn);
    p.delBtn = rectOf(DelAliasBtn);
    p.column0 = AliasParams->columnWidth(0);
    p.column1 = AliasParams->columnWidth(1);
    const framerules::ConnectPage n = framerules::connectPageLayout(p);
    SsInfo->setGeometry(n.ssInfo);
    AliasParams->setGeometry(n.aliasParams);
    aliasbox->setGeometry(n.aliasbox);
    AddAliasBtn->setGeometry(n.addBtn);
    ModifyAliasBtn->setGeometry(n.modifyBtn);
    DelAliasBtn->setGeometry(n.delBtn);
    // The grid's own frame and scroll bar are not room for the column.
    if (n.column1 != p.column1)
        fitAliasColumns();
    for (QTableView *g : {gdeflist, metalist, usergrid, usersgp, usergp, uusergrid, metagrid})
        fillLastColumn(g);
}

void TLorvane::resizebtnpanel()
{
    const framerules::ButtonPanel p = framerules::buttonPanel(btnpanel->width(), Upbtn->size(), DownBtn->size(),
                                                              Grantbtn->height(), Revokebtn->height());
    platform::setDockExtent(btnpanel, p.height);
    Upbtn->setGeometry(p.up);
    DownBtn->setGeometry(p.down);
    Grantbtn->setGeometry(p.grant);
    Revokebtn->setGeometry(p.revoke);
}

void TLorvane::Splitter2PosChanged(QObject *)
{
    fillLastColumn(gdeflist);
}

void TLorvane::Splitter3PosChanged(QObject *)
{
    fillLastColumn(usersgp);
    fillLastColumn(usergrid);
    const int room = Userpanel->width() - Panel10->width() - 2 * usn->x();
    if (const std::optional<int> w = framerules::editorWidth(room, svu->width())) {
        for (QWidget *e : {static_cast<QWidget *>(usn), static_cast<QWidget *>(fn), static_cast<QWidget *>(mn),
                           static_cast<QWidget *>(ln), static_cast<QWidget *>(AddIBnames)})
            e->resize(*w, e->height());
        escu->move(ln->x() + ln->width() - escu->width(), escu->y());
    }
}

void TLorvane::Splitter5PosChanged(QObject *)
{
    fillLastColumn(usersgp);
    fillLastColumn(usergp);
    const int room = Panel13->width() - 2 * ugp->x();
    if (const std::optional<int> w = framerules::editorWidth(room, svugp->width())) {
        ugp->resize(*w, ugp->height());
        udes->resize(*w, udes->height());
        escugp->move(ugp->x() + ugp->width() - escugp->width(), escugp->y());
    }
}

void TLorvane::Splitter7PosChanged(QObject *)
{
    fillLastColumn(uusergrid);
    fillLastColumn(metagrid);
}

void TLorvane::Splitter8PosChanged(QObject *)
{
    fillLastColumn(metagrid);
    fillLastColumn(metalist);
}

void TLorvane::ToolBar1Click()
{
    toggleBar(ToolBar1, ToolPanel, QStringLiteral("toolbar"), QStringLiteral("tool bar setting"));
}

void TLorvane::StatusBar1Click()
{
    toggleBar(StatusBar1, Grantsb, QStringLiteral("statusbar"), QStringLiteral("status bar setting"));
}

void TLorvane::toggleBar(QAction *mark, QWidget *bar, const QString &value, const QString &what)
{
    mark->setChecked(bar->isHidden());
    bar->setVisible(mark->isChecked());
    FormResize();
    platform::Settings settings(platform::Settings::PrivilegeManagerKey);
    if (!settings.writeBool(QStringLiteral("toolbars"), value, mark->isChecked()))
        AppException(framerules::notStoredText(what, settings.filePath()));
}

void TLorvane::fontbtnClick()
{
    const std::optional<QFont> chosen = platform::Prompter::instance().selectFont(font());
    if (!chosen)
        return;
    setFont(*chosen);
    repaint();
    platform::Settings settings(platform::Settings::PrivilegeManagerKey);
    if (!framerules::writeFont(settings, framerules::storedFontOf(*chosen, FontColor)))
        AppException(framerules::notStoredText(QStringLiteral("font"), settings.filePath()));
}

void TLorvane::SmenClick()
{
    platform::LaunchRequest r;
    r.program = framerules::readServerManager(platform::Settings(platform::Settings::PrivilegeManagerKey));
    r.wait = true;
    r.caption = QStringLiteral("IB Server Manager");
    r.prompt = QStringLiteral("Enter full path to the IB Server Manager");
    r.storeIn = platform::SettingsValue{platform::Settings(platform::Settings::PrivilegeManagerKey),
                                       QStringLiteral("server"), QStringLiteral("manager")};
    platform::LaunchProgram(r);
}

void TLorvane::HelpTopics1Click()
{
    platform::HelpService::instance().showContentsOrSay(kHelpFile, 0, windowTitle());
}

void TLorvane::About1Click()
{
    if (m_about)
        platform::execModal(*m_about);
}

void TLorvane::CrTimerTimer()
{
    clocklbl->setText(QTime::currentTime().toString(QLocale::system().timeFormat(QLocale::LongFormat)));
}
