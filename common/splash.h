#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

// The splash picture both programs show while they start: the product name
// over a gradient, a line saying what the program is beneath it.
QPixmap splashPicture(QSize size, const QString &product, const QString &line, QColor top, QColor bottom);
