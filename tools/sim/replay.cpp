#include "tools/sim/replay.h"

#include <algorithm>

#include "capture/capture_file.h"
#include "tools/common/crlf.h"

namespace pathlux::sim {

std::vector<std::string> ReplayLines(std::string_view log) {
    std::string converted;
    BareLfToCrLf converter;
    converter.Convert(log, converted);
    if (!converted.empty() && converted.back() != '\n') {
        converter.Convert("\n", converted);
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < converted.size()) {
        const std::size_t end = converted.find('\n', start) + 1;
        if (converted[start] != '#') {
            lines.push_back(converted.substr(start, end - start));
        }
        start = end;
    }
    return lines;
}

std::string CapturedLines(std::string_view capture, std::vector<std::string>& lines) {
    CaptureReader reader;
    std::string received;
    std::string error = reader.Feed(capture, received);
    if (error.empty()) {
        error = reader.Finish();
    }
    if (!error.empty()) {
        return error;
    }
    std::size_t start = 0;
    while (start < received.size()) {
        const std::size_t end = std::min(received.find('\n', start), received.size() - 1) + 1;
        lines.push_back(received.substr(start, end - start));
        start = end;
    }
    return {};
}

}  // namespace pathlux::sim
