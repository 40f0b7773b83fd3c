#include "control/checksum.h"

#include <gtest/gtest.h>

#include <string>

#include "control/commands.h"

namespace pathlux {
namespace {

// The exclusive-or of everything after the first character, as "*%02X"; wide and byte texts alike.
TEST(control_checksum_test, StarAndTwoHexDigitsOfTheCharactersAfterTheFirst) {
    const struct {
        const char* legend;
        std::u16string input;
        std::u16string expected;
    } cases[] = {
        {"ordinary command", u"$PNMRX111,COLD", u"$PNMRX111,COLD*40"},
        {"leading zero kept", u"$PNMRX108,GGA", u"$PNMRX108,GGA*0D"},
        {"first character skipped whatever it is", u"XA", u"XA*41"},
        {"only the low 8 bits of a wide character", u"$\u0141", u"$\u0141*41"},
        {"lone dollar", u"$", u"$*00"},
        {"empty text", u"", u"*00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        std::u16string text = c.input;
        AppendChecksum(text);
        EXPECT_EQ(text, c.expected);
        // Each character's low byte, as a tool writes the same sentence.
        std::string bytes(c.input.begin(), c.input.end());
        AppendChecksum(bytes);
        EXPECT_EQ(bytes, std::string(c.expected.begin(), c.expected.end()));
    }
}

// A command on the line: each character's low byte, then CR LF, however long the text.
TEST(control_checksum_test, CommandsGoOutAsLowBytesThenCrLf) {
    EXPECT_EQ(EncodeCommand(u"$\u0141*41"), std::string("$A*41\r\n"));
    EXPECT_EQ(EncodeCommand(Text(500, u'x')).size(), 502u);
}

}  // namespace
}  // namespace pathlux
