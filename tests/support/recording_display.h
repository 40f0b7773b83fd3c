// What the interpretation core wrote to its display: field texts, log lines and, in order, every
// field write, timer call and redraw. The one recorder of the core tests, the simulator tests and
// the end-to-end test.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "nmea/display.h"

namespace pathlux::testing {

class RecordingDisplay : public MonitorDisplay {
  public:
    void SetFieldText(int controlId, const Text& text) override {
        fields[controlId] = text;
        events.push_back("field " + std::to_string(controlId));
    }
    void AppendLog(Text line) override { logLines.push_back(std::move(line)); }
    void StartTimer(int timerId, int periodMs) override {
        events.push_back("start " + std::to_string(timerId) + " " + std::to_string(periodMs));
    }
    void StopTimer(int timerId) override { events.push_back("stop " + std::to_string(timerId)); }
    void RedrawSkyPlot() override { events.push_back("sky"); }
    void RedrawSignalBars() override { events.push_back("bars"); }

    auto Count(const std::string& event) const { return std::ranges::count(events, event); }
    Text Field(int id) const { return fields.contains(id) ? fields.at(id) : Text(u"<unset>"); }

    std::map<int, Text> fields;
    std::vector<Text> logLines;
    std::vector<std::string> events;
};

}  // namespace pathlux::testing
