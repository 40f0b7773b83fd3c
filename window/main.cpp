// pathlux: the monitor window.
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "window/command_line.h"
#include "window/monitor_app.h"

namespace {

pathlux::CMonitorApp theApp;

// Why a capture cannot be written at path, or empty: said before any window, as a bad option is.
std::string RecordPathError(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::is_directory(path, error)) {
        return "--record: " + path + " is a directory";
    }
    const fs::path parent = fs::path(path).parent_path();
    const std::string dir = parent.empty() ? "." : parent.string();
    if (::access(dir.c_str(), W_OK) != 0) {
        return "--record: cannot write in " + dir;
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    using pathlux::CommandLine;
    // Read before Qt's application object, which needs a display: help, the version and mistakes
    // need none.
    const CommandLine line =
        pathlux::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
        case CommandLine::Action::kHelp:
            std::fputs(pathlux::kCommandLineUsage, stdout);
            return 0;
        case CommandLine::Action::kVersion:
            std::printf("pathlux %s\n", PATHLUX_VERSION);
            return 0;
        case CommandLine::Action::kError:
            std::fprintf(stderr, "pathlux: %s (try --help)\n", line.error.c_str());
            return 2;
        case CommandLine::Action::kRun:
            break;
    }
    if (!line.options.record.empty()) {
        if (const std::string error = RecordPathError(line.options.record); !error.empty()) {
            std::fprintf(stderr, "pathlux: %s\n", error.c_str());
            return 2;
        }
    }
    QApplication application(argc, argv);
    theApp.SetStartOptions(line.options);
    theApp.InitInstance();
    return 0;
}
