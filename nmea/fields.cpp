#include "nmea/fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace pathlux {
namespace {

constexpr std::size_t kConversionChars = 10;

// Enough for the fraction digits: at most nine follow a point within the ten characters.
constexpr double kPowersOfTen[kConversionChars] = {1e0, 1e1, 1e2, 1e3, 1e4,
                                                   1e5, 1e6, 1e7, 1e8, 1e9};

// The conversion buffer: at most 10 characters narrowed to their low 8 bits, cut at a zero byte.
struct Narrowed {
    char chars[kConversionChars];
    std::size_t size = 0;

    explicit Narrowed(TextView field) {
        const std::size_t n = std::min(field.size(), kConversionChars);
        while (size < n) {
            const char c = static_cast<char>(field[size] & 0xFF);
            if (c == '\0') {
                break;
            }
            chars[size++] = c;
        }
    }
};

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Skips white space and reads an optional sign; returns the position after them.
std::size_t SkipSpaceAndSign(const Narrowed& text, bool& negative) {
    std::size_t i = 0;
    while (i < text.size && IsCSpace(text.chars[i])) {
        ++i;
    }
    negative = false;
    if (i < text.size && (text.chars[i] == '+' || text.chars[i] == '-')) {
        negative = text.chars[i] == '-';
        ++i;
    }
    return i;
}

}  // namespace

void SentenceFields::Split(int wanted) const {
    // Locals, not members, in the loop: the stores to spans_ could otherwise alias them.
    const TextView sentence = sentence_;
    std::size_t pos = nextStart_;
    int count = count_;
    bool exhausted = exhausted_;
    while (count < wanted) {
        // A field that starts with a star is none; a comma anywhere further on ends the field
        // before a star does; without a comma the first star ends it; without either it is not
        // a field.
        if (pos < sentence.size() && sentence[pos] == u'*') {
            exhausted = true;
            break;
        }
        // Fields are a few characters: a plain scan costs less than a call to find for each.
        std::size_t end = pos;
        while (end < sentence.size() && sentence[end] != u',') {
            ++end;
        }
        if (end == sentence.size()) {
            end = sentence.find(u'*', pos);
            if (end == TextView::npos) {
                exhausted = true;
                break;
            }
        }
        spans_[static_cast<std::size_t>(count++)] = {pos, end};
        pos = end + 1;
    }
    nextStart_ = pos;
    count_ = count;
    exhausted_ = exhausted;
}

TextView SentenceFields::Uncached(int k) const {
    if (k < 1) {
        return kMissing;
    }
    if (!exhausted_) {
        Split(k == 1 ? 1 : kCachedFields);
    }
    if (k <= count_) {
        return (*this)[k];
    }
    if (exhausted_) {
        return kMissing;
    }
    // No handler reads this far: split on past the cached fields in a scratch copy, a cache's
    // worth at a time.
    SentenceFields rest(sentence_);
    rest.nextStart_ = nextStart_;
    int ahead = k - count_;
    while (true) {
        const int wanted = std::min(ahead, kCachedFields);
        rest.count_ = 0;
        rest.Split(wanted);
        if (rest.count_ < wanted) {
            return kMissing;
        }
        if (ahead == wanted) {
            return rest[wanted];
        }
        ahead -= wanted;
    }
}

int SentenceFields::CountToStar() const {
    if (!exhausted_) {
        Split(kCachedFields);
    }
    // The split fields cover the sentence up to nextStart_, each with the comma or star that
    // ends it: their ends count as the characters would, and only the rest is scanned.
    int commas = 0;
    bool starEnds = false;  // a star comes after the last comma
    for (int k = 0; k < count_; ++k) {
        const bool comma = sentence_[spans_[static_cast<std::size_t>(k)].end] == u',';
        commas += comma ? 1 : 0;
        starEnds = !comma;
    }
    for (const char16_t c : sentence_.substr(nextStart_)) {
        if (c == u',') {
            ++commas;
            starEnds = false;
        } else if (c == u'*') {
            starEnds = true;
        }
    }
    return commas + (starEnds ? 1 : 0);
}

Text GetField(TextView sentence, int k) {
    return Text(SentenceFields(sentence)[k]);
}

std::int32_t FieldToInt(TextView field) {
    constexpr std::size_t kPlainDigits = 4;
    // Most fields are a few plain digits: read them at once.
    if (field.size() <= kPlainDigits) {
        std::int32_t value = 0;
        std::size_t i = 0;
        for (; i < field.size(); ++i) {
            const unsigned digit = static_cast<unsigned>(field[i]) - u'0';
            if (digit > 9) {
                break;
            }
            value = value * 10 + static_cast<std::int32_t>(digit);
        }
        if (i == field.size()) {
            return value;
        }
    }
    const Narrowed text(field);
    bool negative = false;
    std::size_t i = SkipSpaceAndSign(text, negative);
    // Ten characters hold at most ten digits, so 64 bits never overflow here.
    std::int64_t value = 0;
    for (; i < text.size && IsDigit(text.chars[i]); ++i) {
        value = value * 10 + (text.chars[i] - '0');
    }
    if (negative) {
        value = -value;
    }
    value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(value);
}

double FieldToReal(TextView field) {
    const Narrowed text(field);
    bool negative = false;
    const std::size_t begin = SkipSpaceAndSign(text, negative);
    // Longest prefix of the form digits [. digits] [e [sign] digits] with at least one digit.
    // Its digits as an integer too: ten characters hold at most ten digits, exact in a double.
    std::size_t i = begin;
    std::size_t digits = 0;
    std::size_t fractionDigits = 0;
    std::uint64_t mantissa = 0;
    for (; i < text.size && IsDigit(text.chars[i]); ++i) {
        ++digits;
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(text.chars[i] - '0');
    }
    if (i < text.size && text.chars[i] == '.') {
        for (++i; i < text.size && IsDigit(text.chars[i]); ++i) {
            ++digits;
            ++fractionDigits;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(text.chars[i] - '0');
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    const std::size_t mantissaEnd = i;
    bool negativeExponent = false;
    if (i < text.size && (text.chars[i] == 'e' || text.chars[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size && (text.chars[j] == '+' || text.chars[j] == '-')) {
            negativeExponent = text.chars[j] == '-';
            ++j;
        }
        if (j < text.size && IsDigit(text.chars[j])) {
            for (i = j; i < text.size && IsDigit(text.chars[i]); ++i) {
            }
        }
    }
    double value = 0.0;
    if (i == mantissaEnd) {
        // Without an exponent both the integer and the power of ten are exact, so the one
        // rounding of the division gives the nearest double, as from_chars does, for less.
        value = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    } else {
        const auto [end, error] = std::from_chars(text.chars + begin, text.chars + i, value);
        (void)end;
        if (error == std::errc::result_out_of_range) {
            value = negativeExponent ? 0.0 : std::numeric_limits<double>::max();
        }
    }
    return negative ? -value : value;
}

std::int32_t TruncateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    if (value >= kMax) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= kMin) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace pathlux
