// The simulated master on the master side of a pseudo-terminal pair. Frames are cut from the
// byte stream by their length field; a partial frame that stops arriving for kInterByteGapMs is
// dropped, and after an impossible length everything is dropped until the line goes quiet, so
// the master always finds the start of the next request again.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "sim/iolink/SimulatorImpl.h"

namespace iolsim {

namespace {

constexpr int kInterByteGapMs = 50;
// A client that stops reading: give up on an answer after this long.
constexpr int kWriteStallMs = 500;
// How often an idle line releases the terminal's exclusive mode (below).
constexpr int kIdlePollMs = 100;

std::system_error lastError(const char* what) { return std::system_error(errno, std::generic_category(), what); }

void makeRaw(int fd, const char* what) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) throw lastError(what);
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &t) != 0) throw lastError(what);
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

void Simulator::startServing() {
    if (impl->serving) return;
    Impl& s = *impl;
    try {
        s.masterFd = posix_openpt(O_RDWR | O_NOCTTY);
        if (s.masterFd < 0) throw lastError("posix_openpt");
        if (grantpt(s.masterFd) != 0) throw lastError("grantpt");
        if (unlockpt(s.masterFd) != 0) throw lastError("unlockpt");
        char name[128];
        if (ptsname_r(s.masterFd, name, sizeof name) != 0) throw lastError("ptsname_r");
        s.slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (s.slaveFd < 0) throw lastError("open pty slave");
        makeRaw(s.masterFd, "termios of pty master");
        makeRaw(s.slaveFd, "termios of pty slave");
        int flags = fcntl(s.masterFd, F_GETFL);
        if (flags < 0 || fcntl(s.masterFd, F_SETFL, flags | O_NONBLOCK) != 0) throw lastError("fcntl");
        if (pipe2(s.wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) throw lastError("pipe2");
        {
            std::lock_guard lock(s.mutex);
            s.slaveName = name;
        }
    } catch (...) {
        closeFd(s.masterFd);
        closeFd(s.slaveFd);
        closeFd(s.wakeFds[0]);
        closeFd(s.wakeFds[1]);
        throw;
    }
    s.serving = true;
    s.server = std::thread([&s] { s.serve(); });
}

void Simulator::stopServing() {
    Impl& s = *impl;
    if (!s.serving.exchange(false)) return;
    char wake = 1;
    [[maybe_unused]] auto n = ::write(s.wakeFds[1], &wake, 1);
    if (s.server.joinable()) s.server.join();
    closeFd(s.masterFd);
    closeFd(s.slaveFd);
    closeFd(s.wakeFds[0]);
    closeFd(s.wakeFds[1]);
    std::lock_guard lock(s.mutex);
    s.slaveName.clear();
}

bool Simulator::isServing() const { return impl->serving; }

std::string Simulator::slavePath() const {
    std::lock_guard lock(impl->mutex);
    return impl->slaveName;
}

bool Simulator::Impl::pause(int milliseconds) {
    pollfd p{wakeFds[0], POLLIN, 0};
    int woken = ::poll(&p, 1, milliseconds);
    return serving && woken <= 0;
}

void Simulator::Impl::writeAnswer(const std::vector<uint8_t>& answer) {
    std::size_t done = 0;
    while (done < answer.size() && serving) {
        ssize_t n = ::write(masterFd, answer.data() + done, answer.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return;
        pollfd p[2] = {{masterFd, POLLOUT, 0}, {wakeFds[0], POLLIN, 0}};
        if (::poll(p, 2, kWriteStallMs) <= 0 || (p[1].revents & POLLIN)) return;
    }
}

void Simulator::Impl::serve() {
    std::vector<uint8_t> pending;
    bool discarding = false;  // after line noise, until the line goes quiet
    uint8_t chunk[512];
    while (serving) {
        pollfd p[2] = {{masterFd, POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
        int timeout = pending.empty() && !discarding ? kIdlePollMs : kInterByteGapMs;
        int ready = ::poll(p, 2, timeout);
        if (!serving || (ready > 0 && (p[1].revents & POLLIN))) break;
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (ready == 0) {
            if (!pending.empty() || discarding) {
                std::lock_guard lock(mutex);
                ++stats.ignored;
            }
            pending.clear();
            discarding = false;
            // A client that set exclusive mode and went away would keep every later client
            // out (the terminal lives on while the master side is open); a quiet line is the
            // moment to lift it. Clients that need exclusivity among themselves use flock.
            ::ioctl(slaveFd, TIOCNXCL);
            continue;
        }
        if (p[0].revents & (POLLHUP | POLLERR)) {
            if (!pause(10)) break;
            continue;
        }
        ssize_t n = ::read(masterFd, chunk, sizeof chunk);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (!pause(10)) break;
            continue;
        }
        if (discarding) continue;
        pending.insert(pending.end(), chunk, chunk + n);
        while (!pending.empty()) {
            auto length = announcedLength(pending);
            if (!length) break;
            if (*length < headerLength(pending) + 1 || *length > kMaxRequestLength) {
                std::lock_guard lock(mutex);
                ++stats.ignored;
                pending.clear();
                discarding = true;
                break;
            }
            if (pending.size() < *length) break;
            std::vector<uint8_t> frame(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(*length));
            pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(*length));
            std::vector<uint8_t> answer;
            uint32_t delayMs = 0;
            {
                std::lock_guard lock(mutex);
                answer = handle(frame);
                delayMs = faults.answerDelayMs;
            }
            changed.notify_all();
            if (answer.empty()) continue;
            if (delayMs > 0 && !pause(static_cast<int>(std::min<uint32_t>(delayMs, 60000)))) return;
            writeAnswer(answer);
        }
    }
}

}  // namespace iolsim
