// The serial port on Linux: the port name is a device path. Exclusive use takes both flock
// (which also keeps a second open of this process out) and TIOCEXCL (which keeps other
// programs out even when they do not use flock). The descriptor stays non-blocking; poll gives
// the bounded waits.
#include "link/SerialPort.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace iolink {

namespace {

bool configureRaw115200(int fd)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, B115200) != 0 || cfsetospeed(&settings, B115200) != 0) {
        return false;
    }
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

SerialPort::Outcome waitFor(int fd, short events, std::chrono::milliseconds bound)
{
    pollfd entry{fd, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, static_cast<int>(bound.count()));
        if (ready > 0) {
            return SerialPort::Outcome::progress; // readable, writable, or an error the call will report
        }
        if (ready == 0) {
            return SerialPort::Outcome::nothing;
        }
        if (errno != EINTR) {
            return SerialPort::Outcome::failure;
        }
    }
}

} // namespace

SerialPort::~SerialPort() { close(); }

bool SerialPort::open(const std::string& portName)
{
    close();
    const int fd = ::open(portName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ready = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ioctl(fd, TIOCEXCL) == 0 &&
                       configureRaw115200(fd) && ::tcflush(fd, TCIOFLUSH) == 0;
    if (!ready) {
        ::close(fd);
        return false;
    }
    handle = fd;
    return true;
}

void SerialPort::close()
{
    if (handle >= 0) {
        const int fd = static_cast<int>(handle);
        ::ioctl(fd, TIOCNXCL);
        ::close(fd); // releases the flock as well
        handle = -1;
    }
}

SerialPort::Outcome SerialPort::writeSome(const uint8_t* bytes, size_t count, size_t& written)
{
    written = 0;
    if (handle < 0) {
        return Outcome::failure;
    }
    const int fd = static_cast<int>(handle);
    const Outcome ready = waitFor(fd, POLLOUT, writeReadyBound);
    if (ready != Outcome::progress) {
        return ready;
    }
    const ssize_t n = ::write(fd, bytes, count);
    if (n > 0) {
        written = static_cast<size_t>(n);
        return Outcome::progress;
    }
    return (n < 0 && errno != EAGAIN && errno != EINTR) ? Outcome::failure : Outcome::nothing;
}

SerialPort::Outcome SerialPort::readSome(uint8_t* bytes, size_t count, size_t& received)
{
    received = 0;
    if (handle < 0) {
        return Outcome::failure;
    }
    const int fd = static_cast<int>(handle);
    const Outcome ready = waitFor(fd, POLLIN, fruitlessReadBound);
    if (ready != Outcome::progress) {
        return ready;
    }
    const ssize_t n = ::read(fd, bytes, count);
    if (n > 0) {
        received = static_cast<size_t>(n);
        return Outcome::progress;
    }
    // Readable but nothing read: a hang-up (0) or an error; the caller counts it as fruitless.
    return Outcome::failure;
}

} // namespace iolink
