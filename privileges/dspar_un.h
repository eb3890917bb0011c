#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The login dialog of the connect command: the alias, the user name (kept
// from connection to connection) and the password.
class Tbasepar : public QDialog {
    Q_OBJECT
public:
    explicit Tbasepar(QWidget *parent = nullptr);

    QLabel *DBAlias;
    QLineEdit *nmedit;
    QLineEdit *pswedit;
    QPushButton *ConnectBtn;
    QPushButton *CancelBtn;

    // Takes the main window's font name each time it is shown; the input
    // starts in the password.
    void FormShow();

protected:
    void showEvent(QShowEvent *event) override;
};

extern Tbasepar *basepar;
