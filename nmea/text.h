// 16-bit display text and the few text operations the interpreter needs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pathlux {

using Text = std::u16string;
using TextView = std::u16string_view;

// Left part of length n; n below 0 gives "", n past the end the whole text.
TextView Left(TextView text, int n);

// Middle part from position first with count chars, clamped to the text instead of failing.
TextView Mid(TextView text, int first, int count);

// ASCII to 16-bit text.
Text Widen(std::string_view ascii);

// True when the 16-bit text equals the ASCII text, character for character.
bool EqualsAscii(TextView text, std::string_view ascii);

// printf "%0<width>d" into 16-bit text (a minus sign counts toward the width, as in printf).
void AppendDecimal(Text& out, std::int64_t value, int width = 0);

}  // namespace pathlux
