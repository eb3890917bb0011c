// The controls of the four work pages, docked as the window arranges them.
// Their content and handlers belong to the parts that fill each page; the
// frame needs them for its layout rules and its guard.
#include "privileges/grant_un.h"

#include "platform/DockLayout.h"
#include "privileges/twSplitter.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using platform::Align;
using platform::DockLayout;

namespace {

template<typename W>
W *named(W *w, const QString &name)
{
    w->setObjectName(name);
    return w;
}

// A container docked in its parent, with a dock layout of its own.
QWidget *panel(QWidget *parent, const QString &name, Align align, int extent = 0)
{
    auto *w = named(new QWidget(parent), name);
    static_cast<DockLayout *>(parent->layout())->addDocked(w, align, extent);
    new DockLayout(w);
    return w;
}

template<typename W>
W *docked(W *w, const QString &name, Align align, int extent = 0)
{
    w->setObjectName(name);
    static_cast<DockLayout *>(w->parentWidget()->layout())->addDocked(w, align, extent);
    return w;
}

TSplitter *makeSplitter(QWidget *parent, const QString &name, Align align, QWidget *first, QWidget *second)
{
    auto *s = named(new TSplitter(parent), name);
    static_cast<DockLayout *>(parent->layout())->addDocked(s, Align::None);
    s->setAlign(align);
    s->setControlFirst(first);
    s->setControlSecond(second);
    return s;
}

QTableView *grid(QWidget *parent, const QString &name)
{
    auto *g = named(new QTableView(parent), name);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->verticalHeader()->hide();
    return g;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption, QRect geometry)
{
    auto *b = named(new QPushButton(caption, parent), name);
    b->setGeometry(geometry);
    return b;
}

// The column of move and commit buttons between two grids: four moves,
// a gap, then save and cancel.
struct SpeedButton {
    QToolButton **button;
    const char *name;
    const char *caption;
    const char *hint;
};
void buttonColumn(QWidget *parent, std::initializer_list<SpeedButton> buttons)
{
    int y = 30;
    int n = 0;
    for (const SpeedButton &s : buttons) {
        auto *b = named(new QToolButton(parent), QString::fromLatin1(s.name));
        b->setText(QString::fromLatin1(s.caption));
        b->setToolTip(QString::fromLatin1(s.hint));
        b->setFixedSize(30, 24);
        b->move(5, y);
        y += ++n == 4 ? 44 : 28;
        *s.button = b;
    }
}

QLineEdit *edit(QWidget *parent, const QString &name, QRect geometry)
{
    auto *e = named(new QLineEdit(parent), name);
    e->setGeometry(geometry);
    return e;
}

QLabel *label(QWidget *parent, const QString &text, QPoint at)
{
    auto *l = new QLabel(text, parent);
    l->move(at);
    l->adjustSize();
    return l;
}

// A radio group as the form library has it: a captioned box of radio
// buttons, one per item.
QGroupBox *radioGroup(QWidget *parent, const QString &name, const QString &caption, const QStringList &items)
{
    auto *g = named(new QGroupBox(caption, parent), name);
    auto *l = new QVBoxLayout(g);
    l->setContentsMargins(6, 2, 6, 2);
    l->setSpacing(0);
    for (int i = 0; i < items.size(); ++i) {
        auto *r = named(new QRadioButton(items.at(i), g), name + QString::number(i));
        r->setChecked(i == 0);
        l->addWidget(r);
    }
    return g;
}

QHeaderView *header(QWidget *parent, const QString &name, const QStringList &sections)
{
    auto *h = named(new QHeaderView(Qt::Horizontal, parent), name);
    auto *model = new QStandardItemModel(0, int(sections.size()), h);
    model->setHorizontalHeaderLabels(sections);
    h->setModel(model);
    h->setSectionsClickable(false);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    h->resizeSection(0, 86);
    h->resizeSection(1, 44);
    h->resizeSection(2, 64);
    static_cast<DockLayout *>(parent->layout())->addDocked(h, Align::Top, 22);
    return h;
}

QTreeWidget *tree(QWidget *parent, const QString &name)
{
    auto *t = named(new QTreeWidget(parent), name);
    t->setHeaderHidden(true);
    return t;
}

} // namespace

