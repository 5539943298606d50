// Whole frames over the serial port: the length in the header drives the reads. A write or a
// read that makes no progress ten calls in a row gives up; a read that sees no byte within the
// fruitless-read bound gives up at once, so a silent master costs one bound per frame and the
// start-up against it ends well inside ten seconds.
#include <string>

#include "link/ErrorCodes.h"
#include "link/LinkState.h"

namespace iolink {

namespace {

constexpr int maxFruitlessCalls = 10;

} // namespace

uint32_t openSerialPort(const std::string& portName)
{
    return linkState().serial.open(portName) ? OK : ERROR_CANT_INITIALIZE_PERIPHERAL;
}

void closeSerialPort()
{
    LinkState& link = linkState();
    link.serial.close();
    link.comState = COM_CLOSED;
}

uint32_t sendFrame(const uint8_t* frame)
{
    LinkState& link = linkState();
    if (link.comState != COM_OPEN) {
        return ERROR_UNKNOWN_PERIPHERAL;
    }
    if (!link.serial.isOpen()) {
        return ERROR_GENERAL_ERROR;
    }
    const size_t length = frameLength(frame);
    size_t done = 0;
    int fruitless = 0;
    while (done < length) {
        size_t written = 0;
        if (link.serial.writeSome(frame + done, length - done, written) == SerialPort::Outcome::progress) {
            done += written;
            fruitless = 0;
        } else if (++fruitless >= maxFruitlessCalls) {
            return ERROR_GENERAL_ERROR;
        }
    }
    return OK;
}

bool readSerialBytes(uint8_t* destination, size_t count)
{
    SerialPort& serial = linkState().serial;
    size_t done = 0;
    int fruitless = 0;
    while (done < count) {
        size_t received = 0;
        switch (serial.readSome(destination + done, count - done, received)) {
        case SerialPort::Outcome::progress:
            done += received;
            fruitless = 0;
            break;
        case SerialPort::Outcome::nothing:
            return false;
        case SerialPort::Outcome::failure:
            if (++fruitless >= maxFruitlessCalls) {
                return false;
            }
            break;
        }
    }
    return true;
}

uint32_t receiveFrame(uint8_t* buffer, size_t capacity)
{
    LinkState& link = linkState();
    if (link.comState != COM_OPEN) {
        return ERROR_UNKNOWN_PERIPHERAL;
    }
    if (!link.serial.isOpen()) {
        return ERROR_GENERAL_ERROR;
    }
    if (capacity < extendedHeaderLength) {
        return ERROR_BUFFER_TOO_SMALL;
    }
    if (!readSerialBytes(buffer, shortHeaderLength)) {
        return ERROR_GENERAL_ERROR;
    }
    size_t header = shortHeaderLength;
    if (hasExtendedLength(buffer[1])) {
        if (!readSerialBytes(buffer + shortHeaderLength, extendedHeaderLength - shortHeaderLength)) {
            return ERROR_GENERAL_ERROR;
        }
        header = extendedHeaderLength;
    }
    const size_t length = frameLength(buffer);
    if (length > capacity) {
        return ERROR_BUFFER_TOO_SMALL; // the rest stays unread
    }
    if (length <= header) {
        return OK;
    }
    return readSerialBytes(buffer + header, length - header) ? OK : ERROR_GENERAL_ERROR;
}

bool enqueueRequest(const uint8_t* frame)
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.queueLock);
    return link.queue.push(frame);
}

bool dequeueRequest()
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.queueLock);
    return link.queue.pop(link.txBuffer);
}

void clearRequestQueue()
{
    LinkState& link = linkState();
    const std::lock_guard<std::mutex> guard(link.queueLock);
    link.queue.clear();
}

} // namespace iolink
