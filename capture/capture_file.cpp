#include "capture/capture_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>

namespace pathlux {
namespace {

// A record head: a kind letter, two numbers and the blanks between them.
constexpr std::size_t kMaxHeadChars = 48;
// A first line longer than this is not one of ours.
constexpr std::size_t kMaxFirstLineChars = 256;
// No read of a serial port comes near this; a larger count is damage, not data.
constexpr std::uint64_t kMaxRecordBytes = 1u << 30;

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// "2026-12-07T10:00:00.123Z"
std::string UtcText(std::chrono::system_clock::time_point time) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    const std::time_t seconds = static_cast<std::time_t>(ms.count() / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms.count() % 1000));
    return text;
}

// A whole decimal number; false for anything else.
bool ParseNumber(std::string_view text, std::uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

}  // namespace

std::string CaptureWriter::Open(const std::string& path,
                                std::chrono::system_clock::time_point started) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        return ErrnoText("cannot create " + path);
    }
    path_ = path;
    const std::string first = std::string(kCaptureMagic) + std::to_string(kCaptureVersion) +
                              " started " + UtcText(started) + "\n";
    if (std::fwrite(first.data(), 1, first.size(), file_) != first.size() ||
        std::fflush(file_) != 0) {
        const std::string error = ErrnoText("cannot write " + path);
        Close();
        return error;
    }
    return {};
}

std::string CaptureWriter::Write(CaptureKind kind, std::int64_t ms, std::string_view bytes) {
    if (file_ == nullptr) {
        return "no capture is open";
    }
    // One buffer, so that the record reaches the system in one write.
    record_.clear();
    record_ += static_cast<char>(kind);
    record_ += ' ';
    record_ += std::to_string(ms < 0 ? 0 : ms);
    record_ += ' ';
    record_ += std::to_string(bytes.size());
    record_ += '\n';
    record_ += bytes;
    record_ += '\n';
    if (std::fwrite(record_.data(), 1, record_.size(), file_) != record_.size() ||
        std::fflush(file_) != 0) {
        const std::string error = ErrnoText("cannot write " + path_);
        Close();
        return error;
    }
    return {};
}

void CaptureWriter::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

bool IsCapture(std::string_view start) {
    return start.starts_with(kCaptureMagic);
}

std::string CaptureReader::Feed(std::string_view chunk, std::string& received) {
    while (!chunk.empty()) {
        switch (part_) {
            case Part::kFailed:
                return "the capture could not be read";
            case Part::kFirstLine:
            case Part::kRecordHead: {
                const std::size_t end = chunk.find('\n');
                line_.append(chunk.substr(0, end));
                const std::size_t limit =
                    part_ == Part::kFirstLine ? kMaxFirstLineChars : kMaxHeadChars;
                if (line_.size() > limit) {
                    part_ = Part::kFailed;
                    return "a line too long for a record head at byte " + std::to_string(offset_);
                }
                if (end == std::string_view::npos) {
                    chunk = {};
                    break;
                }
                const std::string error =
                    part_ == Part::kFirstLine ? HeadEnded(line_) : RecordHeadEnded(line_);
                offset_ += line_.size() + 1;
                line_.clear();
                chunk.remove_prefix(end + 1);
                if (!error.empty()) {
                    part_ = Part::kFailed;
                    return error;
                }
                break;
            }
            case Part::kBody: {
                const std::size_t n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(left_, chunk.size()));
                if (kind_ == CaptureKind::kReceived) {
                    received.append(chunk.substr(0, n));
                }
                left_ -= n;
                offset_ += n;
                chunk.remove_prefix(n);
                if (left_ == 0) {
                    part_ = Part::kBodyEnd;
                }
                break;
            }
            case Part::kBodyEnd:
                if (chunk.front() != '\n') {
                    part_ = Part::kFailed;
                    return "a record's bytes do not end with a line feed at byte " +
                           std::to_string(offset_);
                }
                ++offset_;
                chunk.remove_prefix(1);
                part_ = Part::kRecordHead;
                break;
        }
    }
    return {};
}

std::string CaptureReader::Finish() const {
    switch (part_) {
        case Part::kFirstLine:
            return "the first line is missing";
        case Part::kRecordHead:
            return line_.empty() ? "" : "the last record is cut short";
        case Part::kFailed:
            return "the capture could not be read";
        default:
            return "the last record is cut short";
    }
}

std::string CaptureReader::HeadEnded(std::string_view firstLine) {
    if (!IsCapture(firstLine)) {
        return "not a capture";
    }
    std::string_view rest = firstLine.substr(kCaptureMagic.size());
    std::uint64_t version = 0;
    if (!ParseNumber(rest.substr(0, rest.find(' ')), version) || version != kCaptureVersion) {
        return "capture version " + std::string(rest.substr(0, rest.find(' '))) +
               " is not known (this program reads version " + std::to_string(kCaptureVersion) + ")";
    }
    part_ = Part::kRecordHead;
    return {};
}

std::string CaptureReader::RecordHeadEnded(std::string_view head) {
    const std::string where = " at byte " + std::to_string(offset_);
    const std::size_t second = head.find(' ', 2);
    std::uint64_t ms = 0;
    std::uint64_t count = 0;
    if (head.size() < 5 || head[1] != ' ' || second == std::string_view::npos ||
        !ParseNumber(head.substr(2, second - 2), ms) ||
        !ParseNumber(head.substr(second + 1), count)) {
        return "a record head is not \"KIND MS COUNT\"" + where;
    }
    const char kind = head[0];
    if (kind != 'R' && kind != 'S' && kind != 'N') {
        return std::string("a record of the unknown kind '") + kind + "'" + where;
    }
    if (count > kMaxRecordBytes) {
        return "a record of " + std::to_string(count) + " bytes" + where;
    }
    kind_ = static_cast<CaptureKind>(kind);
    left_ = count;
    part_ = count > 0 ? Part::kBody : Part::kBodyEnd;
    return {};
}

}  // namespace pathlux
