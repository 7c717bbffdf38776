// The driver's status codes (the chip maker's D2XX convention, 0 = success) and the texts
// the editor shows for them.
#pragma once

#include <cstdint>
#include <string>

namespace qeltx::core {

using FtStatus = std::uint32_t;

enum FtStatusCode : FtStatus {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_OTHER_ERROR = 17,
    FT_NOT_SUPPORTED = 18,
};

// The text the editor appends to an operation's label for a status, as the pedal's users
// have always seen it ("FT_Read - Invalid handle..."). Empty for 0.
std::string ftStatusText(FtStatus status);

// The whole message for a failed call: label and text; a status without a text names the
// number so the box is never empty.
std::string ftErrorMessage(const std::string& label, FtStatus status);

}  // namespace qeltx::core
