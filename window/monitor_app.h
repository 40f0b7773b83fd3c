// The application object: runs the monitor window modally and ends the program with it.
#pragma once

namespace pathlux {

class CMonitorApp {
  public:
    // Runs the monitor window until it ends; false, so that the program then ends.
    bool InitInstance();
};

}  // namespace pathlux
