#include "engine/Error.h"
#include "engine/Runtime.h"
#include "engine/SampleDatabase.h"
#include "platform/Help.h"
#include "workbench/App.h"
#include "workbench/fBrowser.h"
#include "workbench/logo.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    engine::Runtime::prepare();
    try {
        engine::ensureSampleDatabase();
    } catch (const engine::Error &) {
        // The SAMPLE alias then fails to connect with the server's own message.
    }

    auto *splash = new TMarrowbyLogo;
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    QApplication::setApplicationName(QStringLiteral("Marrowby "));
    platform::HelpService::instance().setHelpFolder(QApplication::applicationDirPath() + QStringLiteral("/help"));

    QStringList args = QApplication::arguments();
    args.removeFirst();
    Workbench forms(args);
    forms.browser->show();
    delete splash; // freed once the main window has shown
    return app.exec();
}
