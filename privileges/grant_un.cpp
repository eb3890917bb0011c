// The main window's frame: tool panel, page control, status bar, the menu
// with every command bound to its handler, and the settings read at creation.
#include "privileges/grant_un.h"

#include "platform/DockLayout.h"
#include "platform/PanelStatusBar.h"
#include "platform/Prompter.h"
#include "platform/Settings.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

TLorvane *Lorvane = nullptr;

using platform::Align;

namespace {

const QString kTitle = QStringLiteral("LorvanePro");

QWidget *page(QTabWidget *tabs, const QString &name, const QString &caption)
{
    auto *w = new QWidget(tabs);
    w->setObjectName(name);
    tabs->addTab(w, caption);
    return w;
}

QToolButton *toolButton(QWidget *parent, const QString &name, const QString &hint, QStyle::StandardPixmap icon)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setIconSize(QSize(20, 20));
    b->setAutoRaise(true);
    return b;
}

} // namespace

TLorvane::TLorvane(const QStringList &arguments, QWidget *parent) : QMainWindow(parent), m_arguments(arguments)
{
    Lorvane = this;
    setObjectName(QStringLiteral("Lorvane"));
    setWindowTitle(kTitle);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);
    resize(627, 435);

    buildFrame();
    buildMenu();
    buildConnectPage();
    buildGrantInfoPage();
    buildGrantGroupsPage();
    buildUserGroupsPage();
    buildGrantActionPage();
    bindGrantInfoPage();
    readSettings();
}

TLorvane::~TLorvane()
{
    if (m_data)
        m_data->setView(nullptr);
    if (Lorvane == this)
        Lorvane = nullptr;
}

void TLorvane::AppException(const QString &text)
{
    platform::Prompter::instance().message(platform::Prompter::Icon::Error, kTitle, text);
}

