#include "tools/sim/link.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/sim/line_speed.h"
#include "tools/sim/report.h"

namespace pathlux::sim {
namespace {

// A replayed log is held in memory; captures are kilobytes, so this only stops a wrong file.
constexpr std::uintmax_t kMaxReplayBytes = 64u << 20;

// Raw bytes at baud 8N1, no echo, no line editing, no flow control.
bool MakeRaw(int fd, std::uint32_t baud) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, TermiosSpeed(baud));
    cfsetospeed(&tio, TermiosSpeed(baud));
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// A symlink left by an earlier run is replaced; anything else is not ours to remove.
std::string MakeSymlink(const std::string& target, const std::string& symlinkPath) {
    struct stat st {};
    if (lstat(symlinkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            return symlinkPath + " exists and is not a symlink";
        }
        unlink(symlinkPath.c_str());
    }
    if (symlink(target.c_str(), symlinkPath.c_str()) != 0) {
        return ErrnoText("cannot make the symlink " + symlinkPath);
    }
    return {};
}

}  // namespace

std::string Link::OpenPty(const std::string& symlinkPath, std::uint32_t baud) {
    baud_ = baud;
    fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0) {
        return ErrnoText("cannot create a pseudo-terminal");
    }
    char name[256];
    if (ptsname_r(fd_, name, sizeof name) != 0) {
        return ErrnoText("cannot name the pseudo-terminal");
    }
    path_ = name;
    slaveFd_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd_ < 0 || !MakeRaw(slaveFd_, baud)) {
        return ErrnoText("cannot set up " + path_);
    }
    if (symlinkPath.empty()) {
        return {};
    }
    const std::string error = MakeSymlink(path_, symlinkPath);
    if (error.empty()) {
        symlinkPath_ = symlinkPath;
    }
    return error;
}

std::string Link::OpenDevice(const std::string& path, std::uint32_t baud) {
    baud_ = baud;
    path_ = path;
    // Commands come back only from a terminal; a file or a pipe is written to and never read,
    // or the simulator would read its own output.
    struct stat st {};
    readable_ = stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
    const int access = readable_ ? O_RDWR : O_WRONLY;
    fd_ = open(path.c_str(), access | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return ErrnoText("cannot open " + path);
    }
    if (isatty(fd_) && !MakeRaw(fd_, baud)) {
        return ErrnoText("cannot configure " + path);
    }
    return {};
}

void Link::Close() {
    if (!symlinkPath_.empty()) {
        // Remove the link only if it is still ours.
        char target[4096];
        const ssize_t n = readlink(symlinkPath_.c_str(), target, sizeof target);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == path_) {
            unlink(symlinkPath_.c_str());
        }
    }
    if (slaveFd_ >= 0) {
        close(slaveFd_);
    }
    if (fd_ >= 0) {
        close(fd_);
    }
    fd_ = -1;
    slaveFd_ = -1;
    readable_ = true;
    path_.clear();
    symlinkPath_.clear();
}

void Link::FlushUnread() {
    if (slaveFd_ >= 0) {
        tcflush(slaveFd_, TCIFLUSH);
    }
}

std::uint32_t Link::ReaderBaud() const {
    termios tio{};
    if (slaveFd_ < 0 || tcgetattr(slaveFd_, &tio) != 0) {
        return baud_;
    }
    return BaudOf(cfgetispeed(&tio));
}

std::string ReadReplayLog(const std::string& path, std::string& content) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        return "cannot read " + path + ": " + error.message();
    }
    if (size > kMaxReplayBytes) {
        return path + " is too large to replay (" + std::to_string(size) + " bytes)";
    }
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        return ErrnoText("cannot read " + path);
    }
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) {
        return "cannot read " + path;
    }
    content = s.str();
    return {};
}

}  // namespace pathlux::sim
