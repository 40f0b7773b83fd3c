// silent-pty LINK: holds a pseudo-terminal open without ever writing to it, with LINK pointing at
// its device, until it is terminated. The quiet line for measuring an idle open port.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: silent-pty LINK\n", stderr);
        return 2;
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("silent-pty: pseudo-terminal");
        return 1;
    }
    unlink(argv[1]);
    if (symlink(ptsname(master), argv[1]) != 0) {
        std::perror("silent-pty: link");
        return 1;
    }
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    int signal = 0;
    sigwait(&stop, &signal);
    unlink(argv[1]);
    return 0;
}
