#include "privileges/App.h"

#include "common/about_un.h"
#include "privileges/dspar_un.h"
#include "privileges/gdata_un.h"
#include "privileges/gmes2.h"
#include "privileges/gmes_un.h"
#include "privileges/grant_un.h"
#include "privileges/ibnames.h"

Lorvane32::Lorvane32(const QStringList &arguments)
{
    main = std::make_unique<TLorvane>(arguments);
    data = std::make_unique<TGrantData>();
    GrantData = data.get();
    main->setDataModule(data.get());
    grant = std::make_unique<Tgrantmes>(*data, main.get());
    about = std::make_unique<TAboutBox>(QStringLiteral("Lorvane32Pro"), QStringLiteral("Version 1.04"),
                                        main->windowIcon(), main.get());
    main->setAboutBox(about.get());
    ibnames = std::make_unique<TIBnames>(*data, main.get());
    main->setServerUsersDialog(ibnames.get());
    login = std::make_unique<Tbasepar>(main.get());
    main->setLoginDialog(login.get());
    revoke = std::make_unique<Tgrantmes2>(*data, main.get());
    main->setGrantDialogs(grant.get(), revoke.get());
}

Lorvane32::~Lorvane32()
{
    revoke.reset();
    login.reset();
    ibnames.reset();
    about.reset();
    grant.reset();
    main.reset();
    data.reset();
}
