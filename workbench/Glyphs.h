#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// Pictures drawn in code: the four status faces and the tool-bar glyphs.
namespace glyphs {

// IShades (OK), ISad (error), IIndif (no events / working), Iooh (working
// after an error); 33x33.
QPixmap statusPicture(const QString &name);
// connect, font, browser, debugger, master, lorvane, erase, program.
QIcon toolIcon(const QString &name);

} // namespace glyphs
