#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// "Column divider setting": the separator of a text export. Created once at
// start and reused, so the edit offers the separator typed last.
class TfmDivider : public QDialog {
    Q_OBJECT
public:
    explicit TfmDivider(QWidget *parent = nullptr);
    ~TfmDivider() override;

    // The separator confirmed last: one character.
    QString Separator = QStringLiteral("!");

    QLabel *Label1;
    QLineEdit *EditDivider;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;

    // What an OK with nothing typed is told.
    static const QString kEmptySeparator;

    // OK: takes the first character typed; with nothing typed the dialog
    // says why and stays open.
    void BitBtn1Click();
};

extern TfmDivider *fmDivider;
