#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

class QLabel;
class QWidget;

// Pictures drawn in code: the four status faces and the tool-bar glyphs.
namespace glyphs {

// IShades (OK), ISad (error), IIndif (no events / working), Iooh (working
// after an error); 33x33.
QPixmap statusPicture(const QString &name);
// A label showing one of those pictures, named and with its hint.
QLabel *statusLabel(QWidget *parent, const QString &name, const QString &hint);
// connect, font, browser, debugger, master, lorvane, erase, program.
QIcon toolIcon(const QString &name);

} // namespace glyphs
