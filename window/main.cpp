// pathlux: the monitor window.
#include <QApplication>

#include "window/monitor_app.h"

namespace {

pathlux::CMonitorApp theApp;

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    theApp.InitInstance();
    return 0;
}
