#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLineEdit;
class QPushButton;
class TMyRichEdit;

// "Find": the modeless, always-on-top find and replace dialog. It works on
// whichever editor last showed it and keeps its texts and check boxes
// between uses.
class TfmFind : public QDialog {
    Q_OBJECT
public:
    explicit TfmFind(QWidget *parent = nullptr);

    // What the pages' "Find/Replace" buttons do: the dialog now works on
    // editor, and is shown and brought to the front without waiting for it.
    void ShowFor(TMyRichEdit *editor);

    QLineEdit *Edit1; // find
    QLineEdit *Edit2; // replace
    QCheckBox *CBIgnoreCase;
    QCheckBox *CBConfirm;
    QPushButton *BitBtn2; // "Find Next"
    QPushButton *BitBtn3; // "Find and Replace"
    QPushButton *BitBtn4; // "Replace All"
    QPushButton *BitBtn1; // "Cancel"

    // The editor the dialog works on; set by whoever shows it.
    QPointer<TMyRichEdit> Editor;

public slots:
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn1Click();

private:
    void findNext(bool replace);
};
