// icon_png: writes the application's icon as DIR/NxN/apps/pathlux.png for each size N, the
// layout of an icon theme, from the pixel art the window uses: the package's icons can never
// drift from the window's.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/app_icon.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: icon_png DIR SIZE...\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        char* end = nullptr;
        const long size = std::strtol(argv[i], &end, 10);
        if (*end != '\0' || size < 1 || size > 1024) {
            std::fprintf(stderr, "icon_png: %s is not a size from 1 to 1024\n", argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = dir + QStringLiteral("/pathlux.png");
        if (!QDir().mkpath(dir) ||
            !pathlux::platform::AppIconImage(static_cast<int>(size)).save(file, "PNG")) {
            std::fprintf(stderr, "icon_png: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
