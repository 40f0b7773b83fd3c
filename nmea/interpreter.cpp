#include "nmea/interpreter.h"

#include <cstdlib>
#include <iterator>
#include <limits>

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

constexpr int kGsvTotal = 2;
constexpr int kGsvNumber = 3;
constexpr int kGsvInView = 4;
constexpr int kGsvFirstPrn = 5;  // then elevation, azimuth, SNR; four fields per satellite
constexpr int kGsvSatsPerMessage = 4;

constexpr int kGsaFixMode = 3;
constexpr int kGsaFirstPrn = 4;
constexpr int kGsaLastPrn = 15;
constexpr int kGsaPdop = 16;
constexpr int kGsaHdop = 17;
constexpr int kGsaVdop = 18;

// Knots to km/h as the receiver's documentation gives it (not 1.852).
constexpr double kKmhPerKnot = 1.8518518;
constexpr std::int64_t kUnitsPerDegree = 600000;
constexpr std::int64_t kUnitsPerMinute = 10000;

struct SentenceHandler {
    const char* head;
    void (NmeaInterpreter::*handle)(TextView);
};

constexpr SentenceHandler kHandlers[] = {
    {"$GPRMC", &NmeaInterpreter::HandleRmc},
    {"$GPGGA", &NmeaInterpreter::HandleGga},
    {"$PNMX600 Nemerix NS1030", &NmeaInterpreter::HandleVersion},
    {"$GPGSV", &NmeaInterpreter::HandleGsv},
    {"$GPGSA", &NmeaInterpreter::HandleGsa},
};

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

Text WithSuffix(std::int32_t value, TextView suffix) {
    Text text;
    AppendDecimal(text, value);
    text += suffix;
    return text;
}

}  // namespace

