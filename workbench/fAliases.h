#pragma once

#include <QDialog>

class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// "Connect to DataBase": the engine's aliases with their parameters, and the
// Local/Remote choice of where the server runs.
class TfmAliases : public QDialog {
    Q_OBJECT
public:
    explicit TfmAliases(bool *serverIsLocal, QWidget *parent = nullptr);

    QListWidget *LBAliases;
    QPlainTextEdit *MParams;
    QRadioButton *RBLocal;
    QRadioButton *RBRemote;
    QPushButton *BtnOK;
    QPushButton *BtnCancel;

    QString SelectedAlias;
    QString UserLine;

    void FormShow();
    void LBAliasesClick();
    void BtnOKClick();
    void RBLocalClick();
    void RBRemoteClick();

protected:
    void showEvent(QShowEvent *e) override;

private:
    void syncRadios();
    bool *m_serverIsLocal;
};
