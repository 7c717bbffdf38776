// A driver that counts the bytes crossing the line either way, for a benchmark's wire bound.
#pragma once

#include "link/forwarding_driver.h"

#include <cstdint>
#include <memory>

namespace qeltx::bench {

class CountingDriver : public link::ForwardingDriver {
public:
    explicit CountingDriver(link::Driver& inner) : ForwardingDriver(inner) {}
    // The same, owning `inner`.
    explicit CountingDriver(std::unique_ptr<link::Driver> inner) : ForwardingDriver(*inner), owned_(std::move(inner)) {}

    std::uint64_t bytes = 0;

    core::FtStatus read(link::FtHandle h, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& n) override {
        const auto status = ForwardingDriver::read(h, buffer, toRead, n);
        bytes += n;
        return status;
    }
    core::FtStatus write(link::FtHandle h, const std::uint8_t* data, std::uint32_t count, std::uint32_t& n) override {
        const auto status = ForwardingDriver::write(h, data, count, n);
        bytes += n;
        return status;
    }

private:
    std::unique_ptr<link::Driver> owned_;
};

}  // namespace qeltx::bench
