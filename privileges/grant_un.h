#pragma once

#include "privileges/AdminTables.h"
#include "privileges/ConnectRules.h"
#include "privileges/FrameRules.h"
#include "privileges/GroupAssignments.h"
#include "privileges/LayerChecks.h"
#include "privileges/PrivilegeList.h"
#include "privileges/UserRegistry.h"
#include "privileges/gdata_un.h"

#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QAction;
class QDialog;
class QComboBox;
class QGroupBox;
class QHeaderView;
class QLabel;
class QLineEdit;
class QListWidget;
class QModelIndex;
class QPainter;
class QStyleOptionViewItem;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TSplitter;
class Tbasepar;
class TIBnames;
class Tgrantmes;
class Tgrantmes2;
namespace engine {
class DataSet;
}
namespace privileges {
enum class GroupEdit;
}
namespace platform {
class PanelStatusBar;
}
namespace engine {
class GridModel;
}

// The privilege manager's main window: the page control with the connection
// page and the four pages of privileges, grant groups, user groups and
// assignments, the tool panel with its clock, the status bar and the menu.
// The handlers carry the names the program gives them; what they decide is
// in FrameRules and the connection rules, beside it. What the data module's
// handlers change on the window comes in through GrantDataView.
class TLorvane : public QMainWindow, public GrantDataView {
    Q_OBJECT
public:
    // arguments: the program's arguments without its name; any argument makes
    // the first show connect with them (alias, user name, password).
    explicit TLorvane(const QStringList &arguments = {}, QWidget *parent = nullptr);
    ~TLorvane() override;

    // The splash, freed at the end of the first show.
    void setSplash(QWidget *splash) { m_splash = splash; }
    // The login dialog, created after the main window.
    void setLoginDialog(Tbasepar *dialog) { m_login = dialog; }
    // The about box, shown by About1Click.
    void setAboutBox(QDialog *about) { m_about = about; }
    // The data module, made right after the window: its handlers report to
    // the window, and the privilege grid shows its list.
    void setDataModule(TGrantData *data);
    // The grant and revoke dialogs of the privilege page.
    void setGrantDialogs(Tgrantmes *grant, Tgrantmes2 *revoke);
    // The server users dialog of the user editor.
    void setServerUsersDialog(TIBnames *dialog);

    // --- frame
    QWidget *ToolPanel;
    QLabel *clocklbl;
    QTimer *CrTimer;
    QToolButton *refbutton, *Smen, *cntbtn, *dcntbtn, *erasebtn;
    QToolButton *uplus, *umodify, *uminus, *ugplus, *ugmodify, *ugminus;
    QTabWidget *GrantPages;
    QWidget *Connect, *GrantInfo, *GrantGroups, *UserGroups, *GrAct;
    platform::PanelStatusBar *Grantsb;
    QProgressBar *StatusProgress = nullptr; // made by the first show

    // --- menus
    QMenu *DataBase1, *Alias1, *Info1, *MetaObjects1, *UserObjects1, *Grantor1, *Options1, *SortOrder1;
    QMenu *Groups1, *Users1, *User2, *UserG2, *GrantAction1, *View1, *Help1;
    QAction *connect1, *Disconnect1, *Erasemn, *Exit1;
    QAction *Add2, *Modify2, *Delete2;
    QAction *All1, *Selected1, *All2, *Selected2, *All3, *USER1;
    QAction *All4, *Select1, *Insert1, *Delete3, *Update1, *Execute1;
    QAction *byUserObject1, *byMetaObject1, *Grant2, *Revoke2;
    QAction *mvG, *MvaG, *rmvG, *rmvag, *Commit2, *RollBack2;
    QAction *Add3, *Modify3, *delete4, *Add4, *Modify4, *Delete5;
    QAction *MoveToGroup3, *MoveAllToGroup1, *RemoveFromGroup1, *RemoveAllFromGroup1, *Commit1, *RollBack1;
    QAction *Grant1, *GrantAll1, *Revoke1, *RevokeAll1, *Commit3, *RollBack3;
    QAction *ToolBar1, *StatusBar1, *Font1, *ServerManager1, *Refresh1, *HelpTopics1, *About1;

    // --- page Connect
    QGroupBox *SessionInfo, *Aliases;
    QLabel *Nt, *Un;
    QListWidget *SsInfo;
    QTableWidget *AliasParams;
    QTreeWidget *aliasbox;
    QComboBox *DefParamList;
    QPushButton *AddAliasBtn, *ModifyAliasBtn, *DelAliasBtn;

