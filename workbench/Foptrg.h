#pragma once

#include "workbench/Foproc.h"

// "Choose trigger".
class TfmOpenTrig : public TChooserDialog {
    Q_OBJECT
public:
    explicit TfmOpenTrig(WorkStatus &status, QWidget *parent = nullptr);
    ~TfmOpenTrig() override;
    QString TrigName;
    QString RelationName;
    qint16 TrigType = 0;
    qint16 TrigInactive = 0;
    qint16 TrigSequence = 0;
    // As TfmOpenProc::SelectByName.
    bool SelectByName(const QString &name);
    void DBGrid1KeyPress(int key, const QString &text) { SearchKey(key, text); }

protected:
    void takeRow() override;
    void arrangeColumns() override;
};

extern TfmOpenTrig *fmOpenTrig;
