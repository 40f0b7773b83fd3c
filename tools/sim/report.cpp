#include "tools/sim/report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/common/json.h"

namespace pathlux::sim {
namespace {

void AppendMember(std::string& out, const char* name, std::string_view value) {
    out += ",\"";
    out += name;
    out += "\":";
    AppendJsonString(out, value);
}

}  // namespace

std::string RxReport(const LineSplitter::Line& line, Verdict verdict) {
    std::string out = "{\"rx\":";
    AppendJsonString(out, std::string_view(line.text));
    const Verdict shown = line.tooLong ? Verdict::kTooLong : verdict;
    out += shown == Verdict::kAccepted ? ",\"accepted\":true" : ",\"accepted\":false";
    if (shown != Verdict::kAccepted) {
        AppendMember(out, "reason", VerdictReason(shown));
    }
    out += '}';
    return out;
}

std::string RestartReport(RestartKind kind) {
    std::string out = "{\"restart\":";
    AppendJsonString(out, RestartName(kind));
    out += '}';
    return out;
}

std::string FixReport(const SecondState& second, const Place& place) {
    std::string out = "{\"fix\":";
    AppendJsonString(out, std::string_view(FixModeName(second.mode)));
    out += ",\"after\":" + std::to_string(second.sinceRestart);
    if (second.mode != FixMode::kNone) {
        const PositionFields pos = FormatPosition(place);
        AppendMember(out, "lat", pos.latitude);
        AppendMember(out, "ns", pos.northSouth);
        AppendMember(out, "lon", pos.longitude);
        AppendMember(out, "ew", pos.eastWest);
        AppendMember(out, "alt", pos.altitude);
    }
    out += '}';
    return out;
}

std::string SentReport(const SentCount& sent) {
    return "{\"sent\":{\"lines\":" + std::to_string(sent.lines) +
           ",\"bytes\":" + std::to_string(sent.bytes) + ",\"drops\":" + std::to_string(sent.drops) +
           "}}";
}

std::string ReplugReport(const std::string& device) {
    std::string out = "{\"replugged\":";
    AppendJsonString(out, std::string_view(device));
    out += '}';
    return out;
}

void WriteReport(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace pathlux::sim