void TLorvane::bind(QAction *action, void (TLorvane::*handler)())
{
    connect(action, &QAction::triggered, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
}

void TLorvane::bind(QAbstractButton *button, void (TLorvane::*handler)())
{
    connect(button, &QAbstractButton::clicked, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
}

void TLorvane::buildFrame()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(central);
    auto *dock = new platform::DockLayout(central);

    ToolPanel = new QWidget(central);
    ToolPanel->setObjectName(QStringLiteral("ToolPanel"));
    dock->addDocked(ToolPanel, Align::Top, 30);
    auto *bar = new QHBoxLayout(ToolPanel);
    bar->setContentsMargins(2, 1, 2, 1);
    bar->setSpacing(1);

    clocklbl = new QLabel(ToolPanel);
    clocklbl->setObjectName(QStringLiteral("clocklbl"));
    clocklbl->setFrameShape(QFrame::Panel);
    clocklbl->setFrameShadow(QFrame::Sunken);
    clocklbl->setAlignment(Qt::AlignCenter);
    clocklbl->setMinimumWidth(70);
    CrTimer = new QTimer(this);
    CrTimer->setObjectName(QStringLiteral("CrTimer"));
    CrTimer->setInterval(1000);
    connect(CrTimer, &QTimer::timeout, this, &TLorvane::CrTimerTimer);

    refbutton = toolButton(ToolPanel, QStringLiteral("refbutton"), QStringLiteral("Refresh"), QStyle::SP_BrowserReload);
    Smen = toolButton(ToolPanel, QStringLiteral("Smen"), QStringLiteral("Server Manager"), QStyle::SP_ComputerIcon);
    cntbtn = toolButton(ToolPanel, QStringLiteral("cntbtn"), QStringLiteral("Connect Database"), QStyle::SP_DialogYesButton);
    dcntbtn = toolButton(ToolPanel, QStringLiteral("dcntbtn"), QStringLiteral("Disconnect Database"), QStyle::SP_DialogNoButton);
    erasebtn = toolButton(ToolPanel, QStringLiteral("erasebtn"), QStringLiteral("Erase additional privileges"), QStyle::SP_TrashIcon);
    uplus = toolButton(ToolPanel, QStringLiteral("uplus"), QStringLiteral("Add user"), QStyle::SP_FileDialogNewFolder);
    umodify = toolButton(ToolPanel, QStringLiteral("umodify"), QStringLiteral("Modify user"), QStyle::SP_FileDialogDetailedView);
    uminus = toolButton(ToolPanel, QStringLiteral("uminus"), QStringLiteral("Delete user"), QStyle::SP_DialogDiscardButton);
    ugplus = toolButton(ToolPanel, QStringLiteral("ugplus"), QStringLiteral("Add UserGroup"), QStyle::SP_FileDialogNewFolder);
    ugmodify = toolButton(ToolPanel, QStringLiteral("ugmodify"), QStringLiteral("Modify UserGroup"), QStyle::SP_FileDialogDetailedView);
    ugminus = toolButton(ToolPanel, QStringLiteral("ugminus"), QStringLiteral("Delete UserGroup"), QStyle::SP_DialogDiscardButton);

    // Connect and disconnect are one group: exactly one of them is down.
    auto *group = new QButtonGroup(this);
    group->setExclusive(true);
    for (QToolButton *b : {cntbtn, dcntbtn}) {
        b->setCheckable(true);
        group->addButton(b);
    }
    dcntbtn->setChecked(true);
    for (QToolButton *b : {erasebtn, uplus, umodify, uminus, ugplus, ugmodify, ugminus})
        b->setEnabled(false);

    bar->addWidget(clocklbl);
    bar->addSpacing(6);
    for (QToolButton *b : {refbutton, Smen})
        bar->addWidget(b);
    bar->addSpacing(6);
    for (QToolButton *b : {cntbtn, dcntbtn, erasebtn})
        bar->addWidget(b);
    bar->addSpacing(6);
    for (QToolButton *b : {uplus, umodify, uminus})
        bar->addWidget(b);
    bar->addSpacing(6);
    for (QToolButton *b : {ugplus, ugmodify, ugminus})
        bar->addWidget(b);
    bar->addStretch();

    bind(refbutton, &TLorvane::refbuttonClick);
    bind(Smen, &TLorvane::SmenClick);
    bind(cntbtn, &TLorvane::cntbtnClick);
    bind(dcntbtn, &TLorvane::dcntbtnClick);
    bind(erasebtn, &TLorvane::erasebtnClick);
    bind(uplus, &TLorvane::uplusClick);
    bind(umodify, &TLorvane::umodifyClick);
    bind(uminus, &TLorvane::uminusClick);
    bind(ugplus, &TLorvane::ugplusClick);
    bind(ugmodify, &TLorvane::ugmodifyClick);
    bind(ugminus, &TLorvane::ugminusClick);

    Grantsb = new platform::PanelStatusBar(central);
    Grantsb->setObjectName(QStringLiteral("Grantsb"));
    Grantsb->setPanelWidths({160, 280, 50});
    Grantsb->setPanelText(0, QStringLiteral(" No Active DataBase"));
    dock->addDocked(Grantsb, Align::Bottom, Grantsb->sizeHint().height());

    GrantPages = new QTabWidget(central);
    GrantPages->setObjectName(QStringLiteral("GrantPages"));
    dock->addDocked(GrantPages, Align::Client);
    Connect = page(GrantPages, QStringLiteral("Connect"), QStringLiteral("Connect"));
    GrantInfo = page(GrantPages, QStringLiteral("GrantInfo"), QStringLiteral("GrantInfo"));
    GrantGroups = page(GrantPages, QStringLiteral("GrantGroups"), QStringLiteral("GrantGroups"));
    UserGroups = page(GrantPages, QStringLiteral("UserGroups"), QStringLiteral("UserGroups"));
    GrAct = page(GrantPages, QStringLiteral("GrAct"), QStringLiteral("GrantAction"));
    // Page changes by the user pass the guard first; changes made by the
    // program itself do not.
    GrantPages->tabBar()->installEventFilter(this);
    GrantPages->installEventFilter(this);
}

namespace {

// One command of the menu: its object name, caption, shortcut and handler.
struct Command {
    QAction **action;
    const char *name;
    const char *caption;
    QKeySequence shortcut;
    void (TLorvane::*handler)();
};

} // namespace

void TLorvane::buildMenu()
{
    QMenuBar *mb = menuBar();
    mb->setObjectName(QStringLiteral("MainMenu1"));
    const auto menu = [this](QWidget *owner, const QString &name, const QString &caption) {
        QMenu *m = nullptr;
        if (auto *bar = qobject_cast<QMenuBar *>(owner))
            m = bar->addMenu(caption);
        else
            m = static_cast<QMenu *>(owner)->addMenu(caption);
        m->setObjectName(name);
        m->menuAction()->setObjectName(name);
        return m;
    };
    const auto add = [this](QMenu *m, std::initializer_list<Command> commands) {
        for (const Command &c : commands) {
            QAction *a = m->addAction(QString::fromLatin1(c.caption));
            a->setObjectName(QString::fromLatin1(c.name));
            if (!c.shortcut.isEmpty())
                a->setShortcut(c.shortcut);
            if (c.handler)
                bind(a, c.handler);
            *c.action = a;
        }
    };
    using K = QKeySequence;
    const auto ctrl = [](int key) { return K(Qt::CTRL | key); };
    const auto shift = [](int key) { return K(Qt::SHIFT | key); };
    const auto ctrlShift = [](int key) { return K(Qt::CTRL | Qt::SHIFT | key); };

    DataBase1 = menu(mb, QStringLiteral("DataBase1"), QStringLiteral("&DataBase"));
    add(DataBase1, {{&connect1, "connect1", "&Connect", ctrl(Qt::Key_F9), &TLorvane::connect1Click},
                    {&Disconnect1, "Disconnect1", "Di&sconnect", shift(Qt::Key_F9), &TLorvane::Disconnect1Click},
                    {&Erasemn, "Erasemn", "&Erase  Groups", K(), &TLorvane::erasebtnClick},
                    {&Exit1, "Exit1", "E&xit", K(), &TLorvane::Exit1Click}});
    Alias1 = menu(mb, QStringLiteral("Alias1"), QStringLiteral("A&lias"));
    add(Alias1, {{&Add2, "Add2", "&Add", K(), &TLorvane::Add2Click},
                 {&Modify2, "Modify2", "&Modify", K(), &TLorvane::Modify2Click},
                 {&Delete2, "Delete2", "&Delete", K(), &TLorvane::Delete2Click}});

    Info1 = menu(mb, QStringLiteral("Info1"), QStringLiteral("&Info"));
    MetaObjects1 = menu(Info1, QStringLiteral("MetaObjects1"), QStringLiteral("&MetaObjects"));
    add(MetaObjects1, {{&All1, "All1", "&All", ctrlShift(Qt::Key_F3), &TLorvane::All1Click},
                       {&Selected1, "Selected1", "A&ctive", ctrlShift(Qt::Key_F4), &TLorvane::Selected1Click}});
    UserObjects1 = menu(Info1, QStringLiteral("UserObjects1"), QStringLiteral("&UserObjects"));
    add(UserObjects1, {{&All2, "All2", "&All", ctrlShift(Qt::Key_F5), &TLorvane::All2Click},
                       {&Selected2, "Selected2", "A&ctive", ctrlShift(Qt::Key_F6), &TLorvane::Selected2Click}});
    Grantor1 = menu(Info1, QStringLiteral("Grantor1"), QStringLiteral("&Grantor"));
    add(Grantor1, {{&All3, "All3", "&All", ctrlShift(Qt::Key_F7), &TLorvane::All3Click},
                   {&USER1, "USER1", "USER", ctrlShift(Qt::Key_F8), &TLorvane::USER1Click}});
    Options1 = menu(Info1, QStringLiteral("Options1"), QStringLiteral("&Options"));
    add(Options1, {{&All4, "All4", "&All", K(), &TLorvane::All4Click},
                   {&Select1, "Select1", "&Select", K(), &TLorvane::Select1Click},
                   {&Insert1, "Insert1", "&Insert", K(), &TLorvane::Insert1Click},
                   {&Delete3, "Delete3", "&Delete", K(), &TLorvane::Delete3Click},
                   {&Update1, "Update1", "&Update", K(), &TLorvane::Update1Click},
                   {&Execute1, "Execute1", "E&xecute", K(), &TLorvane::Execute1Click}});
    SortOrder1 = menu(Info1, QStringLiteral("SortOrder1"), QStringLiteral("&SortOrder"));
    add(SortOrder1, {{&byUserObject1, "byUserObject1", "by &UserObject", ctrlShift(Qt::Key_F9), nullptr},
                     {&byMetaObject1, "byMetaObject1", "by &MetaObject", ctrlShift(Qt::Key_F10), nullptr}});
    for (QAction *a : {All1, Selected1, All2, Selected2, All3, USER1, All4, Select1, Insert1, Delete3, Update1,
                       Execute1, byUserObject1, byMetaObject1})
        a->setCheckable(true);
    add(Info1, {{&Grant2, "Grant2", "Gran&t", ctrl(Qt::Key_F10), &TLorvane::GrantbtnClick},
                {&Revoke2, "Revoke2", "&Revoke", shift(Qt::Key_F10), &TLorvane::RevokebtnClick}});

    Groups1 = menu(mb, QStringLiteral("Groups1"), QStringLiteral("G&roups"));
    add(Groups1, {{&mvG, "mvG", "&MoveToGroup", ctrl(Qt::Key_F3), &TLorvane::MovebtnClick},
                  {&MvaG, "MvaG", "Move&AllToGroup", ctrl(Qt::Key_F4), &TLorvane::MoveallBtnClick},
                  {&rmvG, "rmvG", "&RemoveFromGroup", shift(Qt::Key_F3), &TLorvane::RemovebtnClick},
                  {&rmvag, "rmvag", "Remo&veAllFromGroup", shift(Qt::Key_F4), &TLorvane::RemoveAllbtnClick},
                  {&Commit2, "Commit2", "&Commit", K(Qt::Key_F3), &TLorvane::CommitbtnClick},
                  {&RollBack2, "RollBack2", "Roll&Back", K(Qt::Key_F4), &TLorvane::RollBackbtnClick}});

    Users1 = menu(mb, QStringLiteral("Users1"), QStringLiteral("&Users"));
    User2 = menu(Users1, QStringLiteral("User2"), QStringLiteral("&User"));
    add(User2, {{&Add3, "Add3", "&Add", K(Qt::Key_F11), &TLorvane::Add3Click},
                {&Modify3, "Modify3", "&Modify", shift(Qt::Key_F11), &TLorvane::Modify3Click},
                {&delete4, "delete4", "&Delete", ctrl(Qt::Key_F11), &TLorvane::delete4Click}});
    UserG2 = menu(Users1, QStringLiteral("UserG2"), QStringLiteral("User&Group"));
    add(UserG2, {{&Add4, "Add4", "&Add", K(Qt::Key_F12), &TLorvane::Add4Click},
                 {&Modify4, "Modify4", "&Modify", shift(Qt::Key_F12), &TLorvane::Modify4Click},
                 {&Delete5, "Delete5", "&Delete", ctrl(Qt::Key_F12), &TLorvane::Delete5Click}});
    add(Users1, {{&MoveToGroup3, "MoveToGroup3", "&MoveToGroup", ctrl(Qt::Key_F5), &TLorvane::mvbtnClick},
                 {&MoveAllToGroup1, "MoveAllToGroup1", "Move&AllToGroup", ctrl(Qt::Key_F6), &TLorvane::mvallbtnClick},
                 {&RemoveFromGroup1, "RemoveFromGroup1", "&RemoveFromGroup", shift(Qt::Key_F5), &TLorvane::remvbtnClick},
                 {&RemoveAllFromGroup1, "RemoveAllFromGroup1", "Remo&veAllFromGroup", shift(Qt::Key_F6),
                  &TLorvane::remvallbtnClick},
                 {&Commit1, "Commit1", "&Commit", K(Qt::Key_F5), &TLorvane::okbtnClick},
                 {&RollBack1, "RollBack1", "Roll&Back", K(Qt::Key_F6), &TLorvane::escbtnClick}});

    GrantAction1 = menu(mb, QStringLiteral("GrantAction1"), QStringLiteral("&GrantAction"));
    add(GrantAction1, {{&Grant1, "Grant1", "&Grant", ctrl(Qt::Key_F7), &TLorvane::gmvbtnClick},
                       {&GrantAll1, "GrantAll1", "Grant&All", ctrl(Qt::Key_F8), &TLorvane::gmvallbtnClick},
                       {&Revoke1, "Revoke1", "&Revoke", shift(Qt::Key_F7), &TLorvane::gremvbtnClick},
                       {&RevokeAll1, "RevokeAll1", "Re&vokeAll", shift(Qt::Key_F8), &TLorvane::gremvallbtnClick},
                       {&Commit3, "Commit3", "&Commit", K(Qt::Key_F7), &TLorvane::gokbtnClick},
                       {&RollBack3, "RollBack3", "Roll&Back", K(Qt::Key_F8), &TLorvane::gescbtnClick}});

    View1 = menu(mb, QStringLiteral("View1"), QStringLiteral("&View"));
    add(View1, {{&ToolBar1, "ToolBar1", "Tool &Bar", K(), &TLorvane::ToolBar1Click},
                {&StatusBar1, "StatusBar1", "&StatusBar", K(), &TLorvane::StatusBar1Click},
                {&Font1, "Font1", "&Font", K(), &TLorvane::fontbtnClick},
                {&ServerManager1, "ServerManager1", "Server&Manager", K(), &TLorvane::SmenClick},
                {&Refresh1, "Refresh1", "&Refresh", K(), &TLorvane::refbuttonClick}});
    ToolBar1->setCheckable(true);
    StatusBar1->setCheckable(true);
    Help1 = menu(mb, QStringLiteral("Help1"), QStringLiteral("&Help"));
    add(Help1, {{&HelpTopics1, "HelpTopics1", "Help &Topics", K(), &TLorvane::HelpTopics1Click},
                {&About1, "About1", "&About...", K(), &TLorvane::About1Click}});

    // Not connected yet: the work menus are hidden, the commands of the
    // connection and of the pages' own buttons disabled until they apply.
    for (QMenu *m : {Info1, Groups1, Users1, GrantAction1})
        m->menuAction()->setVisible(false);
    for (QAction *a : {Disconnect1, Erasemn, mvG, MvaG, rmvG, rmvag, Commit2, RollBack2, MoveToGroup3,
                       MoveAllToGroup1, RemoveFromGroup1, RemoveAllFromGroup1, Commit1, RollBack1, Grant1,
                       GrantAll1, Revoke1, RevokeAll1, Commit3, RollBack3, Grant2, Revoke2})
        a->setEnabled(false);
}

void TLorvane::readSettings()
{
    const platform::Settings settings(platform::Settings::PrivilegeManagerKey);
    if (const std::optional<framerules::StoredFont> stored = framerules::readFont(settings)) {
        setFont(framerules::applyFont(font(), *stored));
        FontColor = stored->color;
        QPalette p = palette();
        p.setColor(QPalette::WindowText, framerules::colorOf(FontColor, QApplication::palette()));
        p.setColor(QPalette::Text, framerules::colorOf(FontColor, QApplication::palette()));
        setPalette(p);
    }
    const framerules::BarSettings bars = framerules::readBars(settings);
    ToolPanel->setVisible(bars.toolbar);
    Grantsb->setVisible(bars.statusbar);
    ToolBar1->setChecked(bars.toolbar);
    StatusBar1->setChecked(bars.statusbar);
}
