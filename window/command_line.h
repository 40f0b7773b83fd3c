// pathlux's command line: which port, at what speed, whether to open it and capture it. Read
// before the application object is made, so that a mistake ends the program before any window;
// Qt's own options (-platform, -style, ...) are left for Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nmea/text.h"

namespace pathlux {

struct StartOptions {
    // "COMn:" or a device path; the list's selection when absent.
    std::optional<Text> port;
    // A speed, or automatic; 9600 when absent.
    std::optional<std::uint32_t> baud;
    bool automatic = false;
    bool open = false;   // press Open at start
    std::string record;  // capture to this file from the port's opening
};

struct CommandLine {
    enum class Action { kRun, kHelp, kVersion, kError };
    Action action = Action::kRun;
    StartOptions options;
    std::string error;  // one line, for kError
};

// The arguments without the program's name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

extern const char* const kCommandLineUsage;

}  // namespace pathlux
