#include "tools/sim/replay.h"

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

}  // namespace pathlux::sim
