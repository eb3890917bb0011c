#pragma once

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QToolButton;

// "Launch dialog": before a debug run on a local server, asks the user to
// prepare a second copy in spy mode or to let the program start one.
// Results: 6 "Launch 2nd copy", 1 "Continue".
class TFmLaunch : public QDialog {
    Q_OBJECT
public:
    enum Result { ContinueResult = 1, LaunchCopyResult = 6 };

    explicit TFmLaunch(QWidget *parent = nullptr);
    ~TFmLaunch() override;

    // The instructions, line by line.
    static const QStringList &instructions();

    QPlainTextEdit *Memo1;
    QToolButton *SBLaunch;
    QToolButton *SpeedButton1;

    void SBLaunchClick();
    void SpeedButton1Click();

protected:
    void showEvent(QShowEvent *e) override;

private:
    void fitText();
};

extern TFmLaunch *FmLaunch;
