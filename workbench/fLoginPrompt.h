#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TfmLoginPrompt : public QDialog {
    Q_OBJECT
public:
    explicit TfmLoginPrompt(QWidget *parent = nullptr);

    QLabel *LAlias;
    QLineEdit *EditUserName;
    QLineEdit *EditPassword;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

protected:
    void showEvent(QShowEvent *e) override;
};
