// The receiver's proprietary command sentences: restarts, and how a command goes on the line.
#pragma once

#include <string>

#include "nmea/text.h"

namespace pathlux {

struct RestartCommand {
    int buttonId;
    const char* caption;
    const char* text;  // before the checksum
};

// One row per restart button; the command word is the only difference.
inline constexpr RestartCommand kRestartCommands[] = {
    {1003, "Cold", "$PNMRX111,COLD"},
    {1004, "Warm", "$PNMRX111,WARM"},
    {1005, "Hot", "$PNMRX111,HOT"},
    {1008, "Def.", "$PNMRX111,FACTORY"},
};

// The restart sentence with "*" and its checksum, without line end.
Text RestartSentence(const RestartCommand& command);

// The bytes a command puts on the line: each character's low 8 bits, then CR LF. Sized from the
// text, so that no sentence, however long, is cut or written past a fixed buffer.
std::string EncodeCommand(TextView sentence);

}  // namespace pathlux
