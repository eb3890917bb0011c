// Connection and alias administration (built with the connection page).
#include "privileges/grant_un.h"

void TLorvane::FillAliasBox() {}
void TLorvane::AliasBoxChange(QTreeWidgetItem *) {}
void TLorvane::BtnEnabled(int) {}
void TLorvane::FillNewParams() {}
QString TLorvane::ChooseDesc(const QString &) { return QString(); }
QString TLorvane::ChooseName(const QString &) { return QString(); }
void TLorvane::FillList() {}
void TLorvane::Refsys() {}
void TLorvane::disconnectdb() {}
bool TLorvane::FormClose()
{
    disconnectdb();
    return true;
}
void TLorvane::cntbtnClick() {}
void TLorvane::connect1Click() {}
void TLorvane::dcntbtnClick() {}
void TLorvane::Disconnect1Click() {}
void TLorvane::AddAliasBtnClick() {}
void TLorvane::ModifyAliasBtnClick() {}
void TLorvane::DelAliasBtnClick() {}
void TLorvane::Add2Click() {}
void TLorvane::Modify2Click() {}
void TLorvane::Delete2Click() {}
void TLorvane::AliasParamsClick() {}
void TLorvane::AliasParamsTopLeftChanged() {}
void TLorvane::DefParamListChange() {}
void TLorvane::DefParamListDropDown() {}