    // --- page GrantInfo (the list and trees are filled by their own parts)
    QWidget *panel9, *Panel8, *btnpanel;
    TSplitter *Splitter4;
    QHeaderView *MOHeader, *UOHeader;
    QRadioButton *MOAll = nullptr, *MOActive = nullptr, *UOAll = nullptr, *UOActive = nullptr;
    QTreeWidget *Metatree, *usertree;
    QToolButton *Upbtn, *DownBtn;
    QPushButton *Grantbtn, *Revokebtn;
    QTableView *PrivGrid;
    QLabel *userlbl, *metalbl;
    QGroupBox *GrantorGroup, *SortOrder;
    QComboBox *PrivBox;
    // The pictures of the trees' nodes, by index (normal / selected pairs).
    QVector<QIcon> ledcntner;

    // --- page GrantGroups
    QTreeWidget *Metatreegrant;
    TSplitter *Splitter2;
    QWidget *Panel2;
    QTableView *gdeflist, *GrantListGrid;
    QLineEdit *gdefname;
    QPlainTextEdit *Grantdesc;
    QPushButton *AddggName, *ModifyGrantGroup, *DelggName;
    QPushButton *MoveallBtn, *Movebtn, *Removebtn, *RemoveAllbtn, *Commitbtn, *RollBackbtn;

    // --- page UserGroups
    QWidget *Userpanel, *Panel1, *Panel10, *Panel13;
    TSplitter *Splitter3, *Splitter5;
    QTableView *usergrid, *usersgp, *usergp;
    QLineEdit *usn, *fn, *mn, *ln, *ugp;
    QPlainTextEdit *udes;
    QPushButton *svu, *escu, *AddIBnames, *svugp, *escugp;
    QToolButton *mvbtn, *mvallbtn, *remvbtn, *remvallbtn, *okbtn, *escbtn;
    // The editors' panels, shown in their grid's place while it is hidden.
    QWidget *Panel9, *Panel16;
    // The popup of `usergrid` and `usergp`.
    QMenu *upamenu;
    QAction *Add1, *Modify1, *Delete1;
    // The Save buttons' tags: the editor's mode, 1 add, 0 modify.
    int svuTag = 0, svugpTag = 0;

    // --- page GrAct
    QWidget *Panel12, *Panel14;
    TSplitter *Splitter7, *Splitter8;
    QTableView *uusergrid, *metagrid, *metalist;
    QToolButton *gmvallbtn, *gmvbtn, *gremvbtn, *gremvallbtn, *gokbtn, *gescbtn;
    // The letter search of its three grids and the type icons of two.
    void uusergridKeyPress(const QString &typed);
    void metagridKeyPress(const QString &typed);
    void metalistKeyPress(const QString &typed);
    void uusergridDrawColumnCell(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index);
    void metagridDrawColumnCell(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index);

    // --- operations of the frame
    // The guard before leaving a page with work and before closing: true
    // when the page may be left or the program closed.
    bool exitaction();
    void resizebtnpanel();
    // A page change as the user makes it: the guard when leaving a page with
    // work, then the change and its four blocks. False when the guard kept
    // the page.
    bool selectPage(int index);
    // The application's exception display.
    void AppException(const QString &text);
    // Runs a handler, showing what it raises through AppException.
    template<typename F>
    void guarded(F &&handler);
    // The pages' own commit and roll-back controls, all disabled: after the
    // guard has settled the transaction they share, no page has work left.
    void resetPageControls();
    // Runs a page's operation. An operation that fails has rolled back the
    // transaction every page shares: no page has work left to offer.
    template<typename F>
    void settledOnFailure(F &&operation);
    framerules::PendingWork pendingWork() const;
    // The colour of the window's font, as the settings keep it.
    int FontColor = framerules::kWindowTextColor;

    // --- connection state and operations (the connection page)
    QStringList LangDriverDescs, LangDriverNames;
    int DefParamListTag = 0; // 1 while the in-place list is shown
    void FillAliasBox();
    void AliasBoxChange(QTreeWidgetItem *item);
    void BtnEnabled(int mode);
    void FillNewParams();
    QString ChooseDesc(const QString &name);
    QString ChooseName(const QString &description);
    void FillList();
    void Refsys();
    // Commits and closes the connection. A failed commit raises the
    // server's error and leaves the connection open with its work pending.
    void disconnectdb();
    // The user's answer to the login dialog, or the command line's values.
    const QStringList &commandLine() const { return m_arguments; }

