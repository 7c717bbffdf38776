// A driver that lists one device, opens it and takes every line setting: the base of the session
// tests' bridges, which answer the calls their test is about.
#pragma once

#include "link/driver.h"

#include <string>

namespace qeltx::testing {

class OneDeviceDriver : public link::Driver {
public:
    core::FtStatus listDeviceCount(std::uint32_t& count) override {
        count = 1;
        return core::FT_OK;
    }
    core::FtStatus listSerialNumber(std::uint32_t, std::string& serial) override {
        serial = kSerial;
        return core::FT_OK;
    }
    core::FtStatus listDescription(std::uint32_t, std::string& description) override {
        description = backendName();
        return core::FT_OK;
    }
    core::FtStatus openBySerialNumber(const std::string&, link::FtHandle& handle) override {
        handle = kHandle;
        return core::FT_OK;
    }
    core::FtStatus close(link::FtHandle) override { return core::FT_OK; }
    core::FtStatus setBaudRate(link::FtHandle, std::uint32_t) override { return core::FT_OK; }
    core::FtStatus setDataCharacteristics(link::FtHandle, std::uint8_t, std::uint8_t, std::uint8_t) override {
        return core::FT_OK;
    }

    static constexpr const char* kSerial = "ONE1";
    static constexpr link::FtHandle kHandle = 7;
};

}  // namespace qeltx::testing
