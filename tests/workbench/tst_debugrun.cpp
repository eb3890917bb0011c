#include "WorkbenchFixture.h"
#include "support/GuiTestMain.h"

class Test_tst_debugrun : public QObject {
    Q_OBJECT
private slots:
    void placeholder() {}
};

DUNMOOR_GUI_TEST_MAIN(Test_tst_debugrun)
#include "tst_debugrun.moc"
