// The serial port seen by the link: open exclusively at 115200 8N1, write and read a few bytes
// at a time, close. One platform file implements it (SerialPortLinux.cpp); a Windows one can sit
// beside it with the same class.
//
// A read waits at most fruitlessReadBoundMs for the first byte and then reports that nothing
// came. That bound is what keeps a silent master from holding the link thread, the start-up and
// everyone waiting for them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace iolink {

inline constexpr std::chrono::milliseconds fruitlessReadBound{100};
inline constexpr std::chrono::milliseconds writeReadyBound{100};

class SerialPort {
public:
    enum class Outcome { progress, nothing, failure };

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the named device exclusively and configures it; false when any step fails, and the
    // port is then closed again.
    bool open(const std::string& portName);
    void close();
    bool isOpen() const { return handle >= 0; }

    // One write: `written` holds the bytes that went out.
    Outcome writeSome(const uint8_t* bytes, size_t count, size_t& written);
    // One read: `received` holds the bytes that arrived; `nothing` when no byte came within
    // fruitlessReadBound.
    Outcome readSome(uint8_t* bytes, size_t count, size_t& received);

private:
    intptr_t handle = -1;
};

} // namespace iolink