void TLorvane::buildGrantInfoPage()
{
    new DockLayout(GrantInfo);
    panel9 = panel(GrantInfo, QStringLiteral("panel9"), Align::Left, 200);
    Panel8 = panel(GrantInfo, QStringLiteral("Panel8"), Align::Client);
    Splitter4 = makeSplitter(GrantInfo, QStringLiteral("Splitter4"), Align::Left, panel9, Panel8);

    MOHeader = header(panel9, QStringLiteral("MOHeader"), {"Meta Objects", "All", "Active"});
    Metatree = docked(tree(panel9, QString()), QStringLiteral("Metatree"), Align::Top, 140);
    btnpanel = panel(panel9, QStringLiteral("btnpanel"), Align::Top, 24);
    Upbtn = named(new QToolButton(btnpanel), QStringLiteral("Upbtn"));
    Upbtn->setArrowType(Qt::UpArrow);
    Upbtn->resize(24, 24);
    DownBtn = named(new QToolButton(btnpanel), QStringLiteral("DownBtn"));
    DownBtn->setArrowType(Qt::DownArrow);
    DownBtn->resize(24, 24);
    Grantbtn = button(btnpanel, QStringLiteral("Grantbtn"), QStringLiteral(" &Grant"), QRect(24, 0, 76, 24));
    Revokebtn = button(btnpanel, QStringLiteral("Revokebtn"), QStringLiteral(" &Revoke"), QRect(100, 0, 76, 24));
    Grantbtn->setEnabled(false);
    Revokebtn->setEnabled(false);
    btnpanel->installEventFilter(this); // its resize lays the buttons out again
    UOHeader = header(panel9, QStringLiteral("UOHeader"), {"User Objects", "All", "Active"});
    usertree = docked(tree(panel9, QString()), QStringLiteral("usertree"), Align::Client);

    QWidget *top = panel(Panel8, QStringLiteral("Panel3"), Align::Top, 22);
    label(top, QStringLiteral("Seleted Grants to  "), QPoint(4, 4));
    userlbl = named(new QLabel(top), QStringLiteral("userlbl"));
    userlbl->setGeometry(110, 3, 150, 16);
    label(top, QStringLiteral("on  "), QPoint(264, 4));
    metalbl = named(new QLabel(top), QStringLiteral("metalbl"));
    metalbl->setGeometry(290, 4, 200, 16);
    QWidget *bottom = panel(Panel8, QStringLiteral("Panel5"), Align::Bottom, 64);
    GrantorGroup = radioGroup(bottom, QStringLiteral("GrantorGroup"), QStringLiteral("Grantors"), {" All", " alias"});
    GrantorGroup->setGeometry(4, 2, 120, 58);
    PrivBox = named(new QComboBox(bottom), QStringLiteral("PrivBox"));
    PrivBox->addItems({"Any privilege", "Select", "Insert", "Delete", "Update", "Execute"});
    PrivBox->setGeometry(132, 20, 120, 22);
    SortOrder = radioGroup(bottom, QStringLiteral("SortOrder"), QStringLiteral("Sort by"), {"User", "Object"});
    SortOrder->setGeometry(260, 2, 100, 58);
    PrivGrid = docked(grid(Panel8, QString()), QStringLiteral("PrivGrid"), Align::Client);
}

