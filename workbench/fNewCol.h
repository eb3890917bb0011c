#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

// The New Column dialog: a name and a type for the current table. OK runs
// the add through the function the main window gives it and closes only
// when that succeeds; a refused add leaves the text in place to correct.
class TfmNewCol : public QDialog {
    Q_OBJECT
public:
    // addColumn(name, type): true when the column was added.
    explicit TfmNewCol(std::function<bool(const QString &, const QString &)> addColumn, QWidget *parent = nullptr);

    QLineEdit *EditColName;
    QLineEdit *EditColType;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;

    void FormShow();

public slots:
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent *e) override;

private:
    std::function<bool(const QString &, const QString &)> m_addColumn;
};
