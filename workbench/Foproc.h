#pragma once

#include "engine/Query.h"

#include <QDialog>

class QPushButton;
class QTableView;
class WorkStatus;
namespace engine {
class GridModel;
}

// What the two chooser dialogs share: a catalogue list read on NationalDB in
// its own short transaction, a one-column grid, "Choose" and Cancel, and the
// letter search that walks the list forward from the current row.
class TChooserDialog : public QDialog {
    Q_OBJECT
public:
    engine::Query Query1;
    QTableView *DBGrid1;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;
    QString SearchPrefix;

    // Rereads the list; "Choose" follows whether it has rows; the grid gets
    // the focus and the search starts afresh.
    void FormShow();
    // The current row's values into the dialog's fields; closes with OK.
    void OKBtnClick();
    // Reads the list and sets the buttons first, so the dialog is ready for
    // use when shown, then shows it modally; the dialog's result.
    int choose();
    // One typed key of the letter search: Esc clears the prefix and goes to
    // the first row, any other character extends the prefix.
    void SearchKey(int key, const QString &text);
    // The object's name on the current row.
    QString currentName() const;
    // The stored source of the current row.
    QString currentSource() const;
    // Reads the list in a transaction of its own on NationalDB that is
    // committed also when the read fails; the failure is passed on.
    void reopenList();

protected:
    // status: where a failed read is shown and who opens the user connection
    // again after a reread.
    TChooserDialog(const QString &nameField, const QString &sourceField, WorkStatus &status, QWidget *parent);
    // The list read again with the user connection closed around it, as
    // before every use, so a name just compiled is seen with its new
    // definition; the connection is opened again also when the read fails,
    // and the failure is passed on.
    void reopenListReconnecting();
    // Finds name without regard to case from the first row; true when found.
    bool selectName(const QString &name);
    virtual void takeRow() = 0;
    virtual void arrangeColumns() = 0;
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    engine::GridModel *m_model;
    QString m_nameField;
    QString m_sourceField;
    WorkStatus &m_status;
    bool m_searchInGrid = true;
    bool m_listRead = false; // choose() has read the list for this show
};

// "Choose Procedure".
class TfmOpenProc : public TChooserDialog {
    Q_OBJECT
public:
    explicit TfmOpenProc(WorkStatus &status, QWidget *parent = nullptr);
    ~TfmOpenProc() override;
    QString ProcName;
    // Rereads the list (the user connection is reconnected around it, as
    // before every use) and stands on name. A name that is not in the list
    // changes nothing and gives false; with no rows ProcName is "Unknown".
    bool SelectByName(const QString &name);
    void FormKeyPress(int key, const QString &text) { SearchKey(key, text); }

protected:
    void takeRow() override;
    void arrangeColumns() override;
    void keyPressEvent(QKeyEvent *e) override;
};

extern TfmOpenProc *fmOpenProc;
