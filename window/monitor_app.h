// The application object: runs the monitor window modally and ends the program with it.
#pragma once

#include "window/command_line.h"

namespace pathlux {

class CMonitorApp {
  public:
    // What the command line asked of the window.
    void SetStartOptions(StartOptions options) { options_ = std::move(options); }
    // Runs the monitor window until it ends; false, so that the program then ends.
    bool InitInstance();

  private:
    StartOptions options_;
};

}  // namespace pathlux
