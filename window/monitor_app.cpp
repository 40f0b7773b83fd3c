#include "window/monitor_app.h"

#include "window/monitor_dlg.h"
#include "window/port_line.h"

namespace pathlux {

bool CMonitorApp::InitInstance() {
    CMonitorDlg dialog;
    dialog.portLine().SetStartOptions(options_);
    dialog.DoModal();
    return false;
}

}  // namespace pathlux
