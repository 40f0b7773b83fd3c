#include "tools/common/crlf.h"

namespace pathlux {

void BareLfToCrLf::Convert(std::string_view chunk, std::string& out) {
    out.reserve(out.size() + chunk.size() + chunk.size() / 16);
    for (const char c : chunk) {
        if (c == '\n' && !lastWasCr_) {
            out.push_back('\r');
        }
        out.push_back(c);
        lastWasCr_ = c == '\r';
    }
}

}  // namespace pathlux
