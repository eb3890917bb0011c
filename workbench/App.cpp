#include "workbench/App.h"

#include "workbench/DM1.h"
#include "workbench/fAliases.h"
#include "workbench/fBrowser.h"
#include "workbench/fExternal.h"
#include "workbench/fQuery.h"
#include "workbench/Repository.h"
#include "workbench/fLoginPrompt.h"
#include "workbench/fLaunch.h"
#include "workbench/fdivider.h"
#include "workbench/fmFindStr.h"
#include "workbench/Foproc.h"
#include "workbench/Foptrg.h"

#include "engine/Runtime.h"
#include "engine/Transaction.h"


Workbench::Workbench(const QStringList &arguments)
{
    dm = std::make_unique<TDM>();
    TDM *m = dm.get();
    external = std::make_unique<TfmExternal>(
        [m](const QString &path) {
            return Repository(m->Database, m->Q6.statement(), m->Q7.statement())
                .testExternalPath(path, engine::Runtime::ownExternalFolder(m->Database.settings().serverName));
        },
        [m] { Repository(m->Database, m->Q6.statement(), m->Q7.statement()).dropProbeTable(); });
    browser = std::make_unique<TfmBrowser>(arguments);
    aliases = std::make_unique<TfmAliases>(&browser->ServerIsLocal, browser.get());
    login = std::make_unique<TfmLoginPrompt>(browser.get());
    browser->setDialogs(aliases.get(), login.get());
    openProc = std::make_unique<TfmOpenProc>(*browser, browser.get());
    openTrig = std::make_unique<TfmOpenTrig>(*browser, browser.get());
    launch = std::make_unique<TFmLaunch>(browser.get());
    divider = std::make_unique<TfmDivider>(browser.get());
    find = std::make_unique<TfmFind>(browser.get());
}

// SIGTERM or SIGINT: a running debug procedure is cancelled on the server,
// open work is rolled back, and the event loops end (a box that is open
// closes unanswered); the connections close with the forms.
void Workbench::endOnSignal()
{
    if (browser->WorkerRunning)
        dm->DataBase2.cancel();
    else
        engine::rollbackQuietly(dm->DataBase2);
    // A console statement ends with an error on its thread, and the console
    // rolls its transaction back.
    if (browser->ConsoleRunning)
        dm->Database.cancel();
    else
        engine::rollbackQuietly(dm->Database);
    engine::rollbackQuietly(dm->DatabaseN);
}

Workbench::~Workbench()
{
    // A worker inside a server call when the program ends would abort it:
    // the background statements are cancelled and their workers joined first.
    EndBackgroundQueries();
    find.reset();
    divider.reset();
    launch.reset();
    openTrig.reset();
    openProc.reset();
    login.reset();
    aliases.reset();
    browser.reset();
    external.reset();
    dm.reset();
}
