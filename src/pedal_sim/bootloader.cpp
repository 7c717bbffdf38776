// The serial bootloader's state machine.
#include "pedal_sim/bootloader.h"

namespace qeltx::pedal_sim {

namespace {

constexpr std::size_t kAddressFrame = 5;
constexpr std::uint8_t kComplementMask = 0xFF;
constexpr std::uint16_t kExtendedSpecialFloor = 0xFFF0;
constexpr std::uint8_t kDeviceIdLengthLessOne = 0x01;

// The commands Get reports, as the real 2.2 bootloader lists them.
constexpr std::uint8_t kListedCommands[] = {
    boot::kGet,         boot::kGetVersion,      boot::kGetId,          boot::kReadMemory,
    boot::kGo,          boot::kWriteMemory,     boot::kErase,          boot::kWriteProtect,
    boot::kWriteUnprotect, boot::kReadoutProtect, boot::kReadoutUnprotect,
};

std::uint8_t xorOf(const std::vector<std::uint8_t>& bytes, std::size_t count) {
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < count; ++i) x ^= bytes[i];
    return x;
}

}  // namespace

Bootloader::Bootloader(Flash& flash)
    : flash_(flash), ram_(kRamBase, kRamSize, 0x00), optionBytes_(kOptionBytesBase, kOptionBytesSize) {
    // Factory option bytes: readout protection off (RDP 0xA5 and its complement), the
    // user and data bytes as shipped (0xFF, complement 0x00).
    const std::uint8_t factory[kOptionBytesSize] = {0xA5, 0x5A, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00,
                                                    0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00};
    optionBytes_.write(kOptionBytesBase, factory);
}

void Bootloader::reset() {
    state_ = State::WaitSync;
    frame_.clear();
}

const MemoryRegion* Bootloader::readable(std::uint32_t address, std::size_t length) const {
    if (flash_.contains(address, length)) return &flash_;
    if (ram_.contains(address, length)) return &ram_;
    if (optionBytes_.contains(address, length)) return &optionBytes_;
    return nullptr;
}

MemoryRegion* Bootloader::writable(std::uint32_t address, std::size_t length) {
    if (flash_.contains(address, length)) return &flash_;
    if (ram_.contains(address, length) && address >= kRamBase + kRamBootloaderReserve) return &ram_;
    return nullptr;
}

bool Bootloader::receive(std::uint8_t byte, std::vector<std::uint8_t>& out) {
    switch (state_) {
        case State::WaitSync:
            if (byte == boot::kSync) {
                out.push_back(boot::kAck);
                toCommand();
            }
            return false;
        case State::Command:
            command_ = byte;
            state_ = State::Complement;
            return false;
        case State::Complement:
            if (byte != (command_ ^ kComplementMask)) {
                out.push_back(boot::kNack);
                toCommand();
            } else {
                dispatch(command_, out);
            }
            return false;
        case State::Address: {
            frame_.push_back(byte);
            if (frame_.size() < kAddressFrame) return false;
            bool go = false;
            addressFrameDone(out, go);
            return go;
        }
        case State::ReadCount:
            frame_.push_back(byte);
            if (frame_.size() == 2) readCountDone(out);
            return false;
        case State::WriteData:
            frame_.push_back(byte);
            // N - 1, N data bytes, checksum.
            if (frame_.size() == std::size_t{frame_[0]} + 3) writeDataDone(out);
            return false;
        case State::Erase: {
            frame_.push_back(byte);
            const std::size_t wanted = frame_[0] == boot::kGlobalErase ? 2 : std::size_t{frame_[0]} + 3;
            if (frame_.size() == wanted) eraseDone(out);
            return false;
        }
        case State::ExtendedErase: {
            frame_.push_back(byte);
            if (frame_.size() < 2) return false;
            const std::uint16_t n = static_cast<std::uint16_t>((frame_[0] << 8) | frame_[1]);
            const std::size_t wanted = n >= kExtendedSpecialFloor ? 3 : 2 + 2 * (std::size_t{n} + 1) + 1;
            if (frame_.size() == wanted) extendedEraseDone(out);
            return false;
        }
    }
    return false;
}

