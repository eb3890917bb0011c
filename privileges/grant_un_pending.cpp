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

// ---- users and user groups
void TLorvane::uplusClick() {}
void TLorvane::umodifyClick() {}
void TLorvane::uminusClick() {}
void TLorvane::ugplusClick() {}
void TLorvane::ugmodifyClick() {}
void TLorvane::ugminusClick() {}
void TLorvane::Add3Click() {}
void TLorvane::Modify3Click() {}
void TLorvane::delete4Click() {}
void TLorvane::Add4Click() {}
void TLorvane::Modify4Click() {}
void TLorvane::Delete5Click() {}
void TLorvane::svuClick() {}
void TLorvane::escuClick() {}
void TLorvane::svugpClick() {}
void TLorvane::escugpClick() {}
// The enabled state of the user and assignment pages.
void TLorvane::ubuttons() {}
