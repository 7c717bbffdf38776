// A driver that passes every call on to another: the base of wrappers that watch or change a
// few calls on their way to a backend (counting the bytes on the line, a fault between the
// pedal and the editor), which override only those.
#pragma once

#include "link/driver.h"

namespace qeltx::link {

class ForwardingDriver : public Driver {
public:
    // `inner` must outlive this driver; it may be a member of the derived class, as nothing
    // reaches it before the first call.
    explicit ForwardingDriver(Driver& inner) : inner_(inner) {}

    FtStatus listDeviceCount(std::uint32_t& count) override { return inner_.listDeviceCount(count); }
    FtStatus listSerialNumber(std::uint32_t index, std::string& serial) override {
        return inner_.listSerialNumber(index, serial);
    }
    FtStatus listDescription(std::uint32_t index, std::string& description) override {
        return inner_.listDescription(index, description);
    }
    FtStatus openBySerialNumber(const std::string& serial, FtHandle& handle) override {
        return inner_.openBySerialNumber(serial, handle);
    }
    FtStatus close(FtHandle handle) override { return inner_.close(handle); }
    FtStatus setBaudRate(FtHandle handle, std::uint32_t baud) override { return inner_.setBaudRate(handle, baud); }
    FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                    std::uint8_t parity) override {
        return inner_.setDataCharacteristics(handle, wordLength, stopBits, parity);
    }
    FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) override {
        return inner_.getQueueStatus(handle, rxBytes);
    }
    FtStatus waitForQueue(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t& rxBytes) override {
        return inner_.waitForQueue(handle, timeoutMs, rxBytes);
    }
    FtStatus read(FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& bytesRead) override {
        return inner_.read(handle, buffer, toRead, bytesRead);
    }
    FtStatus write(FtHandle handle, const std::uint8_t* buffer, std::uint32_t toWrite,
                   std::uint32_t& bytesWritten) override {
        return inner_.write(handle, buffer, toWrite, bytesWritten);
    }
    FtStatus purge(FtHandle handle, std::uint32_t mask) override { return inner_.purge(handle, mask); }
    FtStatus setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) override {
        return inner_.setLatencyTimer(handle, milliseconds);
    }
    FtStatus getLatencyTimer(FtHandle handle, std::uint8_t& milliseconds) override {
        return inner_.getLatencyTimer(handle, milliseconds);
    }
    std::string lastOpenProblem() const override { return inner_.lastOpenProblem(); }
    std::string backendName() const override { return inner_.backendName(); }

private:
    Driver& inner_;
};

}  // namespace qeltx::link
