// The checksum that ends every command sentence: the exclusive-or of the characters between "$"
// and "*", written as "*" and two upper-case hexadecimal digits.
#pragma once

#include <string>

namespace pathlux {

// Appends "*" and the checksum ("*%02X") of the text. The first character (the "$") is skipped
// by its position, whatever it is; of 16-bit characters only the low 8 bits count. The text is
// meant to hold no "*" yet; an empty text or a lone "$" gets "*00".
void AppendChecksum(std::u16string& text);

// The same over bytes, for tools that build their sentences as 8-bit text.
void AppendChecksum(std::string& text);

}  // namespace pathlux
