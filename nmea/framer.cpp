#include "nmea/framer.h"

namespace pathlux {

void SentenceFramer::AppendToLogLine(char16_t c, FramerSink& sink) {
    if (logLine_.size() >= kMaxLineChars) {
        sink.OnLogLine(logLine_);
        logLine_.clear();
    }
    logLine_.push_back(c);
}

void SentenceFramer::Feed(const std::uint8_t* bytes, std::size_t count, FramerSink& sink) {
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t c = WidenByte(bytes[i]);
        if (!IsAcceptedChar(c)) {
            AppendToLogLine(c, sink);
            ResetSentence();
        } else if (c == u'\r') {
            sink.OnLogLine(logLine_);
            logLine_.clear();
            if (sentenceStarted_) {
                sink.OnSentence(sentenceText_);
            }
            ResetSentence();
        } else if (c == u'\n') {
            // A bare line feed does not end a line.
        } else {
            if (c == u'$') {
                sentenceText_.clear();
                sentenceStarted_ = true;
            }
            AppendToLogLine(c, sink);
            if (sentenceStarted_) {
                if (sentenceText_.size() >= kMaxLineChars) {
                    ResetSentence();
                } else {
                    sentenceText_.push_back(c);
                }
            }
        }
    }
}

}  // namespace pathlux
