// pathlux-shot: saves a window (or the whole screen) of the current X display as a PNG, so that
// the demo can show what the monitor window looks like under Xvfb.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: pathlux-shot OUTPUT.png [WINDOW-ID]\n", stderr);
        return 2;
    }
    QGuiApplication application(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        std::fputs("pathlux-shot: no screen\n", stderr);
        return 1;
    }
    const WId window = argc == 3 ? static_cast<WId>(std::strtoull(argv[2], nullptr, 0)) : 0;
    const QPixmap shot = screen->grabWindow(window);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "pathlux-shot: cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
