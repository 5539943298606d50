#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

PseudoTerminal::PseudoTerminal()
{
    masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd < 0 || grantpt(masterFd) != 0 || unlockpt(masterFd) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    char name[128] = {};
    if (ptsname_r(masterFd, name, sizeof name) != 0) {
        throw std::runtime_error("no pseudo-terminal name");
    }
    path = name;
    // Raw from the start, so nothing a test writes before the library opens the slave is echoed.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        termios settings{};
        if (tcgetattr(slave, &settings) == 0) {
            cfmakeraw(&settings);
            tcsetattr(slave, TCSANOW, &settings);
        }
        ::close(slave);
    }
}

PseudoTerminal::~PseudoTerminal()
{
    if (masterFd >= 0) {
        ::close(masterFd);
    }
}

void PseudoTerminal::write(const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(masterFd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            throw std::runtime_error("pseudo-terminal write failed");
        }
        done += static_cast<size_t>(n);
    }
}

std::vector<uint8_t> PseudoTerminal::read(size_t limit, std::chrono::milliseconds wait)
{
    std::vector<uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (bytes.size() < limit) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd entry{masterFd, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        uint8_t chunk[256];
        const ssize_t n = ::read(masterFd, chunk, std::min(sizeof chunk, limit - bytes.size()));
        if (n <= 0) {
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}
