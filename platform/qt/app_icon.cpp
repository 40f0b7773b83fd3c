#include "platform/qt/app_icon.h"

#include <algorithm>

#include "res/icon128.h"

namespace pathlux::platform {
namespace {

constexpr int kArtSide = static_cast<int>(res::kAppIconPixels.size());
static_assert(res::kAppIconPixels[0].size() == res::kAppIconPixels.size(), "square pixel art");

QRgb ArtPixel(int x, int y) {
    const char key = res::kAppIconPixels[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
    for (const res::IconColour& colour : res::kAppIconPalette) {
        if (colour.key == key) {
            return 0xFF000000u | colour.rgb;
        }
    }
    return qRgba(0, 0, 0, 0);
}

}  // namespace

QImage AppIconImage(int side) {
    side = std::max(side, 1);
    const int block = std::max(side / kArtSide, 1);
    const int drawn = block * kArtSide;
    QImage image(std::max(side, drawn), std::max(side, drawn), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const int margin = (image.width() - drawn) / 2;
    for (int y = 0; y < drawn; ++y) {
        for (int x = 0; x < drawn; ++x) {
            image.setPixel(margin + x, margin + y, ArtPixel(x / block, y / block));
        }
    }
    if (image.width() != side) {
        return image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

}  // namespace pathlux::platform
