// pathlux-ttff run in this process against a running simulator, its output captured.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/sim_process.h"
#include "tools/ttff/series.h"

namespace pathlux::testing {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ReadAll(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    std::fclose(file);
    return text;
}

inline ToolRun RunTtff(const std::vector<std::string>& args,
                       const std::atomic<bool>* stop = nullptr) {
    ttff::ToolIo io;
    io.out = std::tmpfile();
    io.err = std::tmpfile();
    io.stop = stop;
    ToolRun run;
    run.exitCode = ttff::RunTool(args, io);
    run.out = ReadAll(io.out);
    run.err = ReadAll(io.err);
    return run;
}

// The simulator's device, once it has named it.
inline std::string SimDevice(test::SimProcess& sim) {
    EXPECT_TRUE(sim.WaitFor([&] { return sim.stdoutText.find('\n') != std::string::npos; }));
    return sim.FirstLine();
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

}  // namespace pathlux::testing
