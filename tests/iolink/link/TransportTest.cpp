// Whole frames over a pseudo-terminal, with the test playing the master by hand: the header
// drives the reads, a frame too long for the buffer is left unread, a silent line costs one
// read bound, and the port is held exclusively.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "PseudoTerminal.h"
#include "link/ErrorCodes.h"
#include "link/LinkState.h"

using namespace iolink;
using namespace std::chrono_literals;

namespace {

class Transport : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(openSerialPort(terminal.slavePath()), OK);
        linkState().comState = COM_OPEN;
    }
    void TearDown() override { closeSerialPort(); }

    PseudoTerminal terminal;
    FrameBuffer buffer{};
};

TEST_F(Transport, SendsExactlyTheAnnouncedLength)
{
    const uint8_t frame[] = {0x0C, 0x04, 0x00, 0x08, 0xEE, 0xEE};
    ASSERT_EQ(sendFrame(frame), OK);
    EXPECT_EQ(terminal.read(16, 200ms), (std::vector<uint8_t>{0x0C, 0x04, 0x00, 0x08}));
}

TEST_F(Transport, ReceivesShortAndExtendedHeaders)
{
    terminal.write({0x0E, 0x04, 0x00, 0x0A});
    ASSERT_EQ(receiveFrame(buffer.data(), buffer.size()), OK);
    EXPECT_EQ(buffer[3], 0x0A);

    for (const uint8_t marker : {uint8_t{0}, uint8_t{1}}) {
        const uint8_t sum = static_cast<uint8_t>(0x03 ^ marker ^ 0x06 ^ 0x42);
        terminal.write({0x03, marker, 0x00, 0x06, 0x42, sum});
        ASSERT_EQ(receiveFrame(buffer.data(), buffer.size()), OK) << "marker " << int{marker};
        EXPECT_EQ(buffer[4], 0x42);
        EXPECT_EQ(buffer[5], sum);
    }
}

TEST_F(Transport, LeavesAFrameTooLongForTheBufferUnread)
{
    terminal.write({0x03, 0x00, 0x01, 0x04, 0x11, 0x22}); // announces 260 bytes
    EXPECT_EQ(receiveFrame(buffer.data(), buffer.size()), ERROR_BUFFER_TOO_SMALL);
    uint8_t rest[2] = {};
    ASSERT_TRUE(readSerialBytes(rest, 2));
    EXPECT_EQ(rest[0], 0x11);
    EXPECT_EQ(rest[1], 0x22);
}

TEST_F(Transport, ASilentLineEndsTheReadAfterOneBound)
{
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(receiveFrame(buffer.data(), buffer.size()), ERROR_GENERAL_ERROR);
    // Generous: what matters is that ten bounds in a row are not waited for.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
}

TEST_F(Transport, AFrameThatStopsHalfWayFails)
{
    terminal.write({0x0B, 0x08, 0x00, 0x03});
    EXPECT_EQ(receiveFrame(buffer.data(), buffer.size()), ERROR_GENERAL_ERROR);
}

TEST_F(Transport, ExchangesNeedTheStateOpenForExchanges)
{
    linkState().comState = COM_CLOSED;
    const uint8_t frame[] = {0x02, 0x03, 0x01};
    EXPECT_EQ(sendFrame(frame), ERROR_UNKNOWN_PERIPHERAL);
    EXPECT_EQ(receiveFrame(buffer.data(), buffer.size()), ERROR_UNKNOWN_PERIPHERAL);
    linkState().comState = COM_OPEN;
    linkState().serial.close();
    EXPECT_EQ(sendFrame(frame), ERROR_GENERAL_ERROR);
    EXPECT_EQ(receiveFrame(buffer.data(), buffer.size()), ERROR_GENERAL_ERROR);
}

TEST_F(Transport, ReadingZeroBytesSucceedsAtOnce) { EXPECT_TRUE(readSerialBytes(nullptr, 0)); }

TEST(SerialPortOpening, APortInUseOrMissingCannotBeOpened)
{
    PseudoTerminal terminal;
    SerialPort first;
    ASSERT_TRUE(first.open(terminal.slavePath()));
    SerialPort second;
    EXPECT_FALSE(second.open(terminal.slavePath()));
    EXPECT_FALSE(second.isOpen());
    first.close();
    EXPECT_TRUE(second.open(terminal.slavePath())) << "closing releases the port";

    EXPECT_EQ(openSerialPort("/dev/does-not-exist-iolink"), ERROR_CANT_INITIALIZE_PERIPHERAL);
    EXPECT_FALSE(linkState().serial.isOpen());
}

} // namespace
