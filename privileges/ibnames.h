#pragma once

#include "engine/Query.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QRadioButton;
class QTableView;
class TGrantData;

// "IB Server Users": the server's users, read on the managed connection,
// all of them or only those not registered yet (SYSDBA never); the chosen
// one is taken into the user editor by the main window.
class TIBnames : public QDialog {
    Q_OBJECT
public:
    explicit TIBnames(TGrantData &data, QWidget *parent = nullptr);
    ~TIBnames() override;

    engine::Query IBUsers;
    QTableView *DBGrid1;
    QPushButton *okbtn, *cancelbtn;
    QRadioButton *AllUsers, *RadioButton1;
    // Says that the connected user sees only his own row.
    QLabel *ownlbl;

    // Fills the list; false, with the server's text in lastError(), when
    // the list could not be read. "&Add" is enabled exactly when it has rows.
    bool usersview(bool unregisteredOnly);
    const QString &lastError() const { return m_lastError; }
    // How a failure of the radio buttons' reading is shown.
    std::function<void(const QString &)> showError;

    // The row "&Add" took: a null part leaves the editor's field as it was.
    struct Chosen {
        QString user;
        std::optional<QString> first, middle, last;
    };
    Chosen chosen();

    void AllUsersClick();
    void RadioButton1Click();
    void okbtnClick();
    void cancelbtnClick();
    void FormShow();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void reread(bool unregisteredOnly);

    TGrantData &m_data;
    QString m_lastError;
};

extern TIBnames *IBnames;
