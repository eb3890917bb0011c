// Work of the parts that fill the pages, called by the frame under the
// names those parts give it. Each does nothing until its part is built; the
// groups below say which part that is.
#include "privileges/grant_un.h"

// ---- grant groups: definitions and adding privileges
void TLorvane::MovebtnClick() {}
void TLorvane::MoveallBtnClick() {}
void TLorvane::CommitbtnClick() {}
void TLorvane::RollBackbtnClick() {}
void TLorvane::AddggNameClick() {}
void TLorvane::DelggNameClick() {}

// ---- grant groups: removing privileges
void TLorvane::RemovebtnClick() {}
void TLorvane::RemoveAllbtnClick() {}

// ---- user-group membership
void TLorvane::mvbtnClick() {}
void TLorvane::mvallbtnClick() {}
void TLorvane::remvbtnClick() {}
void TLorvane::remvallbtnClick() {}
void TLorvane::okbtnClick() {}
void TLorvane::escbtnClick() {}

// ---- assigning grant groups
void TLorvane::gmvbtnClick() {}
void TLorvane::gmvallbtnClick() {}
void TLorvane::gremvbtnClick() {}
void TLorvane::gremvallbtnClick() {}
void TLorvane::gokbtnClick() {}
void TLorvane::gescbtnClick() {}
