// The debug run: the procedure of the editor runs on the debug connection in
// a worker thread while this window keeps serving its timers and input.
#include "workbench/fBrowser.h"

void TfmBrowser::buildRunWidgets() {}
void TfmBrowser::SBdebExecSQLClick() {}
void TfmBrowser::SBdebShowSetClick() {}
void TfmBrowser::SBNewSessionClick() {}
void TfmBrowser::TimerExecTimer() {}
