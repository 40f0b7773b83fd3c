// Icon 128: a small sky plot (black disc, grey ring, satellites in the fix colours), drawn as
// 16 x 16 pixel art so that the program carries no image files.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace pathlux::res {

constexpr int kAppIconId = 128;

struct IconColour {
    char key;
    std::uint32_t rgb;  // 0xRRGGBB
};

// '.' is transparent.
inline constexpr IconColour kAppIconPalette[] = {
    {'k', 0x000000}, {'g', 0x808080}, {'r', 0xFF0000},
    {'G', 0x00B43C}, {'b', 0x0000FF}, {'w', 0xFFFFFF},
};

inline constexpr std::array<std::string_view, 16> kAppIconPixels = {
    "......kkkk......",  //
    "....kkkkkkkk....",  //
    "...kkkkkkkkGG...",  //
    "..kkkggggkGGGG..",  //
    ".kkkgkkkkgGGGGk.",  //
    ".kkgkkkkkkgGGkk.",  //
    "kkkgkkkkkkgkkkkk",  //
    "kkgkkkkgkkkgkkkk",  //
    "kkgkkkkkkkkgkkkk",  //
    "kbbkgkkkkkkgkkkk",  //
    "bbbbkgkkkkgkrrk.",  //
    "bbbbkkgkkgkrrrrk",  //
    ".bbkkkkggkkrrrrk",  //
    "...kkkkkkkkkrrk.",  //
    "....kkkkkkkk....",  //
    "......kkkk......",  //
};

}  // namespace pathlux::res
