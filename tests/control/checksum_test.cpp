#include "control/checksum.h"

#include <gtest/gtest.h>

#include <string>

namespace pathlux {
namespace {

struct ChecksumCase {
    const char* legend;
    std::u16string input;
    std::u16string expected;
};

const ChecksumCase kCases[] = {
    {"cold restart", u"$PNMRX111,COLD", u"$PNMRX111,COLD*40"},
    {"warm restart, upper-case digits", u"$PNMRX111,WARM", u"$PNMRX111,WARM*4D"},
    {"hot restart", u"$PNMRX111,HOT", u"$PNMRX111,HOT*17"},
    {"factory restart", u"$PNMRX111,FACTORY", u"$PNMRX111,FACTORY*10"},
    {"leading zero kept", u"$PNMRX108,GGA", u"$PNMRX108,GGA*0D"},
    {"head alone", u"$PNMRX108", u"$PNMRX108*60"},
    {"empty rate list", u"$PNMRX103", u"$PNMRX103*6B"},
    {"default list", u"$PNMRX108,GGA,GSA,GSV,RMC", u"$PNMRX108,GGA,GSA,GSV,RMC*6A"},
    {"default rates", u"$PNMRX103,GGA,1,GSA,1,GSV,1,RMC,1",
     u"$PNMRX103,GGA,1,GSA,1,GSV,1,RMC,1*61"},
    {"list in click order", u"$PNMRX108,RMC,GGA", u"$PNMRX108,RMC,GGA*7D"},
    {"rates in click order", u"$PNMRX103,RMC,3,GGA,1", u"$PNMRX103,RMC,3,GGA,1*74"},
    {"longest command", u"$PNMRX103,GGA,8,GLL,8,GSA,8,GSV,8,RMC,8,VTG,8,ZDA,8",
     u"$PNMRX103,GGA,8,GLL,8,GSA,8,GSV,8,RMC,8,VTG,8,ZDA,8*04"},
    {"first character skipped whatever it is", u"XA", u"XA*41"},
    {"only the low 8 bits of a wide character", u"$\u0141", u"$\u0141*41"},
    {"lone dollar", u"$", u"$*00"},
    {"empty text", u"", u"*00"},
};

TEST(control_checksum_test, AppendsStarAndTwoHexDigitsToWideText) {
    for (const ChecksumCase& c : kCases) {
        SCOPED_TRACE(c.legend);
        std::u16string text = c.input;
        AppendChecksum(text);
        EXPECT_EQ(text, c.expected);
    }
}

TEST(control_checksum_test, ByteTextGetsTheSameChecksumAsWideText) {
    for (const ChecksumCase& c : kCases) {
        SCOPED_TRACE(c.legend);
        bool ascii = true;
        std::string bytes;
        for (const char16_t ch : c.input) {
            ascii = ascii && ch < 0x80;
            bytes.push_back(static_cast<char>(ch));
        }
        if (!ascii) {
            continue;
        }
        std::string expected;
        for (const char16_t ch : c.expected) {
            expected.push_back(static_cast<char>(ch));
        }
        AppendChecksum(bytes);
        EXPECT_EQ(bytes, expected);
    }
}

}  // namespace
}  // namespace pathlux
