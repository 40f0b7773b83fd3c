// pathlux-sim --replay of a capture the window saved: the bytes received go out exactly, lines
// that look like annotations and bytes no log would keep included; the commands sent and the notes
// stay out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "capture/capture_file.h"
#include "tests/support/sim_process.h"

namespace pathlux::sim {
namespace {

TEST(capture_replay_test, SendsTheBytesReceivedExactly) {
    const std::string capture = ::testing::TempDir() + "capture_replay_test.cap";
    const std::string device = ::testing::TempDir() + "capture_replay_test-device";
    const std::string received[] = {"$GPGSA,A,1,,,,,,,,,,,,,,,*1E\r\n$GPG",
                                    "GA,1*00\n# not an annotation\r\n",
                                    std::string("\0\xFF\r", 3) + "$PNMX600 no end"};
    {
        CaptureWriter writer;
        ASSERT_EQ(writer.Open(capture, {}), "");
        ASSERT_EQ(writer.Write(CaptureKind::kNote, 0, "opened COM8:"), "");
        ASSERT_EQ(writer.Write(CaptureKind::kReceived, 1, received[0]), "");
        ASSERT_EQ(writer.Write(CaptureKind::kSent, 2, "$PNMRX111,COLD*40\r\n"), "");
        ASSERT_EQ(writer.Write(CaptureKind::kReceived, 3, received[1]), "");
        ASSERT_EQ(writer.Write(CaptureKind::kReceived, 4, received[2]), "");
    }
    std::ofstream(device).close();
    test::SimProcess sim({"--device", device, "--replay", capture, "--rate", "1000"});
    EXPECT_EQ(sim.WaitForExit(), 0) << sim.stderrText;
    std::ostringstream written;
    written << std::ifstream(device, std::ios::binary).rdbuf();
    EXPECT_EQ(written.str(), received[0] + received[1] + received[2]);

    unlink(capture.c_str());
    unlink(device.c_str());
}

}  // namespace
}  // namespace pathlux::sim
