#include "nmea/interpreter.h"

#include <cstdlib>
#include <iterator>
#include <limits>
#include <string_view>
#include <type_traits>

#include "nmea/fields.h"

namespace pathlux {
namespace {

// Field numbers count the head as field 1.
constexpr int kHeadField = 1;

constexpr int kRmcTime = 2;  // hhmmss.ss
constexpr int kRmcSpeedKnots = 8;
constexpr int kRmcCourse = 9;
constexpr int kRmcDate = 10;  // ddmmyy

constexpr int kGgaLatitude = 3;  // ddmm.mmmm
constexpr int kGgaNorthSouth = 4;
constexpr int kGgaLongitude = 5;  // dddmm.mmmm
constexpr int kGgaEastWest = 6;
constexpr int kGgaAltitude = 10;

constexpr int kVersionText = 2;

constexpr int kGsaFixMode = 3;
constexpr int kGsaPdop = 16;
constexpr int kGsaHdop = 17;
constexpr int kGsaVdop = 18;

// Knots to km/h as the receiver's documentation gives it (not 1.852).
constexpr double kKmhPerKnot = 1.8518518;
constexpr std::int64_t kUnitsPerDegree = 600000;
constexpr std::int64_t kUnitsPerMinute = 10000;

constexpr std::string_view kVersionHead = "$PNMX600 Nemerix NS1030";

// A head of a talked sentence is "$", the talker and the sentence type: "$GPRMC", "$GNGSA".
constexpr std::size_t kTalkerChars = 2;
constexpr std::size_t kTypeChars = 3;
constexpr std::size_t kTalkedHeadChars = 1 + kTalkerChars + kTypeChars;

// A talker or sentence type as one number, a character in each 16 bits, so that finding a head
// in the tables below is a comparison of numbers (every sentence is dispatched by its head).
template <typename Char>
constexpr std::uint64_t HeadKey(std::basic_string_view<Char> chars) {
    std::uint64_t key = 0;
    for (const Char c : chars) {
        key = (key << 16) | static_cast<std::make_unsigned_t<Char>>(c);
    }
    return key;
}
static_assert(kTalkerChars <= 4 && kTypeChars <= 4, "a key holds four characters");
constexpr std::uint64_t HeadKey(const char* chars) {
    return HeadKey(std::string_view(chars));
}

struct TalkerHead {
    std::uint64_t code;
    Talker talker;
};

// GP first: the GPS receiver's sentences find theirs at once.
constexpr TalkerHead kTalkerHeads[] = {
    {HeadKey("GP"), Talker::kGp}, {HeadKey("GN"), Talker::kGn}, {HeadKey("GL"), Talker::kGl},
    {HeadKey("GA"), Talker::kGa}, {HeadKey("GB"), Talker::kGb}, {HeadKey("BD"), Talker::kGb},
    {HeadKey("GQ"), Talker::kGq}, {HeadKey("GI"), Talker::kGi},
};

struct SentenceHandler {
    std::uint64_t type;
    void (NmeaInterpreter::*handle)(const SentenceFields&, Talker);
};

constexpr SentenceHandler kHandlers[] = {
    {HeadKey("RMC"), &NmeaInterpreter::HandleRmc},
    {HeadKey("GGA"), &NmeaInterpreter::HandleGga},
    {HeadKey("GSV"), &NmeaInterpreter::HandleGsv},
    {HeadKey("GSA"), &NmeaInterpreter::HandleGsa},
};

template <typename Row, std::size_t N>
const Row* FindRow(const Row (&table)[N], TextView chars, std::uint64_t Row::*column) {
    const std::uint64_t key = HeadKey(chars);
    for (const Row& row : table) {
        if (row.*column == key) {
            return &row;
        }
    }
    return nullptr;
}

// "ddmm.mmmm" (or "dddmm.mmmm") to 1/10000 arc-minute. Without a point the text is minutes only.
std::int32_t ParseAngle(TextView field) {
    const std::size_t point = field.find(u'.');
    const int p = point == TextView::npos ? -1 : static_cast<int>(point);
    const double degrees = FieldToReal(Left(field, p - 2));
    const double minutes = FieldToReal(Mid(field, p - 2, 7));
    // Symmetric range so that negating for south or west cannot overflow.
    const std::int32_t units = TruncateToInt32((degrees * 60.0 + minutes) * 10000.0);
    return units == std::numeric_limits<std::int32_t>::min()
               ? -std::numeric_limits<std::int32_t>::max()
               : units;
}

// Writes a value of at most width digits, padded with zeros to width; returns the end.
char16_t* PutDigits(char16_t* out, std::int64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    }
    return out + width;
}

// Degrees of a 32-bit value have at most four digits, so a position has at most 15 characters.
static_assert(-static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min()) /
                  kUnitsPerDegree <
              10000);
