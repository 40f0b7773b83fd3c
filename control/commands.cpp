#include "control/commands.h"

#include "control/checksum.h"

namespace pathlux {

Text RestartSentence(const RestartCommand& command) {
    Text sentence = Widen(command.text);
    AppendChecksum(sentence);
    return sentence;
}

std::string EncodeCommand(TextView sentence) {
    std::string bytes;
    bytes.reserve(sentence.size() + 2);
    for (const char16_t c : sentence) {
        bytes.push_back(static_cast<char>(c & 0xFF));
    }
    bytes += "\r\n";
    return bytes;
}

}  // namespace pathlux
