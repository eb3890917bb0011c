#pragma once

#include <QWidget>

class QLabel;

// The splash form shown while the program starts.
class TLorvaneLogo : public QWidget {
    Q_OBJECT
public:
    explicit TLorvaneLogo(QWidget *parent = nullptr);
    QLabel *Image1;
};
