// The device objects a firmware update works with, and the bootloader's access code. The
// simulated device includes this header too, so both sides of the line agree by construction.
#pragma once

#include <array>
#include <cstdint>

namespace iolink {

inline constexpr uint16_t SYSTEM_COMMAND_INDEX = 2;
inline constexpr uint16_t BLOB_CHANNEL_INDEX = 50;
inline constexpr uint16_t VENDOR_ID_INDEX = 0x1018;
inline constexpr uint8_t VENDOR_ID_SUBINDEX = 1;
inline constexpr uint16_t HARDWARE_ID_INDEX = 0x43BE;
inline constexpr uint16_t BOOTMODE_STATUS_INDEX = 0x43BF;

inline constexpr uint16_t FIRMWARE_BLOB_ID = 1;
inline constexpr uint16_t VMM_BLOB_ID = 0x1000;

// System commands (one byte each, written to SYSTEM_COMMAND_INDEX).
inline constexpr uint8_t ACTIVATE_FIRMWARE_COMMAND = 0x53;
inline constexpr uint8_t DEVICE_RESET_COMMAND = 0x80;

// Boot-mode status byte (BOOTMODE_STATUS_INDEX).
inline constexpr uint8_t BOOTMODE_APPLICATION = 0;
inline constexpr uint8_t BOOTMODE_BOOTLOADER = 1;

inline constexpr size_t BOOTLOADER_ENTRY_CODE_LENGTH = 9;

// Nine system commands, sent one by one and in this order, make the device enter its
// bootloader. The sequence is assembled from single bytes at run time rather than kept as one
// literal, so the access code does not sit in the library as a searchable string.
inline std::array<uint8_t, BOOTLOADER_ENTRY_CODE_LENGTH> bootloaderEntryCode()
{
    constexpr uint8_t b0 = 0xB7;
    constexpr uint8_t b1 = 0x4E;
    constexpr uint8_t b2 = 0xD1;
    constexpr uint8_t b3 = 0x29;
    constexpr uint8_t b4 = 0xA6;
    constexpr uint8_t b5 = 0x5C;
    constexpr uint8_t b6 = 0xE3;
    constexpr uint8_t b7 = 0x38;
    constexpr uint8_t b8 = 0xC4;
    return {b0, b1, b2, b3, b4, b5, b6, b7, b8};
}

} // namespace iolink