constexpr std::size_t kPositionChars = 15;

}  // namespace

void AppendPosition(Text& text, std::int32_t value, char16_t positive, char16_t negative) {
    const std::int64_t m = std::llabs(static_cast<std::int64_t>(value));
    const std::int64_t fraction = (m % kUnitsPerMinute) * 60;  // 1/10000 second
    const std::int64_t degrees = m / kUnitsPerDegree;
    // Composed in a buffer of the longest such text and appended at once: a text grown a
    // character at a time checks its capacity at each.
    char16_t chars[kPositionChars];
    char16_t* out = chars;
    *out++ = value < 0 ? negative : positive;
    out = PutDigits(out, degrees, degrees >= 1000 ? 4 : 3);
    *out++ = u'\u00B0';
    out = PutDigits(out, (m % kUnitsPerDegree) / kUnitsPerMinute, 2);
    *out++ = u'\'';
    out = PutDigits(out, fraction / 10000, 2);
    *out++ = u'.';
    out = PutDigits(out, (fraction % 10000) / 100, 2);
    *out++ = u'"';
    text.append(chars, static_cast<std::size_t>(out - chars));
}

Text FormatTtff(std::int32_t seconds) {
    Text text;
    AppendDecimal(text, (seconds / 3600) % 24, 2);
    text.push_back(u':');
    AppendDecimal(text, (seconds / 60) % 60, 2);
    text.push_back(u':');
    AppendDecimal(text, seconds % 60, 2);
    return text;
}

int NmeaInterpreter::OnSerialNotify(std::uint32_t events, ByteSource& port) {
    if ((events & kEventRxChar) == 0) {
        return 0;
    }
    std::uint8_t buffer[kReadChunk];
    for (int chunks = 0; chunks < kMaxChunksPerNotify; ++chunks) {
        const std::size_t count = port.Read(buffer, kReadChunk);
        FeedBytes(buffer, count);
        if (count != kReadChunk) {
            return 0;
        }
    }
    return kMoreWaiting;
}

void NmeaInterpreter::OnLogLine(TextView line) {
    logEntry_.clear();
    logEntry_.append(line.data(), line.size());
    logEntry_.append(u"\r\n", 2);
    display_.AppendLog(logEntry_);
}

void NmeaInterpreter::ShowText(int controlId, std::initializer_list<TextView> parts) {
    fieldText_.clear();
    for (const TextView part : parts) {
        fieldText_ += part;
    }
    display_.SetFieldText(controlId, fieldText_);
}

void NmeaInterpreter::ShowNumber(int controlId, std::int32_t value, TextView unit) {
    fieldText_.clear();
    AppendDecimal(fieldText_, value);
    fieldText_ += unit;
    display_.SetFieldText(controlId, fieldText_);
}

void NmeaInterpreter::ShowPosition(int controlId, std::int32_t value, char16_t positive,
                                   char16_t negative) {
    fieldText_.clear();
    AppendPosition(fieldText_, value, positive, negative);
    display_.SetFieldText(controlId, fieldText_);
}

