// A capture written and read back: the bytes received come back exactly, whatever they are and
// however the file is cut into chunks; a damaged capture is said to be one.
#include "capture/capture_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pathlux {
namespace {

std::string ReadAll(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// The received bytes of a capture fed in chunks of the size given; the error, if any, in error.
std::string Received(const std::string& capture, std::size_t chunk, std::string& error) {
    CaptureReader reader;
    std::string received;
    for (std::size_t at = 0; at < capture.size() && error.empty(); at += chunk) {
        error = reader.Feed(std::string_view(capture).substr(at, chunk), received);
    }
    if (error.empty()) {
        error = reader.Finish();
    }
    return received;
}

TEST(capture_file_test, ReceivedBytesComeBackExactlyInAnyChunks) {
    std::string every;  // every byte value, line ends and digits among them
    for (int b = 0; b < 256; ++b) {
        every += static_cast<char>(b);
    }
    const std::string path = ::testing::TempDir() + "capture_file_test.cap";
    CaptureWriter writer;
    ASSERT_EQ(writer.Open(path, std::chrono::system_clock::time_point{}), "");
    ASSERT_EQ(writer.Write(CaptureKind::kNote, 0, "opened COM8: at 9600 baud"), "");
    ASSERT_EQ(writer.Write(CaptureKind::kReceived, 5, "$GPGSA,A,3*00\r\n"), "");
    ASSERT_EQ(writer.Write(CaptureKind::kSent, 17, "$PNMRX111,COLD*40\r\n"), "");
    ASSERT_EQ(writer.Write(CaptureKind::kReceived, 18, every), "");
    ASSERT_EQ(writer.Write(CaptureKind::kReceived, 19, ""), "");
    ASSERT_EQ(writer.Write(CaptureKind::kReceived, 20, "R 1 1\n\n"), "");
    // What was written is in the file before it is closed.
    const std::string capture = ReadAll(path);
    writer.Close();
    EXPECT_TRUE(capture.starts_with("# pathlux capture 1 started 1970-01-01T00:00:00.000Z\n"));
    EXPECT_TRUE(IsCapture(capture));

    for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, capture.size()}) {
        SCOPED_TRACE(chunk);
        std::string error;
        EXPECT_EQ(Received(capture, chunk, error), "$GPGSA,A,3*00\r\n" + every + "R 1 1\n\n");
        EXPECT_EQ(error, "");
    }
}

TEST(capture_file_test, DamageIsNamed) {
    const std::string head = "# pathlux capture 1 started 2026-12-07T10:00:00.000Z\n";
    const struct {
        const char* legend;
        std::string capture;
        std::string received;  // what comes before the damage
        std::string error;     // the start of what is said
    } cases[] = {
        {"a version not known", "# pathlux capture 2 started x\nR 0 1\na\n", "",
         "capture version 2 is not known"},
        {"an unknown kind", head + "R 0 1\na\nX 0 1\nb\n", "a", "a record of the unknown kind"},
        {"a head that is not one", head + "R zero 1\na\n", "", "a record head is not"},
        {"bytes not ended by LF", head + "R 0 1\nab\n", "a", "a record's bytes do not end"},
        {"a count past all reason", head + "R 0 99999999999\n", "", "a record of 99999999999"},
        {"the last record cut short", head + "R 0 5\nab", "ab", "the last record is cut short"},
        {"a head cut short", head + "R 0 1\na\nR 0", "a", "the last record is cut short"},
        {"no first line", "# pathlux capture 1", "", "the first line is missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        std::string error;
        EXPECT_EQ(Received(c.capture, c.capture.size(), error), c.received);
        EXPECT_TRUE(error.starts_with(c.error)) << error;
    }
}

TEST(capture_file_test, AFileThatCannotBeMadeIsSaidSo) {
    CaptureWriter writer;
    EXPECT_NE(writer.Open("/nonexistent/dir/x.cap", {}).find("cannot create"), std::string::npos);
    EXPECT_FALSE(writer.isOpen());
    EXPECT_EQ(writer.Write(CaptureKind::kReceived, 0, "x"), "no capture is open");
}

}  // namespace
}  // namespace pathlux
