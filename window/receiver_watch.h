// Lets a part of the window follow what the receiver says without changing what the window
// shows: the monitor window hands on each display field the core sets, each log line, and the
// closing of its port.
#pragma once

#include "nmea/text.h"

namespace pathlux {

class ReceiverWatcher {
  public:
    virtual ~ReceiverWatcher() = default;
    virtual void OnFieldText(int controlId, const Text& text) = 0;
    virtual void OnLogLine(const Text& line) = 0;
    // lost: the device went away; otherwise the user closed or changed the port.
    virtual void OnPortClosed(bool lost) = 0;
};

}  // namespace pathlux
