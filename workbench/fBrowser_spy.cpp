// Spy mode: the polling side of the break/continue protocol, the progress
// view, the dumps and the point list.
#include "workbench/fBrowser.h"

void TfmBrowser::buildSpyPages(QWidget *, QHBoxLayout *) {}
void TfmBrowser::RefreshPointList() {}
void TfmBrowser::SBSpyModeClick() { m_spyMode = true; }
void TfmBrowser::SBDebugModeClick() { m_spyMode = false; }
void TfmBrowser::TimerBPTimer() {}
void TfmBrowser::TimerGenTimer() {}
void TfmBrowser::SBContinueClick() {}
void TfmBrowser::CBMinClick() {}
void TfmBrowser::SBGoToSourceClick() {}
void TfmBrowser::SBGenstozeroClick() {}
void TfmBrowser::SBShowDumpClick() {}
void TfmBrowser::SBShowBPDumpClick() {}
void TfmBrowser::SBCloseTPDumpClick() {}
void TfmBrowser::SBCloseBPDumpClick() {}
void TfmBrowser::SBExportTPDumpClick() {}
void TfmBrowser::SBExportBPDumpClick() {}
void TfmBrowser::SBShowAllPointsClick() {}
void TfmBrowser::SBShowBPClick() {}
void TfmBrowser::SBShowTPClick() {}
void TfmBrowser::SBShowPPClick() {}
void TfmBrowser::SBSortedByProcClick() {}
void TfmBrowser::SBSortedByPointClick() {}
void TfmBrowser::SBViewSourceClick() {}
void TfmBrowser::SBDropPointClick() {}
void TfmBrowser::SBDropAllPointsClick() {}
void TfmBrowser::RGTimerClick(int) {}
