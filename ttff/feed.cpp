#include "ttff/feed.h"

#include "nmea/display.h"
#include "nmea/fields.h"

namespace pathlux::ttff {
namespace {

// Where each sentence carries its UTC (hhmmss.ss), by the three letters after the talker.
struct UtcField {
    const char* type;
    int field;
};
constexpr UtcField kUtcFields[] = {{"GGA", 2}, {"RMC", 2}, {"GLL", 6}, {"ZDA", 2}};

constexpr int kGgaQuality = 7;
constexpr std::size_t kHeadLength = 6;  // "$", talker, type

TextView LastSentence(TextView line) {
    const std::size_t dollar = line.rfind(u'$');
    return dollar == TextView::npos ? TextView() : line.substr(dollar);
}

bool IsType(TextView head, const char* type) {
    return head.size() == kHeadLength && EqualsAscii(head.substr(3), type);
}

}  // namespace

std::string SentenceUtc(TextView line) {
    const TextView sentence = LastSentence(line);
    const SentenceFields fields(sentence);
    for (const UtcField& utc : kUtcFields) {
        if (!IsType(fields[1], utc.type)) {
            continue;
        }
        const TextView time = fields[utc.field];
        if (time.size() < 6) {
            return {};
        }
        std::string text;
        for (std::size_t i = 0; i < 6; ++i) {
            const char16_t c = time[i];
            if (c < u'0' || c > u'9') {
                return {};
            }
            if (i == 2 || i == 4) {
                text.push_back(':');
            }
            text.push_back(static_cast<char>(c));
        }
        return text;
    }
    return {};
}

void BenchFeed::OnLogLine(TimePoint, const Text& line) {
    std::string utc = SentenceUtc(line);
    if (!utc.empty()) {
        bench_.OnUtc(std::move(utc));
    }
    const TextView sentence = LastSentence(line);
    const SentenceFields fields(sentence);
    if (IsType(fields[1], "GGA")) {
        ggaFixed_ = FieldToInt(fields[kGgaQuality]) > 0;
    }
}

void BenchFeed::OnFieldText(TimePoint at, int controlId, const Text& text) {
    switch (controlId) {
        case kFixField:
            bench_.OnFixMode(at, text == u"3D" ? 3 : text == u"2D" ? 2 : 1);
            break;
        case kVersionField:
            bench_.OnRestartAnnounced(at);
            break;
        case kLatitudeField:
            // The core shows the latitude last, after it stored both coordinates.
            bench_.OnPosition(at, state_.latitude, state_.longitude, ggaFixed_);
            break;
        default:
            break;
    }
}

}  // namespace pathlux::ttff
