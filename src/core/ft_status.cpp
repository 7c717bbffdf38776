// Texts for the driver's status codes.
#include "core/ft_status.h"

#include <array>

namespace qeltx::core {

std::string ftStatusText(FtStatus status) {
    static constexpr std::array<const char*, 18> kTexts = {
        "",
        " - Invalid handle...",
        " - Device not found...",
        " - Device not opened...",
        " - General IO error...",
        " - Insufficient resources...",
        " - Invalid parameter...",
        " - Invalid baud rate...",
        " Device not opened for erase...",
        " Device not opened for write...",
        " - Failed to write...",
        " - EEPROM read failed...",
        " - EEPROM write failed...",
        " - EEPROM erase failed...",
        " - EEPROM not present...",
        " - EEPROM not programmed...",
        " - Invalid arguments...",
        " - Other error ...",
    };
    return status < kTexts.size() ? kTexts[status] : "";
}

std::string ftErrorMessage(const std::string& label, FtStatus status) {
    if (status >= 1 && status <= 17) return label + ftStatusText(status);
    return label + " - Unknown error (status " + std::to_string(status) + ")";
}

}  // namespace qeltx::core
