#pragma once

#include "privileges/DirectGrants.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class TGrantData;

// "Revoke privilege": revokes the current row of the privilege list (or
// only its grant option); prepared as "Grant privilege" it grants Execute
// on a procedure. Either way the work is committed at once, with whatever
// else was pending.
class Tgrantmes2 : public QDialog {
    Q_OBJECT
public:
    explicit Tgrantmes2(TGrantData &data, QWidget *parent = nullptr);
    ~Tgrantmes2() override;

    QLabel *grantlbl;
    QCheckBox *optioncheck;
    QLabel *privilege;
    QLabel *tbllbl;
    QLabel *userlbl;
    QPushButton *okbtn;
    QPushButton *cancelbtn;

    // Execute on a procedure to a grantee; the grant option offered to users.
    void prepareGrant(const QString &procedure, const privileges::Grantee &grantee);
    // A row of the list. False (nothing prepared) for a grantee of a kind
    // the list cannot revoke from; the caller shows unknownGranteeText().
    bool prepareRevoke(const privileges::PrivilegeRow &row);

    void FormShow();
    // Closes the dialog in every case, then does the work and shows its
    // refusal, warning or error.
    void okbtnClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void run();

    TGrantData &m_data;
    bool m_revoke = true;
    QString m_procedure;
    privileges::Grantee m_grantee;
    privileges::PrivilegeRow m_row;
};

extern Tgrantmes2 *grantmes2;
