#include "control/checksum.h"

#include <cstdint>

namespace pathlux {
namespace {

template <typename String>
void AppendChecksumTo(String& text) {
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        sum ^= static_cast<std::uint8_t>(text[i] & 0xFF);
    }
    constexpr char kHex[] = "0123456789ABCDEF";
    text.push_back('*');
    text.push_back(static_cast<typename String::value_type>(kHex[sum >> 4]));
    text.push_back(static_cast<typename String::value_type>(kHex[sum & 0x0F]));
}

}  // namespace

void AppendChecksum(std::u16string& text) {
    AppendChecksumTo(text);
}

void AppendChecksum(std::string& text) {
    AppendChecksumTo(text);
}

}  // namespace pathlux