void TLorvane::buildGrantGroupsPage()
{
    new DockLayout(GrantGroups);
    Metatreegrant = docked(tree(GrantGroups, QString()), QStringLiteral("Metatreegrant"), Align::Left, 200);
    Panel2 = panel(GrantGroups, QStringLiteral("Panel2"), Align::Client);
    Splitter2 = makeSplitter(GrantGroups, QStringLiteral("Splitter2"), Align::Left, Metatreegrant, Panel2);
    connect(Splitter2, &TSplitter::OnPosChanged, this, &TLorvane::Splitter2PosChanged);

    QWidget *defs = panel(Panel2, QStringLiteral("Panel4"), Align::Top, 130);
    // The group list and the group editor share one place: the list covers
    // the editor's fields until an edit begins.
    QWidget *names = panel(defs, QStringLiteral("Panel5"), Align::Left, 190);
    gdefname = edit(names, QStringLiteral("gdefname"), QRect(4, 4, 180, 22));
    gdefname->setEnabled(false);
    Grantdesc = named(new QPlainTextEdit(names), QStringLiteral("Grantdesc"));
    Grantdesc->setGeometry(4, 30, 180, 94);
    gdeflist = docked(grid(names, QString()), QStringLiteral("gdeflist"), Align::Client);
    gdeflist->raise();
    QWidget *editor = panel(defs, QStringLiteral("Panel6"), Align::Client);
    AddggName = button(editor, QStringLiteral("AddggName"), QStringLiteral("   &AddGrantGroup"), QRect(6, 4, 130, 24));
    ModifyGrantGroup =
        button(editor, QStringLiteral("ModifyGrantGroup"), QStringLiteral("&ModifyGrantGroup"), QRect(6, 32, 130, 24));
    DelggName = button(editor, QStringLiteral("DelggName"), QStringLiteral("&DeleteGrantGroup"), QRect(6, 60, 130, 24));

    QWidget *moves = panel(Panel2, QStringLiteral("Panel7"), Align::Top, 30);
    MoveallBtn = button(moves, QStringLiteral("MoveallBtn"), QStringLiteral(">>"), QRect(4, 3, 30, 24));
    Movebtn = button(moves, QStringLiteral("Movebtn"), QStringLiteral(">"), QRect(36, 3, 30, 24));
    Removebtn = button(moves, QStringLiteral("Removebtn"), QStringLiteral("<"), QRect(68, 3, 30, 24));
    RemoveAllbtn = button(moves, QStringLiteral("RemoveAllbtn"), QStringLiteral("<<"), QRect(100, 3, 30, 24));
    Commitbtn = button(moves, QStringLiteral("Commitbtn"), QStringLiteral("Save and Commit"), QRect(140, 3, 120, 24));
    RollBackbtn = button(moves, QStringLiteral("RollBackbtn"), QStringLiteral("Cancel and RollBack"), QRect(262, 3, 130, 24));
    MoveallBtn->setToolTip(QStringLiteral("Move all"));
    Movebtn->setToolTip(QStringLiteral("Move"));
    Removebtn->setToolTip(QStringLiteral("Remove"));
    RemoveAllbtn->setToolTip(QStringLiteral("Remove all"));
    Commitbtn->setEnabled(false);
    RollBackbtn->setEnabled(false);
    GrantListGrid = docked(grid(Panel2, QString()), QStringLiteral("GrantListGrid"), Align::Client);

    bind(AddggName, &TLorvane::AddggNameClick);
    bind(DelggName, &TLorvane::DelggNameClick);
    bind(MoveallBtn, &TLorvane::MoveallBtnClick);
    bind(Movebtn, &TLorvane::MovebtnClick);
    bind(Removebtn, &TLorvane::RemovebtnClick);
    bind(RemoveAllbtn, &TLorvane::RemoveAllbtnClick);
    bind(Commitbtn, &TLorvane::CommitbtnClick);
    bind(RollBackbtn, &TLorvane::RollBackbtnClick);
    bindGrantGroupsKeys();
}

