#pragma once
// The program's icon: a small trace on a dark screen, drawn rather than shipped as a file.

#include <QIcon>
#include <QPixmap>

namespace kestiva {

// The icon at size x size pixels.
QPixmap programPixmap(int size = 64);
QIcon programIcon();

}  // namespace kestiva
