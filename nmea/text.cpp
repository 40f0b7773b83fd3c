#include "nmea/text.h"

#include <algorithm>

namespace pathlux {

TextView Left(TextView text, int n) {
    if (n <= 0) {
        return {};
    }
    return text.substr(0, static_cast<std::size_t>(n));
}

TextView Mid(TextView text, int first, int count) {
    first = std::max(first, 0);
    count = std::max(count, 0);
    if (static_cast<std::size_t>(first) >= text.size()) {
        return {};
    }
    return text.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
}

Text Widen(std::string_view ascii) {
    return Text(ascii.begin(), ascii.end());
}

bool EqualsAscii(TextView text, std::string_view ascii) {
    return std::equal(text.begin(), text.end(), ascii.begin(), ascii.end(),
                      [](char16_t c, char a) { return c == static_cast<unsigned char>(a); });
}

void AppendDecimal(Text& out, std::int64_t value, int width) {
    // Magnitude as unsigned so that the most negative value has one too.
    std::uint64_t magnitude =
        value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    char16_t digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        out.push_back(u'-');
        --width;
    }
    for (int pad = width - count; pad > 0; --pad) {
        out.push_back(u'0');
    }
    while (count > 0) {
        out.push_back(digits[--count]);
    }
}

}  // namespace pathlux