void TLorvane::buildUserGroupsPage()
{
    new DockLayout(UserGroups);
    Userpanel = panel(UserGroups, QStringLiteral("Userpanel"), Align::Left, 230);
    Panel1 = panel(UserGroups, QStringLiteral("Panel1"), Align::Client);
    Splitter3 = makeSplitter(UserGroups, QStringLiteral("Splitter3"), Align::Left, Userpanel, Panel1);
    connect(Splitter3, &TSplitter::OnPosChanged, this, &TLorvane::Splitter3PosChanged);

    // The user editor lies beneath the users, in the grid's place, and is
    // seen while the grid is hidden: labels on the left, fields beside.
    QWidget *users = Panel9 = panel(Userpanel, QStringLiteral("Panel9"), Align::Client);
    Panel9->hide();
    Panel10 = panel(users, QStringLiteral("Panel10"), Align::Left, 78);
    label(Panel10, QStringLiteral("UserName:"), QPoint(4, 8));
    label(Panel10, QStringLiteral("First Name:"), QPoint(4, 34));
    label(Panel10, QStringLiteral("Middle Name:"), QPoint(4, 60));
    label(Panel10, QStringLiteral("Last Name:"), QPoint(4, 86));
    QWidget *fields = panel(users, QStringLiteral("Panel11"), Align::Client);
    usn = edit(fields, QStringLiteral("usn"), QRect(4, 4, 140, 22));
    fn = edit(fields, QStringLiteral("fn"), QRect(4, 30, 140, 22));
    mn = edit(fields, QStringLiteral("mn"), QRect(4, 56, 140, 22));
    ln = edit(fields, QStringLiteral("ln"), QRect(4, 82, 140, 22));
    svu = button(fields, QStringLiteral("svu"), QStringLiteral("&Save"), QRect(4, 110, 60, 24));
    escu = button(fields, QStringLiteral("escu"), QStringLiteral("&Cancel"), QRect(84, 110, 60, 24));
    AddIBnames = button(fields, QStringLiteral("AddIBnames"), QStringLiteral("&Add from IB server"), QRect(4, 138, 140, 24));
    svu->setEnabled(false);
    usergrid = docked(grid(Userpanel, QString()), QStringLiteral("usergrid"), Align::Client);

    QWidget *buttons = panel(Panel1, QStringLiteral("Panel15"), Align::Left, 40);
    buttonColumn(buttons, {{&mvallbtn, "mvallbtn", ">>", "Move all"},
                           {&mvbtn, "mvbtn", ">", "Move"},
                           {&remvbtn, "remvbtn", "<", "Remove"},
                           {&remvallbtn, "remvallbtn", "<<", "Remove all"},
                           {&okbtn, "okbtn", "OK", "Save and Commit"},
                           {&escbtn, "escbtn", "Esc", "Cancel and RollBack"}});
    okbtn->setEnabled(false);
    escbtn->setEnabled(false);

    Panel13 = panel(Panel1, QStringLiteral("Panel13"), Align::Right, 200);
    Splitter5 = makeSplitter(Panel1, QStringLiteral("Splitter5"), Align::Right, Panel13, nullptr);
    connect(Splitter5, &TSplitter::OnPosChanged, this, &TLorvane::Splitter5PosChanged);
    QWidget *groupEditor = Panel16 = panel(Panel13, QStringLiteral("Panel16"), Align::Client);
    Panel16->hide();
    label(groupEditor, QStringLiteral("UserGroupName:"), QPoint(4, 2));
    ugp = edit(groupEditor, QStringLiteral("ugp"), QRect(4, 20, 180, 22));
    label(groupEditor, QStringLiteral("Description:"), QPoint(4, 44));
    udes = named(new QPlainTextEdit(groupEditor), QStringLiteral("udes"));
    udes->setGeometry(4, 62, 180, 50);
    svugp = button(groupEditor, QStringLiteral("svugp"), QStringLiteral("&Save"), QRect(4, 118, 60, 24));
    escugp = button(groupEditor, QStringLiteral("escugp"), QStringLiteral("&Cancel"), QRect(124, 118, 60, 24));
    svugp->setEnabled(false);
    usergp = docked(grid(Panel13, QString()), QStringLiteral("usergp"), Align::Client);
    usersgp = docked(grid(Panel1, QString()), QStringLiteral("usersgp"), Align::Client);
    Splitter5->setControlSecond(usersgp);

    bindUserRegistration();
    bind(mvbtn, &TLorvane::mvbtnClick);
    bind(mvallbtn, &TLorvane::mvallbtnClick);
    bind(remvbtn, &TLorvane::remvbtnClick);
    bind(remvallbtn, &TLorvane::remvallbtnClick);
    bind(okbtn, &TLorvane::okbtnClick);
    bind(escbtn, &TLorvane::escbtnClick);
}

void TLorvane::buildGrantActionPage()
{
    new DockLayout(GrAct);
    Panel12 = panel(GrAct, QStringLiteral("Panel12"), Align::Left, 200);
    Panel14 = panel(GrAct, QStringLiteral("Panel14"), Align::Client);
    Splitter7 = makeSplitter(GrAct, QStringLiteral("Splitter7"), Align::Left, Panel12, Panel14);
    connect(Splitter7, &TSplitter::OnPosChanged, this, &TLorvane::Splitter7PosChanged);
    uusergrid = docked(grid(Panel12, QString()), QStringLiteral("uusergrid"), Align::Client);

    QWidget *buttons = panel(Panel14, QStringLiteral("Panel17"), Align::Left, 40);
    buttonColumn(buttons, {{&gmvallbtn, "gmvallbtn", ">>", "Move all"},
                           {&gmvbtn, "gmvbtn", ">", "Move"},
                           {&gremvbtn, "gremvbtn", "<", "Remove"},
                           {&gremvallbtn, "gremvallbtn", "<<", "Remove all"},
                           {&gokbtn, "gokbtn", "OK", "Save and Commit"},
                           {&gescbtn, "gescbtn", "Esc", "Cancel and RollBack"}});
    gokbtn->setEnabled(false);
    gescbtn->setEnabled(false);

    metalist = docked(grid(Panel14, QString()), QStringLiteral("metalist"), Align::Right, 150);
    metagrid = docked(grid(Panel14, QString()), QStringLiteral("metagrid"), Align::Client);
    Splitter8 = makeSplitter(Panel14, QStringLiteral("Splitter8"), Align::Right, metagrid, metalist);
    connect(Splitter8, &TSplitter::OnPosChanged, this, &TLorvane::Splitter8PosChanged);

    bindGrantActionPage();
}
