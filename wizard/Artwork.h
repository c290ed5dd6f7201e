#pragma once
#include <QPixmap>

// The product pictures, drawn rather than shipped.
QPixmap CornerLogo();    // 53 x 53, the header's corner
QPixmap InfoPicture();   // 161 x 381, the welcome and completion pages
