#pragma once

#include <QStringList>
#include <memory>

class TLorvane;
class TGrantData;
class TAboutBox;
class Tbasepar;
class Tgrantmes;
class Tgrantmes2;
class TIBnames;

// The program's forms, created in its start-up order: the main window, the
// data module, then the dialogs (the grant dialog, the about box, the server
// users dialog, the login dialog, the revoke dialog).
struct Lorvane32 {
    std::unique_ptr<TLorvane> main;
    std::unique_ptr<TGrantData> data;
    std::unique_ptr<Tgrantmes> grant;
    std::unique_ptr<TAboutBox> about;
    std::unique_ptr<TIBnames> ibnames;
    std::unique_ptr<Tbasepar> login;
    std::unique_ptr<Tgrantmes2> revoke;

    // arguments: the program's arguments without its name.
    explicit Lorvane32(const QStringList &arguments);
    ~Lorvane32();
};
