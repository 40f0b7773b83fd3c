// The program's 16-bit texts as Qt strings: both are UTF-16, so nothing is converted.
#pragma once

#include <QString>
#include <string_view>

namespace pathlux::platform {

inline QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace pathlux::platform