void Bootloader::dispatch(std::uint8_t command, std::vector<std::uint8_t>& out) {
    switch (command) {
        case boot::kGet:
            out.push_back(boot::kAck);
            out.push_back(static_cast<std::uint8_t>(std::size(kListedCommands)));  // bytes that follow, less one
            out.push_back(boot::kVersion);
            out.insert(out.end(), std::begin(kListedCommands), std::end(kListedCommands));
            out.push_back(boot::kAck);
            toCommand();
            return;
        case boot::kGetVersion:
            out.insert(out.end(), {boot::kAck, boot::kVersion, boot::kOptionByte1, boot::kOptionByte2, boot::kAck});
            toCommand();
            return;
        case boot::kGetId:
            out.insert(out.end(), {boot::kAck, kDeviceIdLengthLessOne, static_cast<std::uint8_t>(boot::kDeviceId >> 8),
                                   static_cast<std::uint8_t>(boot::kDeviceId & 0xFF), boot::kAck});
            toCommand();
            return;
        case boot::kReadMemory:
        case boot::kWriteMemory:
        case boot::kGo:
            out.push_back(boot::kAck);
            state_ = State::Address;
            frame_.clear();
            return;
        case boot::kErase:
            out.push_back(boot::kAck);
            state_ = State::Erase;
            frame_.clear();
            return;
        case boot::kExtendedErase:
            out.push_back(boot::kAck);
            state_ = State::ExtendedErase;
            frame_.clear();
            return;
        default:
            // Unknown commands and the protection commands, which this part does not model.
            out.push_back(boot::kNack);
            toCommand();
            return;
    }
}

bool Bootloader::addressFrameDone(std::vector<std::uint8_t>& out, bool& go) {
    const std::uint32_t address = (std::uint32_t{frame_[0]} << 24) | (std::uint32_t{frame_[1]} << 16) |
                                  (std::uint32_t{frame_[2]} << 8) | frame_[3];
    bool ok = xorOf(frame_, 4) == frame_[4];
    if (ok) {
        switch (command_) {
            case boot::kReadMemory: ok = readable(address, 1) != nullptr; break;
            case boot::kWriteMemory: ok = writable(address, 1) != nullptr; break;
            default: ok = flash_.contains(address, 1) || ram_.contains(address, 1); break;
        }
    }
    if (!ok) {
        out.push_back(boot::kNack);
        toCommand();
        return false;
    }
    out.push_back(boot::kAck);
    address_ = address;
    frame_.clear();
    if (command_ == boot::kReadMemory) {
        state_ = State::ReadCount;
    } else if (command_ == boot::kWriteMemory) {
        state_ = State::WriteData;
    } else {
        goAddress_ = address;
        go = true;
        reset();
    }
    return true;
}

void Bootloader::readCountDone(std::vector<std::uint8_t>& out) {
    const std::size_t length = std::size_t{frame_[0]} + 1;
    const MemoryRegion* region = readable(address_, length);
    if (frame_[1] != (frame_[0] ^ kComplementMask) || region == nullptr) {
        out.push_back(boot::kNack);
    } else {
        out.push_back(boot::kAck);
        auto data = region->view(address_, length);
        out.insert(out.end(), data.begin(), data.end());
    }
    toCommand();
}

void Bootloader::writeDataDone(std::vector<std::uint8_t>& out) {
    const std::size_t length = std::size_t{frame_[0]} + 1;
    ++writesSeen_;
    bool ok = xorOf(frame_, frame_.size() - 1) == frame_.back();
    if (ok && nackWriteAt_ != 0 && writesSeen_ == nackWriteAt_) ok = false;
    MemoryRegion* region = ok ? writable(address_, length) : nullptr;
    if (region == &flash_ && !flash_.isErased(address_, length)) region = nullptr;
    if (region == nullptr) {
        out.push_back(boot::kNack);
    } else {
        region->write(address_, std::span<const std::uint8_t>(frame_).subspan(1, length));
        out.push_back(boot::kAck);
    }
    toCommand();
}

void Bootloader::eraseDone(std::vector<std::uint8_t>& out) {
    bool ok = false;
    if (frame_[0] == boot::kGlobalErase) {
        ok = frame_[1] == 0x00;
        if (ok) flash_.eraseAll();
    } else {
        ok = xorOf(frame_, frame_.size() - 1) == frame_.back();
        for (std::size_t i = 1; ok && i + 1 < frame_.size(); ++i) ok = frame_[i] < kFlashPageCount;
        for (std::size_t i = 1; ok && i + 1 < frame_.size(); ++i) flash_.erasePage(frame_[i]);
    }
    out.push_back(ok ? boot::kAck : boot::kNack);
    toCommand();
}

void Bootloader::extendedEraseDone(std::vector<std::uint8_t>& out) {
    const std::uint16_t n = static_cast<std::uint16_t>((frame_[0] << 8) | frame_[1]);
    bool ok = xorOf(frame_, frame_.size() - 1) == frame_.back();
    if (n >= kExtendedSpecialFloor) {
        ok = ok && (n == boot::kExtendedMassErase || n == boot::kExtendedBank1Erase);
        if (ok) flash_.eraseAll();
    } else {
        std::vector<std::size_t> pages;
        for (std::size_t i = 2; ok && i + 2 < frame_.size(); i += 2) {
            const std::size_t page = (std::size_t{frame_[i]} << 8) | frame_[i + 1];
            ok = page < kFlashPageCount;
            pages.push_back(page);
        }
        if (ok) {
            for (auto page : pages) flash_.erasePage(page);
        }
    }
    out.push_back(ok ? boot::kAck : boot::kNack);
    toCommand();
}

}  // namespace qeltx::pedal_sim
