#pragma once
// The program's pictures, compiled in: the application icon (resource 128) and the
// product picture (bitmap 133).

#include <QIcon>
#include <QPixmap>

namespace wing {

QIcon ApplicationIcon();
QPixmap ProductPicture();

}  // namespace wing
