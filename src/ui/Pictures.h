#pragma once
// The program's own small pictures, drawn in code: the play button's START and STOP, the previous and
// next buttons, and the window's icon.

#include <QIcon>
#include <QPixmap>

QPixmap startPicture();
QPixmap stopPicture();
QPixmap previousPicture();
QPixmap nextPicture();
// The program's icon with 32, 24 and 16 pixel images.
QIcon programIcon();
