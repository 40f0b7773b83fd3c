#include "nmea/fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace pathlux {
namespace {

constexpr TextView kGsa = u"$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35";
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

// Fields count from the head as 1, end at a comma or the star; a missing or empty one is "0".
TEST(fields_test, GetFieldFollowsCommaAndStarRules) {
    const struct {
        const char* legend;
        TextView sentence;
        int k;
        TextView expected;
    } cases[] = {
        {"head", kGsa, 1, u"$GPGSA"},
        {"empty field reads 0", kGsa, 6, u"0"},
        {"last field ends at star", kGsa, 18, u"2.1"},
        {"after the star", kGsa, 19, u"0"},
        {"field number 0", kGsa, 0, u"0"},
        {"no star: last field never returned", u"$GPGSA,A,3,2.5,1.3,2.1", 6, u"0"},
        {"bare head without comma", u"$GPRMC", 1, u"0"},
        {"head ended by star", u"$GPRMC*4A", 1, u"$GPRMC"},
        {"field starting with star ends all", u"$X,a,*b,c*00", 4, u"0"},
        {"comma after star joins star into a field", u"$X,a*12,b", 2, u"a*12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(GetField(c.sentence, c.k), Text(c.expected));
    }
    // Past the fields a handler reads, fields read like any other.
    const SentenceFields fields(
        u"$PLONG,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,"
        u"25,26,,28*00");
    for (int k = 25; k <= 29; ++k) {
        const Text expected = k == 27 || k == 29 ? Text(u"0") : Widen(std::to_string(k));
        EXPECT_EQ(Text(fields[k]), expected) << k;
    }
}

// As atoi and atof over at most the first ten characters (low 8 bits each, cut at a zero), with
// what they cannot hold saturated: never NaN or infinity.
TEST(fields_test, ConversionsReadTenCharactersAndStayFinite) {
    const struct {
        const char* legend;
        TextView field;
        std::int32_t integer;
        double real;
    } cases[] = {
        {"twelve digits read as their first ten", u"123456789012", 1234567890, 1234567890.0},
        {"ten digits above range saturate", u"9999999999", kMax, 9999999999.0},
        {"the sign counts toward the ten", u"-2147483649", -214748364, -214748364.0},
        {"eleven characters cut to ten", u"12158.34165", 12158, 12158.3416},
        {"zero byte ends the text", TextView(u"12\00034", 5), 12, 12.0},  // 1, 2, NUL, 3, 4
        {"high bits dropped: U+0131 narrows to '1'", u"\u0131\u0132", 12, 12.0},
        {"exponent without digits stops before e", u"2e+", 2, 2.0},
        {"nan reads as no digits", u"nan", 0, 0.0},
        {"infinity reads as no digits", u"-infinity", 0, 0.0},
        {"hexadecimal stops at x", u"0x1p4", 0, 0.0},
        {"huge exponent saturates", u"1e999", 1, std::numeric_limits<double>::max()},
        {"tiny exponent gives zero", u"1e-999", 1, 0.0},
        {"comma is not a decimal point", u"12,5", 12, 12.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(FieldToInt(c.field), c.integer);
        const double real = FieldToReal(c.field);
        EXPECT_TRUE(std::isfinite(real));
        EXPECT_DOUBLE_EQ(real, c.real);
    }
    const struct {
        double value;
        std::int32_t expected;
    } truncations[] = {{2147483647.5, kMax}, {-1e300, kMin}, {std::nan(""), 0}};
    for (const auto& t : truncations) {
        EXPECT_EQ(TruncateToInt32(t.value), t.expected) << t.value;
    }
}

}  // namespace
}  // namespace pathlux