void NmeaInterpreter::DispatchSentence(TextView sentence) {
    const SentenceFields fields(sentence);
    const TextView head = fields[kHeadField];
    if (head.size() == kTalkedHeadChars && head[0] == u'$') {
        const TalkerHead* talker =
            FindRow(kTalkerHeads, head.substr(1, kTalkerChars), &TalkerHead::code);
        const SentenceHandler* handler =
            FindRow(kHandlers, head.substr(1 + kTalkerChars), &SentenceHandler::type);
        if (talker == nullptr || handler == nullptr) {
            return;
        }
        if (talker->talker != Talker::kGp) {
            state_.multiSystem = true;
        }
        (this->*handler->handle)(fields, talker->talker);
    } else if (EqualsAscii(head, kVersionHead)) {
        HandleVersion(fields);
    }
}

void NmeaInterpreter::HandleRmc(const SentenceFields& fields, Talker) {
    const TextView t = fields[kRmcTime];
    ShowText(kTimeField, {Left(t, 2), u":", Mid(t, 2, 2), u":", Mid(t, 4, 2)});

    const double knots = FieldToReal(fields[kRmcSpeedKnots]);
    ShowNumber(kSpeedField, TruncateToInt32(knots * kKmhPerKnot), u" km/h");
    ShowNumber(kCourseField, TruncateToInt32(FieldToReal(fields[kRmcCourse])), u"\u00B0");

    const TextView d = fields[kRmcDate];
    ShowText(kDateField, {Mid(d, 2, 2), u"/", Left(d, 2)});
}

void NmeaInterpreter::HandleGga(const SentenceFields& fields, Talker) {
    ShowText(kAltitudeField, {fields[kGgaAltitude], u"m"});

    state_.latitude = ParseAngle(fields[kGgaLatitude]);
    if (fields[kGgaNorthSouth] == u"S") {
        state_.latitude = -state_.latitude;
    }
    state_.longitude = ParseAngle(fields[kGgaLongitude]);
    if (fields[kGgaEastWest] == u"W") {
        state_.longitude = -state_.longitude;
    }
    ShowPosition(kLongitudeField, state_.longitude, u'E', u'W');
    ShowPosition(kLatitudeField, state_.latitude, u'N', u'S');
}

void NmeaInterpreter::HandleVersion(const SentenceFields& fields) {
    const TextView v = fields[kVersionText];
    const std::size_t found = v.find(u"Version ");
    const int i = found == TextView::npos ? -1 : static_cast<int>(found);
    // The count is longer than any rest, so this is always the rest of v from i + 8 on.
    ShowText(kVersionField, {Mid(v, i + 8, static_cast<int>(v.size()) - 1)});
    RestartTtff();
}

void NmeaInterpreter::ShowFixStatus(const SentenceFields& fields) {
    ShowText(kPdopField, {fields[kGsaPdop]});
    ShowText(kHdopField, {fields[kGsaHdop]});
    ShowText(kVdopField, {fields[kGsaVdop]});

    state_.fix3d = 0;
    TextView mode = u"NA";
    switch (FieldToInt(fields[kGsaFixMode])) {
        case 2:
            mode = u"2D";
            StopTtff();
            break;
        case 3:
            mode = u"3D";
            state_.fix3d = 1;
            StopTtff();
            break;
        default:
            break;
    }
    ShowText(kFixField, {mode});
}

void NmeaInterpreter::RestartTtff() {
    ShowText(kTtffField, {u"00:00:00"});
    display_.StartTimer(kTtffTimerId, kTtffTimerPeriodMs);
    ttffCounting_ = true;
    state_.ttffSeconds = 0;
}

void NmeaInterpreter::StopTtff() {
    // The count and its text stay; stopping a stopped count changes nothing.
    if (ttffCounting_) {
        display_.StopTimer(kTtffTimerId);
        ttffCounting_ = false;
    }
}

void NmeaInterpreter::OnTimer(int timerId) {
    if (timerId != kTtffTimerId) {
        return;
    }
    if (state_.ttffSeconds < std::numeric_limits<std::int32_t>::max()) {
        ++state_.ttffSeconds;
    }
    display_.SetFieldText(kTtffField, FormatTtff(state_.ttffSeconds));
}

}  // namespace pathlux
