#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The about box both programs show, each with its own product name and
// version text.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox(const QString &productName, const QString &version, const QIcon &icon,
              QWidget *parent = nullptr);

    QLabel *ProgramIcon;
    QLabel *ProductName;
    QLabel *Version;
    QPushButton *OKButton;
    QPlainTextEdit *Notice;
};
