#pragma once

#include "privileges/DirectGrants.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableWidget;
class TGrantData;

namespace privileges {
class GrantGroups;
struct MoveTarget;
} // namespace privileges

// "Grant privilege": the privileges to grant on one table or view, each
// with its grant option, and the columns an Update covers. In direct mode
// the grants go to the server, pending in the open transaction; in group
// mode the choice goes to the current grant group through groupGrant.
class Tgrantmes : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Direct, Group };

    explicit Tgrantmes(TGrantData &data, QWidget *parent = nullptr);
    ~Tgrantmes() override;

    QGroupBox *privbox;
    QCheckBox *selcheck, *inscheck, *delcheck, *updcheck;
    QCheckBox *soption, *ioption, *doption, *uoption;
    QTableWidget *Fieldlist;
    QLabel *metalbl;
    QLabel *userlbl;
    QPushButton *okbtn;
    QPushButton *cancelbtn;
    // Column mode: 0 the columns of the whole object can be ticked, 1 one
    // fixed column.
    int Tag = 0;

    // Group mode: receives the choice, in the order the group takes it.
    // Raises engine::Error to keep the dialog open with the message shown.
    std::function<void(const QVector<privileges::GroupGrantCall> &)> groupGrant;

    // What the caller prepares before showing the dialog: every privilege
    // ticked, no grant option; with tag 0 every column of the object ticked,
    // with tag 1 the one column. The grant options are offered to users
    // only. In group mode the object label is the bare name.
    void prepare(Mode mode, const QString &object, const QStringList &columns, int tag,
                 const privileges::Grantee &grantee = {});

    // Group mode for ">" on a table, view or column: the target's object
    // and columns, and OK adds the choice to the current grant group.
    void prepareGroup(const privileges::MoveTarget &target, privileges::GrantGroups &groups);

    // The choice as the dialog holds it now.
    privileges::GrantChoice choice() const;
    bool isTicked(int row) const;

    void FormCreate();
    void FormShow();
    // Closing with OK needs a ticked privilege (or no privilege boxes).
    bool FormCloseQuery();
    void FieldlistMouseUp(int row, int column);
    void okbtnClick();

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setTicked(int row, bool ticked);

    TGrantData &m_data;
    Mode m_mode = Mode::Direct;
    QString m_object;
    privileges::Grantee m_grantee;
};

extern Tgrantmes *grantmes;
