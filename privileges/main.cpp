#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/RuntimeDatabases.h"
#include "engine/Termination.h"
#include "engine/Transaction.h"
#include "privileges/gdata_un.h"
#include "platform/Help.h"
#include "privileges/App.h"
#include "privileges/grant_un.h"
#include "privileges/logo.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    engine::Runtime::prepare();

    // SIGTERM and SIGINT: the open transaction rolled back and the event
    // loops ended (an open question closes unanswered), instead of the
    // client library shutting the connection down under a running program.
    // A signal that comes before exec() is acted on there, since exec()
    // would forget it.
    static bool terminated = false;
    engine::handleTerminationSignals(&app, [] {
        terminated = true;
        if (GrantData)
            engine::rollbackQuietly(GrantData->grantdb);
        QCoreApplication::exit(0);
    });

    engine::ensureRuntimeDatabases();

    auto *splash = new TLorvaneLogo;
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    QApplication::setApplicationName(QStringLiteral("LorvanePro"));
    platform::HelpService::instance().setHelpFolder(QApplication::applicationDirPath() + QStringLiteral("/help"));

    QStringList args = QApplication::arguments();
    args.removeFirst();
    Lorvane32 forms(args);
    forms.main->setSplash(splash); // freed at the end of the first show
    forms.main->show();
    if (terminated)
        return 0;
    return app.exec();
}
