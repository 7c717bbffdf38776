// The microcontroller's serial bootloader (USART protocol of ST's AN3155) over the flash,
// RAM and option bytes of a medium-density part, device ID 0x410, bootloader version 2.2.
//
// Choices where real parts differ or the protocol leaves room (the model is strict where a
// flasher could go wrong silently):
// - Before the first 0x7F nothing is answered. After it, 0x7F is an ordinary command byte:
//   a second 0x7F followed by anything but 0x80 gets NACK, as on real parts.
// - Get lists the commands of the real 2.2 bootloader: 00 01 02 11 21 31 43 63 73 82 92.
//   The protection commands (63 73 82 92) are answered NACK: protection is not modelled.
//   Extended Erase (44) is not listed but is accepted too, for flashers that send it.
// - Write Memory takes 1 to 256 bytes at any address (real parts want multiples of 4);
//   the whole block must lie in flash or in RAM above the bootloader's 512 bytes. A block
//   that touches a flash byte other than 0xFF is refused with NACK and nothing is written
//   (real parts flag a programming error and leave such words as they were).
// - Read Memory reads flash, RAM or the option bytes; a block must lie in one of them.
// - Go accepts a flash or RAM address; the pedal then runs its firmware again.
// - Erase (43) FF 00 erases all pages; a page list needs pages below 128 and a correct
//   checksum. Extended Erase accepts FFFF and FFFE (all of this single bank) and page lists.
#pragma once

#include "pedal_sim/memories.h"

#include <cstdint>
#include <vector>

namespace qeltx::pedal_sim {

namespace boot {
inline constexpr std::uint8_t kSync = 0x7F;
inline constexpr std::uint8_t kAck = 0x79;
inline constexpr std::uint8_t kNack = 0x1F;
inline constexpr std::uint8_t kGet = 0x00;
inline constexpr std::uint8_t kGetVersion = 0x01;
inline constexpr std::uint8_t kGetId = 0x02;
inline constexpr std::uint8_t kReadMemory = 0x11;
inline constexpr std::uint8_t kGo = 0x21;
inline constexpr std::uint8_t kWriteMemory = 0x31;
inline constexpr std::uint8_t kErase = 0x43;
inline constexpr std::uint8_t kExtendedErase = 0x44;
inline constexpr std::uint8_t kWriteProtect = 0x63;
inline constexpr std::uint8_t kWriteUnprotect = 0x73;
inline constexpr std::uint8_t kReadoutProtect = 0x82;
inline constexpr std::uint8_t kReadoutUnprotect = 0x92;
inline constexpr std::uint8_t kVersion = 0x22;     // bootloader 2.2
inline constexpr std::uint16_t kDeviceId = 0x410;  // medium-density
inline constexpr std::uint8_t kOptionByte1 = 0x00;
inline constexpr std::uint8_t kOptionByte2 = 0x00;
inline constexpr std::uint8_t kGlobalErase = 0xFF;
inline constexpr std::uint16_t kExtendedMassErase = 0xFFFF;
inline constexpr std::uint16_t kExtendedBank1Erase = 0xFFFE;
inline constexpr std::uint16_t kExtendedBank2Erase = 0xFFFD;
}  // namespace boot

class Bootloader {
public:
    explicit Bootloader(Flash& flash);

    // Back to the state after reset: waiting for the synchronisation byte.
    void reset();
    // One byte from the host; the reply bytes are appended to `out`. True when a Go command
    // has been acknowledged (the caller starts the firmware at goAddress()).
    bool receive(std::uint8_t byte, std::vector<std::uint8_t>& out);

    bool synchronised() const { return state_ != State::WaitSync; }
    std::uint32_t goAddress() const { return goAddress_; }
    // Refuse the k-th Write Memory from now on (1 = the next one); 0 = none.
    void nackWrite(unsigned k) {
        nackWriteAt_ = k;
        writesSeen_ = 0;
    }
    unsigned writesSeen() const { return writesSeen_; }

    MemoryRegion& ram() { return ram_; }
    const MemoryRegion& optionBytes() const { return optionBytes_; }

private:
    enum class State {
        WaitSync,
        Command,
        Complement,
        Address,
        ReadCount,
        WriteData,
        Erase,
        ExtendedErase,
    };

    void dispatch(std::uint8_t command, std::vector<std::uint8_t>& out);
    bool addressFrameDone(std::vector<std::uint8_t>& out, bool& go);
    void readCountDone(std::vector<std::uint8_t>& out);
    void writeDataDone(std::vector<std::uint8_t>& out);
    void eraseDone(std::vector<std::uint8_t>& out);
    void extendedEraseDone(std::vector<std::uint8_t>& out);
    const MemoryRegion* readable(std::uint32_t address, std::size_t length) const;
    MemoryRegion* writable(std::uint32_t address, std::size_t length);
    void toCommand() {
        state_ = State::Command;
        frame_.clear();
    }

    Flash& flash_;
    MemoryRegion ram_;
    MemoryRegion optionBytes_;
    State state_ = State::WaitSync;
    std::uint8_t command_ = 0;
    std::uint32_t address_ = 0;
    std::uint32_t goAddress_ = 0;
    std::vector<std::uint8_t> frame_;
    unsigned nackWriteAt_ = 0;
    unsigned writesSeen_ = 0;
};

}  // namespace qeltx::pedal_sim
