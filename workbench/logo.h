#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;

// The splash form shown while the program starts.
class TMarrowbyLogo : public QWidget {
    Q_OBJECT
public:
    explicit TMarrowbyLogo(QWidget *parent = nullptr);
    QLabel *Image1;
    QPlainTextEdit *Notice;
};
