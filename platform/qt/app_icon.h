// The application's icon as an image, from its pixel art.
#pragma once

#include <QImage>

namespace pathlux::platform {

// The icon on a side x side square: the pixel art enlarged by the largest whole factor that fits,
// each of its pixels a square block, centred on a transparent ground. A side below the art's own
// is the art scaled down smoothly.
QImage AppIconImage(int side);

}  // namespace pathlux::platform
