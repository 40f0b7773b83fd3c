// The one QApplication of a Qt test binary, made on first use so that listing the tests needs
// no display. It is never destroyed: Qt's own objects must not outlive it during the exit
// handlers. CTest runs these binaries on the offscreen platform.
#pragma once

#include <QApplication>

namespace pathlux::testing {

inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "pathlux-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

}  // namespace pathlux::testing