    // --- administrative tables and the data sets of the pages
    // Creates the six tables and imports the existing privileges; raises
    // the server's error.
    // Tells the user which objects a fill passed over, when any.
    void showLeftOut(const QStringList &leftOut);
    // What the import left out, one line each.
    QStringList CreateGrantTables();
    void HideGroupPages();
    // Opens the privilege list when closed; true when it has a row.
    bool OpenTrigList();
    // The page-change blocks' data sets: grant groups and their privileges;
    // user groups, members and users (filtered); assignments and users.
    void OpenGrantGroupSets();
    void OpenUserGroupSets();
    void OpenGrantActionSets();
    bool GrantListHasRows();
    void GrantDefSDDataChange();
    // The data sets closed before the connection closes.
    void CloseDataSets();
    // Status panel 2 and StatusProgress, for the operations that report.
    privileges::OperationProgress &progress();

    // --- metadata trees: build false empties them; an error is shown and
    // leaves them empty.
    void FillMetaTree(bool build);
    // A table or view node of an object tree gets its columns when first
    // opened, or when a command needs them.
    void ensureColumns(QTreeWidgetItem *item);

    // --- the privilege page
    void filterview();

    // --- GrantDataView
    bool grantGroupsPageActive() const override;
    void setGroupButtons(bool add, bool deleteAndModify) override;
    void enableGroupCommit() override;
    void setRemoveButtons(bool enabled) override;
    void setPrivilegeButton(bool automatic) override;
    void setRevokeEnabled(bool enabled) override;
    void setMembersTitle(const QString &title) override;
    void setHoldersTitle(const QString &title) override;
    void ubuttons() override;

public slots:
    // --- frame (Part of this window)
    void FormShow();
    void FormResize();
    void GrantPagesChange();
    void Exit1Click();
    void ToolBar1Click();
    void StatusBar1Click();
    void fontbtnClick();
    void SmenClick();
    void HelpTopics1Click();
    void About1Click();
    void CrTimerTimer();
    void Splitter2PosChanged(QObject *sender);
    void Splitter3PosChanged(QObject *sender);
    void Splitter5PosChanged(QObject *sender);
    void Splitter7PosChanged(QObject *sender);
    void Splitter8PosChanged(QObject *sender);
    void btnpanelResize();

    // --- connection and aliases
    void cntbtnClick();
    void connect1Click();
    void dcntbtnClick();
    void Disconnect1Click();
    void AddAliasBtnClick();
    void ModifyAliasBtnClick();
    void DelAliasBtnClick();
    void Add2Click();
    void Modify2Click();
    void Delete2Click();
    void AliasParamsClick();
    void AliasParamsTopLeftChanged();
    void DefParamListChange();
    void DefParamListDropDown();

    // --- administrative tables, trees, privilege page
    void refbuttonClick();
    void erasebtnClick();
    void usertreeChange();
    void MetatreeChange();
    void UOSectionClick();
    void MOSectionClick();
    void GrantorGroupClick();
    void PrivBoxClick();
    void SortOrderClick();
    void PrivGridKeyPress(const QString &typed);
    void UpbtnClick();
    void DownBtnClick();
    void GrantbtnClick();
    void RevokebtnClick();
    // the "Info" menu, mirroring the page's controls
    void All1Click();
    void Selected1Click();
    void All2Click();
    void Selected2Click();
    void All3Click();
    void USER1Click();
    void All4Click();
    void Select1Click();
    void Insert1Click();
    void Delete3Click();
    void Update1Click();
    void Execute1Click();

