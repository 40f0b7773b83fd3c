// Number formatting of the simulated sentences.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>

namespace pathlux::sim {

// printf into a string of at most 127 characters.
template <typename... Args>
std::string Printf(const char* format, Args... args) {
    char buffer[128];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return std::string(buffer, static_cast<std::size_t>(std::clamp(n, 0, 127)));
}

// A dilution of precision as sent: one decimal, at most 99.9.
inline std::string Dop(double value) {
    return Printf("%.1f", std::min(value, 99.9));
}

}  // namespace pathlux::sim
