// A capture of a serial line: every byte received and every command sent, timed, in a file that
// keeps the bytes exactly. The format:
//
//   # pathlux capture 1 started 2026-12-07T10:00:00.123Z\n
//   R 1520 100\n<100 bytes>\n    bytes received, 1520 ms after the start (monotonic clock)
//   S 2301 19\n<19 bytes>\n      bytes sent
//   N 2301 16\n<16 bytes>\n      a note for the reader: the port opened or closed, a new speed
//
// Each record is a kind letter, milliseconds and a byte count in decimal, a line feed, that many
// bytes as they were, and a line feed. The first line names the format and its version.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace pathlux {

enum class CaptureKind : char { kReceived = 'R', kSent = 'S', kNote = 'N' };

// What every capture starts with.
constexpr std::string_view kCaptureMagic = "# pathlux capture ";
constexpr int kCaptureVersion = 1;

// Writes each record to the system as it comes (one write per record, no buffering of ours), so
// that what was written is in the file when the program ends, however it ends, or the device
// goes away.
class CaptureWriter {
  public:
    CaptureWriter() = default;
    ~CaptureWriter() { Close(); }
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // Creates the file (or empties it) and writes the first line. Empty on success, else why not.
    std::string Open(const std::string& path, std::chrono::system_clock::time_point started);
    // Empty on success, else why not; the capture is closed then.
    std::string Write(CaptureKind kind, std::int64_t ms, std::string_view bytes);
    void Close();

    bool isOpen() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string record_;
};

// Whether a file starts as a capture does (the first bytes, at least as many as kCaptureMagic).
bool IsCapture(std::string_view start);

// Takes a capture in chunks of any size and gives back the bytes received, in order; sent bytes
// and notes are left out.
class CaptureReader {
  public:
    // Appends the received bytes of the chunk to received. Empty on success, else what is wrong
    // with the capture (then nothing more is read).
    std::string Feed(std::string_view chunk, std::string& received);
    // After the last chunk: empty, or what is missing at the end.
    std::string Finish() const;

  private:
    enum class Part { kFirstLine, kRecordHead, kBody, kBodyEnd, kFailed };
    std::string HeadEnded(std::string_view firstLine);
    std::string RecordHeadEnded(std::string_view head);

    Part part_ = Part::kFirstLine;
    std::string line_;  // the first line or a record head so far
    CaptureKind kind_ = CaptureKind::kNote;
    std::uint64_t left_ = 0;  // bytes of the body still to come
    std::uint64_t offset_ = 0;
};

}  // namespace pathlux
