#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/RuntimeDatabases.h"
#include "engine/Session.h"
#include "engine/Termination.h"
#include "platform/Help.h"
#include "workbench/App.h"
#include "workbench/fBrowser.h"
#include "workbench/logo.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    engine::Runtime::prepare();

    // SIGTERM and SIGINT end the program in order: the running debug
    // procedure cancelled, open work rolled back, the event loops ended (a
    // question that is open closes unanswered). A signal that comes while
    // the forms are still being made (a question asked by the command-line
    // connect) is acted on once they stand, since exec() would forget it.
    static Workbench *forms = nullptr;
    static bool terminated = false;
    engine::handleTerminationSignals(&app, [] {
        terminated = true;
        if (forms)
            forms->endOnSignal();
        QCoreApplication::exit(0);
    });

    try {
        // The alias file (with SAMPLE) is there from the start, for the
        // user to add his own aliases to before the first connect.
        engine::Session::configurationFile();
    } catch (const engine::Error &) {
        // The Connect dialog then shows the alias store's own message.
    }
    engine::ensureRuntimeDatabases();

    auto *splash = new TMarrowbyLogo;
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    QApplication::setApplicationName(QStringLiteral("Marrowby "));
    platform::HelpService::instance().setHelpFolder(QApplication::applicationDirPath() + QStringLiteral("/help"));

    QStringList args = QApplication::arguments();
    args.removeFirst();
    // A command-line connect may ask its questions while the forms are made:
    // the splash (always on top) would stand over them.
    if (!args.isEmpty())
        splash->hide();
    Workbench made(args);
    forms = &made;
    if (terminated) {
        made.endOnSignal();
        delete splash;
        return 0;
    }
    made.browser->show();
    delete splash; // freed once the main window has shown
    const int code = app.exec();
    forms = nullptr;
    return code;
}
