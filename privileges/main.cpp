#include "engine/Runtime.h"
#include "platform/Help.h"
#include "privileges/App.h"
#include "privileges/grant_un.h"
#include "privileges/logo.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    engine::Runtime::prepare();

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
    return app.exec();
}
