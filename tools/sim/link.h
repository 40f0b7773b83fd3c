// Where pathlux-sim sends its output: the master side of a new pseudo-terminal (with an optional
// symlink to it) or an existing device; and the captured log it replays.
#pragma once

#include <cstdint>
#include <string>

namespace pathlux::sim {

// Owns its descriptors and the symlink it made. The open calls return an empty string on
// success, else what failed; the link is then to be closed.
class Link {
  public:
    Link() = default;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    ~Link() { Close(); }

    // A new pseudo-terminal in raw 8N1 at baud; symlinkPath, when not empty, is made to point
    // at it.
    std::string OpenPty(const std::string& symlinkPath, std::uint32_t baud);
    // An existing device or file (a terminal is set to raw 8N1 at baud); read back only when it
    // is a terminal.
    std::string OpenDevice(const std::string& path, std::uint32_t baud);
    // Also removes the symlink if it still points at this link.
    void Close();

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // Whether commands can come back on it.
    bool readable() const { return readable_; }
    // The reader's side reached its end (a file or a closed pipe): no more reading.
    void EndInput() { readable_ = false; }
    // Drops the bytes written into a pseudo-terminal that nobody read.
    void FlushUnread();
    // The speed the reader's side of a pseudo-terminal is set to now (0 when not one of the
    // line speeds), or the link's own speed for any other link: a real line garbles by itself.
    std::uint32_t ReaderBaud() const;
    std::uint32_t baud() const { return baud_; }

  private:
    int fd_ = -1;
    int slaveFd_ = -1;  // held open so that the master never reports a hang-up between readers
    bool readable_ = true;
    std::uint32_t baud_ = 9600;
    std::string path_;
    std::string symlinkPath_;
};

// Reads a captured log into content. Empty string on success, else what failed (a log too large
// to be one is refused).
std::string ReadReplayLog(const std::string& path, std::string& content);

}  // namespace pathlux::sim
