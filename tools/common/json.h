// JSON string output for the command-line tools' line-per-event reports.
#pragma once

#include <string>
#include <string_view>

#include "nmea/text.h"

namespace pathlux {

// Appends text as a quoted JSON string in UTF-8; control characters and lone surrogates are
// written as \u escapes so that every line stays valid JSON.
void AppendJsonString(std::string& out, TextView text);
void AppendJsonString(std::string& out, std::string_view ascii);

}  // namespace pathlux
