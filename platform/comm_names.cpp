// Port names to device paths: "COMn:" through the PATHLUX_COMn map or /dev/ttyS{n-1}, any other
// name as a path of its own.

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/comm.h"

namespace pathlux::platform {
namespace {

constexpr std::size_t kMaxComNumber = 255;

// "COMn:" with n from 1 to kMaxComNumber written without leading zeros; 0 for any other name.
std::size_t ComNumber(std::u16string_view name) {
    constexpr std::u16string_view kPrefix = u"COM";
    if (name.size() < kPrefix.size() + 2 || name.substr(0, kPrefix.size()) != kPrefix ||
        name.back() != u':') {
        return 0;
    }
    const std::u16string_view digits =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - 1);
    if (digits.size() > 3 || digits.front() == u'0') {
        return 0;
    }
    std::size_t n = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') {
            return 0;
        }
        n = n * 10 + static_cast<std::size_t>(c - u'0');
    }
    return n <= kMaxComNumber ? n : 0;
}

// UTF-16 to UTF-8; nullopt for an unpaired surrogate or a zero character.
std::optional<std::string> ToUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c == 0 || (c >= 0xDC00 && c <= 0xDFFF)) {
            return std::nullopt;
        }
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return std::nullopt;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

std::string CommDevicePath(std::u16string_view name) {
    if (const std::size_t n = ComNumber(name); n != 0) {
        const std::string variable = "PATHLUX_COM" + std::to_string(n);
        const char* mapped = std::getenv(variable.c_str());
        if (mapped != nullptr && *mapped != '\0') {
            return mapped;
        }
        return "/dev/ttyS" + std::to_string(n - 1);
    }
    return ToUtf8(name).value_or("");
}

}  // namespace pathlux::platform