    // --- commands of the parts that fill the pages (grant_un_pending.cpp)
    void uplusClick();
    void umodifyClick();
    void uminusClick();
    void ugplusClick();
    void ugmodifyClick();
    void ugminusClick();
    void MovebtnClick();
    void MoveallBtnClick();
    void RemovebtnClick();
    void RemoveAllbtnClick();
    void CommitbtnClick();
    void RollBackbtnClick();
    void AddggNameClick();
    void DelggNameClick();
    void ModifyGrantGroupClick();
    void GrantListGridDblClick();
    // Ctrl+Delete removes the current row; a typed character searches.
    bool GrantListGridKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void GrantListGridKeyPress(const QString &typed);
    void Add3Click();
    void Modify3Click();
    void delete4Click();
    void Add4Click();
    void Modify4Click();
    void Delete5Click();
    void svuClick();
    void escuClick();
    void svugpClick();
    void escugpClick();
    // --- users and user groups (grant_un_users.cpp)
    void Add1Click();
    void Modify1Click();
    void Delete1Click();
    void upamenuPopup();
    void usnChange();
    void ugpChange();
    void AddIBnamesClick();
    void usergridKeyPress(const QString &typed);
    void usergpKeyPress(const QString &typed);
    void usersgpKeyPress(const QString &typed);
    // The grids' own cells: the type picture, or the name.
    void usergridDrawColumnCell(QPainter &p, const QRect &cell, int row, int column, bool selected);
    void usergpDrawColumnCell(QPainter &p, const QRect &cell, int row, int column, bool selected);
    void usersgpDrawColumnCell(QPainter &p, const QRect &cell, int row, int column, bool selected);
    void mvbtnClick();
    void mvallbtnClick();
    void remvbtnClick();
    void remvallbtnClick();
    void okbtnClick();
    void escbtnClick();
    void gmvbtnClick();
    void gmvallbtnClick();
    void gremvbtnClick();
    void gremvallbtnClick();
    void gokbtnClick();
    void gescbtnClick();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildFrame();
    void buildMenu();
    void buildConnectPage();
    void buildGrantInfoPage();
    void buildGrantGroupsPage();
    void buildUserGroupsPage();
    // --- users and user groups
    void bindUserRegistration();
    void bindUserGroupGrids(TGrantData &data);
    QTableView *focusedUserGrid() const;
    void focusUserGrid(QTableView *grid);
    // Add (empty) or modify (the focused grid's current row).
    void openRegistryEditor(bool adding);
    void showUserEditor(bool open);
    void showUserGroupEditor(bool open);
    // After a save or deletion committed or rolled back everything: no page
    // has work left, the lists show what is there now.
    void afterRegistryChange();
    // Runs a save or deletion; anything but a refusal has ended the
    // transaction, so the pages are brought up to date before it is shown.
    template<typename F>
    void registryChange(F &&work);
    void buildGrantActionPage();
    void readSettings();
    // Steps of the first show: the alias list with its pictures and first
    // selection, the parameter grid's sizes, the window grown to hold the
    // privilege page, the alias list placed beside the grid.
    void showAliasList();
    void sizeAliasGrid();
    void fitToScreen();
    void placeAliasList();
    // Pages 1 to 4 hidden and disabled: only the connection page is left.
    void hideWorkPages();
    // The tool bar and status bar commands: the mark and the bar's visibility
    // toggled, the layout redone, the new state stored (or the user told it
    // could not be).
    void toggleBar(QAction *mark, QWidget *bar, const QString &value, const QString &what);
    void createHeaderButtons();
    void placeStatusProgress();
    // Binds an action or button to a handler through the exception display.
    void bind(QAction *action, void (TLorvane::*handler)());
    void bind(QAbstractButton *button, void (TLorvane::*handler)());
    // The page-change guard: false keeps the page.
    bool GrantPagesChanging();
    // The four blocks of a page change, each told whether its page is the
    // one now shown: menus follow the page, its data sets are opened.
    void privilegePageChange(bool shown);
    void userGroupsPageChange(bool shown);
    void grantActionPageChange(bool shown);
    void grantGroupsPageChange(bool shown);
    // Settles the one transaction for the guard (commit or roll back); false,
    // with the server's error shown, when that failed.
    bool settleTransaction(bool commit);
    void FormCloseQuery(bool &canClose);
    // Settles and closes the connection; false keeps the window open.
    bool FormClose();
    // The guard's answer for the open editors: Yes saves them, No closes
    // them; a save that cannot be made raises.
    void completeOpenEntries(const framerules::PendingWork &work, bool commit);
    // Closes every open editor without saving.
    void abandonOpenEntries();
    // After a failure while the guard completes open entries: the
    // transaction rolled back, no page offers to commit, the error shown.
    void rollbackQuietlyAndShow(const QString &error);

