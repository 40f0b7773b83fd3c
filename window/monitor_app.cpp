#include "window/monitor_app.h"

#include "window/monitor_dlg.h"

namespace pathlux {

bool CMonitorApp::InitInstance() {
    CMonitorDlg dialog;
    dialog.DoModal();
    return false;
}

}  // namespace pathlux
