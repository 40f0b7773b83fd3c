#include "nmea/fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace pathlux {
namespace {

constexpr TextView kGsa = u"$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35";

struct FieldCase {
    const char* legend;
    TextView sentence;
    int k;
    TextView expected;
};

TEST(fields_test, GetFieldFollowsCommaAndStarRules) {
    const FieldCase cases[] = {
        {"head", kGsa, 1, u"$GPGSA"},
        {"fix mode", kGsa, 3, u"3"},
        {"first prn", kGsa, 4, u"04"},
        {"empty field reads 0", kGsa, 6, u"0"},
        {"pdop", kGsa, 16, u"2.5"},
        {"last field ends at star", kGsa, 18, u"2.1"},
        {"after the star", kGsa, 19, u"0"},
        {"past the last field", kGsa, 40, u"0"},
        {"field number 0", kGsa, 0, u"0"},
        {"negative field number", kGsa, -3, u"0"},
        {"no star: last field never returned", u"$GPGSA,A,3,2.5,1.3,2.1", 6, u"0"},
        {"no star: field before the last", u"$GPGSA,A,3,2.5,1.3,2.1", 5, u"1.3"},
        {"bare head without comma", u"$GPRMC", 1, u"0"},
        {"head ended by star", u"$GPRMC*4A", 1, u"$GPRMC"},
        {"comma before star", u"$X,a,*12", 3, u"0"},
        {"field starting with star ends all", u"$X,a,*b,c*00", 4, u"0"},
        {"comma after star joins star into a field", u"$X,a*12,b", 2, u"a*12"},
        {"no white space trimmed", u"$X, 7 ,y*00", 2, u" 7 "},
        {"empty sentence", u"", 1, u"0"},
        {"star alone", u"*", 1, u"0"},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(GetField(c.sentence, c.k), Text(c.expected));
    }
}

TEST(fields_test, FieldsBeyondTheFirstTwentyFourReadLikeAnyOther) {
    Text sentence = u"$PLONG";
    for (int i = 2; i <= 30; ++i) {
        sentence += u',';
        if (i != 27) {  // leave one empty
            sentence += Widen(std::to_string(i));
        }
    }
    sentence += u"*00";
    const SentenceFields fields(sentence);
    for (int k = 2; k <= 30; ++k) {
        SCOPED_TRACE(k);
        const Text expected = k == 27 ? Text(u"0") : Widen(std::to_string(k));
        EXPECT_EQ(Text(fields[k]), expected);
        EXPECT_EQ(GetField(sentence, k), expected);
    }
    EXPECT_EQ(fields[31], u"0");
}

struct IntCase {
    const char* legend;
    TextView field;
    std::int32_t expected;
};

TEST(fields_test, FieldToIntReadsLikeAtoiOverTenCharacters) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const IntCase cases[] = {
        {"missing field", u"0", 0},
        {"leading zero", u"07", 7},
        {"negative", u"-5", -5},
        {"plus sign", u"+12", 12},
        {"leading blank", u" 7", 7},
        {"leading tab and newline", u"\t\n9", 9},
        {"letters", u"ab", 0},
        {"real truncated at point", u"12.5", 12},
        {"digits then letters", u"42abc", 42},
        {"sign alone", u"-", 0},
        {"twelve digits read as their first ten", u"123456789012", 1234567890},
        {"ten digits within range", u"2147483647", kMax},
        {"ten digits above range saturate", u"9999999999", kMax},
        {"nine digits below range", u"-999999999", -999999999},
        {"sign counts toward the ten characters", u"-2147483649", -214748364},
        {"minus and nine digits", u"-9999999999", -999999999},
        {"leading blank counts toward the ten", u" 9999999999", 999999999},
        {"zero byte ends the text",
         TextView(u"12\0"
                  u"34",
                  5),
         12},
        {"high bits dropped: U+0131 narrows to '1'", u"\u0131\u0132", 12},
        {"eleventh character ignored", u"00000000017", 1},
        {"empty text", u"", 0},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(FieldToInt(c.field), c.expected);
    }
}

struct RealCase {
    const char* legend;
    TextView field;
    double expected;
};

TEST(fields_test, FieldToRealReadsDecimalsOnlyAndStaysFinite) {
    constexpr double kMaxDouble = std::numeric_limits<double>::max();
    const RealCase cases[] = {
        {"plain", u"0.95", 0.95},
        {"two decimals", u"12.25", 12.25},
        {"eleven characters cut to ten", u"12158.34165", 12158.3416},
        {"missing field", u"0", 0.0},
        {"negative", u"-3.5", -3.5},
        {"leading blank", u" 2.5", 2.5},
        {"leading point", u".5", 0.5},
        {"trailing point", u"5.", 5.0},
        {"exponent", u"1.5e3", 1500.0},
        {"exponent without digits stops before e", u"2e", 2.0},
        {"exponent sign without digits", u"2e+", 2.0},
        {"letters", u"ab", 0.0},
        {"nan reads as no digits", u"nan", 0.0},
        {"NAN upper case", u"NAN", 0.0},
        {"inf reads as no digits", u"inf", 0.0},
        {"negative infinity", u"-infinity", 0.0},
        {"hexadecimal stops at x", u"0x1p4", 0.0},
        {"huge exponent saturates", u"1e999", kMaxDouble},
        {"huge negative saturates", u"-1e999", -kMaxDouble},
        {"tiny exponent gives zero", u"1e-999", 0.0},
        {"point alone", u".", 0.0},
        {"comma is not a decimal point", u"12,5", 12.0},
    };
    for (const RealCase& c : cases) {
        SCOPED_TRACE(c.legend);
        const double value = FieldToReal(c.field);
        EXPECT_TRUE(std::isfinite(value));
        EXPECT_DOUBLE_EQ(value, c.expected);
    }
}

TEST(fields_test, TruncateToInt32SaturatesAndTruncatesTowardZero) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const struct {
        double value;
        std::int32_t expected;
    } cases[] = {
        {41.48, 41},
        {-41.9, -41},
        {0.99, 0},
        {2147483647.5, kMax},
        {1e300, kMax},
        {-1e300, kMin},
        {std::numeric_limits<double>::infinity(), kMax},
        {-std::numeric_limits<double>::infinity(), kMin},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(TruncateToInt32(c.value), c.expected);
    }
}

}  // namespace
}  // namespace pathlux