    // --- connection page
    connectrules::LangDrivers langDrivers();
    void showAliasRows(const QString &alias, const QStringList &params, bool nameEditable);
    QString gridText(int row, int column) const;
    QStringList gridParamLines();
    void fitAliasColumns();
    // The picture every item of the alias list shows.
    QIcon aliasIcon() const;
    void placeDefParamList();
    // --- connect and disconnect
    bool askLogin();
    void takeCommandLine();
    QStringList presentAdminTables();
    void showPages(bool allPages);
    void openAdminPages();
    bool createAdminTables();
    // Some of the six tables only: asks whether to create the missing ones
    // or drop those present, and does it; false when the user left them
    // as they are or it failed (said so).
    bool completeAdminTables(const QStringList &missing);
    void stayConnected();
    // The disconnect's steps: the transaction settled and the connection
    // closed (false: the user kept it), then the window as it is without one.
    bool settleAndClose();
    void showDisconnected();
    void closeConnection();
    // --- privilege page
    void bindGrantInfoPage();
    // A grid showing a data set, the two on the same row both ways; titles
    // replace the fields' labels in this grid only, widths size the first
    // columns and the last one fills the rest.
    engine::GridModel *showDataSet(QTableView *grid, engine::DataSet *ds, const QStringList &titles = {},
                                   const QVector<int> &widths = {});
    void setGridTitle(QTableView *grid, int column, const QString &title);
    // --- grant-group page
    void bindGrantGroupsPage(TGrantData &data);
    void bindGrantGroupsKeys();
    void showGroupEdit(privileges::GroupEdit edit);
    // The lists of the group pages read again after the transaction ended
    // or was rolled back: they must show what exists.
    void refreshGroupLists();
    // --- membership half of the user-group page
    void membershipPending();
    // --- assignment page
    void bindGrantActionPage();
    void showAssignmentGrids(TGrantData *data);
    privileges::GroupAssignments assignments();
    // Runs one step of the page; afterwards the page has work pending or
    // not. A failure has rolled back every page's work: none offers to
    // commit, and the error goes on.
    void assignmentStep(const std::function<void()> &work, bool pendingAfter);
    void drawHolderCell(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index,
                        const QString &typeField);
    void updateGrantButton();
    // "All" or "Active" chosen in a tree's header: the tree's selection
    // filters again, or its label says "All".
    void headerChoice(bool active, void (TLorvane::*treeChange)(), QLabel *label, const QString &all,
                      QAction *activeMark, QAction *allMark);
    void markPrivilegeChoice();
    void choosePrivilege(int index);
    void chooseGrantor(int index);
    int sortIndex() const;
    // Moves the border between the two trees (Upbtn, DownBtn).
    void moveTreeBorder(QToolButton *pressed, QToolButton *other, int height);

    QStringList m_arguments;
    QPointer<QWidget> m_splash;
    Tbasepar *m_login = nullptr;
    QDialog *m_about = nullptr;
    bool m_shown = false;
    bool m_connectTag = false; // the tag of cntbtn: 1 for the command-line connect
    bool m_inPageKey = false;
    QPointer<TGrantData> m_data;
    Tgrantmes *m_grantmes = nullptr;
    Tgrantmes2 *m_grantmes2 = nullptr;
    std::unique_ptr<privileges::OperationProgress> m_progress;
    privileges::LetterSearch m_privSearch;
    privileges::LetterSearch m_groupSearch; // GrantListGrid's
    privileges::LetterSearch m_uusergridSearch, m_metagridSearch, m_metalistSearch;
    std::optional<int> m_savedTreeHeight; // kept by btnpanel while a tree is folded away
    // Users and user groups: the grid of the last focus, the rows the
    // editors modify, the letter searches, and pending work whose commit
    // buttons `ubuttons` turned off (an editor open): it is still pending.
    QPointer<QTableView> m_userGridFocus;
    QString m_editedUser, m_editedGroup;
    privileges::LetterSearch m_usergridSearch, m_usergpSearch, m_usersgpSearch;
    bool m_usersPendingHidden = false, m_holdersPendingHidden = false;
    TIBnames *m_ibnames = nullptr;
};

template<typename F>
void TLorvane::guarded(F &&handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        AppException(QString::fromUtf8(e.what()));
    }
}

template<typename F>
void TLorvane::settledOnFailure(F &&operation)
{
    try {
        operation();
    } catch (const privileges::LayerRefusal &) {
        throw; // refused before anything was sent: the work pending stays
    } catch (const std::exception &) {
        resetPageControls();
        throw;
    }
}

template<typename F>
void TLorvane::registryChange(F &&work)
{
    try {
        work();
    } catch (const privileges::RegistryRefusal &) {
        throw;
    } catch (const engine::Error &) {
        afterRegistryChange();
        throw;
    }
    afterRegistryChange();
}

// The one main window, made at start-up.
extern TLorvane *Lorvane;
