#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "External tables path setting": where the server keeps the debug tables.
// Result 1: the path was tested and accepted; 2: left unset.
// Created before the main window, as a command-line connect can need it.
class TfmExternal : public QDialog {
    Q_OBJECT
public:
    using Probe = std::function<bool(const QString &)>;
    TfmExternal(Probe test, std::function<void()> dropProbe, QWidget *parent = nullptr);

    // The path as typed and normalised; empty when left unset.
    QString ExternalTablesPath;

    QPlainTextEdit *Memo1;
    QLineEdit *EditExtPath;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;

    // Puts folder into the edit, when the server's own folder is known
    // (empty: the sample path stays).
    void Offer(const QString &folder);
    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent *e) override;

private:
    Probe m_test;
    std::function<void()> m_dropProbe;
};

extern TfmExternal *fmExternal;