Text FormatPosition(std::int32_t value, char16_t positive, char16_t negative) {
    const std::int64_t m = std::llabs(static_cast<std::int64_t>(value));
    const std::int64_t fraction = (m % kUnitsPerMinute) * 60;  // 1/10000 second
    Text text;
    text.push_back(value < 0 ? negative : positive);
    AppendDecimal(text, m / kUnitsPerDegree, 3);
    text.push_back(u'\u00B0');
    AppendDecimal(text, (m % kUnitsPerDegree) / kUnitsPerMinute, 2);
    text.push_back(u'\'');
    AppendDecimal(text, fraction / 10000, 2);
    text.push_back(u'.');
    AppendDecimal(text, (fraction % 10000) / 100, 2);
    text.push_back(u'"');
    return text;
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

void NmeaInterpreter::OnLogLine(const Text& line) {
    Text entry;
    entry.reserve(line.size() + 2);
    entry += line;
    entry += u"\r\n";
    display_.AppendLog(std::move(entry));
}

void NmeaInterpreter::DispatchSentence(TextView sentence) {
    const TextView head = SentenceFields(sentence)[kHeadField];
    for (const SentenceHandler& handler : kHandlers) {
        if (EqualsAscii(head, handler.head)) {
            (this->*handler.handle)(sentence);
            return;
        }
    }
}

void NmeaInterpreter::HandleRmc(TextView sentence) {
    const SentenceFields fields(sentence);

    const TextView t = fields[kRmcTime];
    Text time(Left(t, 2));
    time += u':';
    time += Mid(t, 2, 2);
    time += u':';
    time += Mid(t, 4, 2);
    display_.SetFieldText(kTimeField, time);

    const double knots = FieldToReal(fields[kRmcSpeedKnots]);
    display_.SetFieldText(kSpeedField, WithSuffix(TruncateToInt32(knots * kKmhPerKnot), u" km/h"));
    display_.SetFieldText(kCourseField,
                          WithSuffix(TruncateToInt32(FieldToReal(fields[kRmcCourse])), u"\u00B0"));

    const TextView d = fields[kRmcDate];
    Text date(Mid(d, 2, 2));
    date += u'/';
    date += Left(d, 2);
    display_.SetFieldText(kDateField, date);
}

void NmeaInterpreter::HandleGga(TextView sentence) {
    const SentenceFields fields(sentence);

    Text altitude(fields[kGgaAltitude]);
    altitude += u'm';
    display_.SetFieldText(kAltitudeField, altitude);

    state_.latitude = ParseAngle(fields[kGgaLatitude]);
    if (fields[kGgaNorthSouth] == u"S") {
        state_.latitude = -state_.latitude;
    }
    state_.longitude = ParseAngle(fields[kGgaLongitude]);
    if (fields[kGgaEastWest] == u"W") {
        state_.longitude = -state_.longitude;
    }
    display_.SetFieldText(kLongitudeField, FormatPosition(state_.longitude, u'E', u'W'));
    display_.SetFieldText(kLatitudeField, FormatPosition(state_.latitude, u'N', u'S'));
}

void NmeaInterpreter::HandleVersion(TextView sentence) {
    const TextView v = SentenceFields(sentence)[kVersionText];
    const std::size_t found = v.find(u"Version ");
    const int i = found == TextView::npos ? -1 : static_cast<int>(found);
    // The count is longer than any rest, so this is always the rest of v from i + 8 on.
    display_.SetFieldText(kVersionField, Text(Mid(v, i + 8, static_cast<int>(v.size()) - 1)));
    RestartTtff();
}

void NmeaInterpreter::HandleGsv(TextView sentence) {
    const SentenceFields fields(sentence);
    const std::int32_t total = FieldToInt(fields[kGsvTotal]);
    const std::int32_t number = FieldToInt(fields[kGsvNumber]);
    state_.inViewCount = FieldToInt(fields[kGsvInView]);

    if (number == 1) {
        gsvMessagesSeen_ = 1;
    } else if (gsvMessagesSeen_ < std::numeric_limits<std::int32_t>::max()) {
        ++gsvMessagesSeen_;
    }
    if (state_.inViewCount == 0) {
        state_.inViewCount = 12;
    }

    for (int j = 0; j < kGsvSatsPerMessage; ++j) {
        // 64-bit: a message number near the 32-bit limits must not overflow the slot arithmetic.
        const std::int64_t slot = (static_cast<std::int64_t>(number) - 1) * kGsvSatsPerMessage + j;
        if (slot >= state_.inViewCount) {
            break;
        }
        // Message numbers below 1 or above 13 point outside the list: nothing is stored for them.
        if (slot < 0 || slot >= kInViewSlots) {
            continue;
        }
        const int base = kGsvFirstPrn + kGsvSatsPerMessage * j;
        const std::int32_t prn = FieldToInt(fields[base]);
        state_.inViewPrns[static_cast<std::size_t>(slot)] = prn;
        if (SatelliteRecord* record = state_.FindRecord(prn)) {
            record->elevation = FieldToInt(fields[base + 1]);
            record->azimuth = FieldToInt(fields[base + 2]);
            record->snr = FieldToInt(fields[base + 3]);
        }
    }

    if (number == total && gsvMessagesSeen_ == total) {
        display_.RedrawSkyPlot();
        display_.RedrawSignalBars();
        gsvMessagesSeen_ = 0;
    }
}

void NmeaInterpreter::HandleGsa(TextView sentence) {
    gsvMessagesSeen_ = 0;
    for (SatelliteRecord& record : state_.gpsSats) {
        record.used = 0;
    }
    for (SatelliteRecord& record : state_.sbasSats) {
        record.used = 0;
    }
    const SentenceFields fields(sentence);
    for (int k = kGsaFirstPrn; k <= kGsaLastPrn; ++k) {
        if (SatelliteRecord* record = state_.FindRecord(FieldToInt(fields[k]))) {
            record->used = 1;
        }
    }
    ShowFixStatus(sentence);
}

void NmeaInterpreter::ShowFixStatus(TextView sentence) {
    const SentenceFields fields(sentence);
    display_.SetFieldText(kPdopField, Text(fields[kGsaPdop]));
    display_.SetFieldText(kHdopField, Text(fields[kGsaHdop]));
    display_.SetFieldText(kVdopField, Text(fields[kGsaVdop]));

    state_.fix3d = 0;
    const char16_t* mode = u"NA";
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
    display_.SetFieldText(kFixField, mode);
}

void NmeaInterpreter::RestartTtff() {
    display_.SetFieldText(kTtffField, u"00:00:00");
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
