// Work of the parts that fill the pages, called by the frame under the
// names those parts give it. Each does nothing until its part is built; the
// groups below say which part that is.
#include "privileges/grant_un.h"

// ---- administrative tables and data module
void TLorvane::CreateGrantTables() {}
void TLorvane::HideGroupPages() {}
void TLorvane::erasebtnClick() {}
// Opens the privilege list when closed; true when it has a row.
bool TLorvane::OpenTrigList() { return false; }
// The page-change blocks' data sets: grant groups and their privileges;
// user groups, members and users (filtered); assignments and users.
void TLorvane::OpenGrantGroupSets() {}
void TLorvane::OpenUserGroupSets() {}
void TLorvane::OpenGrantActionSets() {}
bool TLorvane::GrantListHasRows() { return false; }
void TLorvane::GrantDefSDDataChange() {}
// The data sets closed before the connection closes.
void TLorvane::CloseDataSets() {}

// ---- metadata trees
void TLorvane::FillMetaTree(bool) {}
void TLorvane::refbuttonClick() {}

// ---- privilege list, direct grant and revoke
void TLorvane::All1Click() {}
void TLorvane::Selected1Click() {}
void TLorvane::All2Click() {}
void TLorvane::Selected2Click() {}
void TLorvane::All3Click() {}
void TLorvane::USER1Click() {}
void TLorvane::All4Click() {}
void TLorvane::Select1Click() {}
void TLorvane::Insert1Click() {}
void TLorvane::Delete3Click() {}
void TLorvane::Update1Click() {}
void TLorvane::Execute1Click() {}
void TLorvane::GrantbtnClick() {}
void TLorvane::RevokebtnClick() {}

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
void TLorvane::ubuttons() {}
