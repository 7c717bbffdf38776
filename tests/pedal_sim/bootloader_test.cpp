// The serial bootloader: entry by the restart command with B2 held, its answers and its
// ACK/NACK rules, and Go back to the firmware.
#include "pedal_fixture.h"

#include <gtest/gtest.h>

namespace qeltx::pedal_sim::test {
namespace {

constexpr std::uint8_t ACK = 0x79;
constexpr std::uint8_t NACK = 0x1F;

Bytes addressFrame(std::uint32_t a) {
    Bytes f{static_cast<std::uint8_t>(a >> 24), static_cast<std::uint8_t>(a >> 16), static_cast<std::uint8_t>(a >> 8),
            static_cast<std::uint8_t>(a)};
    f.push_back(f[0] ^ f[1] ^ f[2] ^ f[3]);
    return f;
}

Bytes dataFrame(const Bytes& data) {
    Bytes f{static_cast<std::uint8_t>(data.size() - 1)};
    f.insert(f.end(), data.begin(), data.end());
    std::uint8_t x = 0;
    for (auto b : f) x ^= b;
    f.push_back(x);
    return f;
}

class Bootloader : public ::testing::Test {
protected:
    void SetUp() override {
        pedal.model().setButton(control::kB2, true);  // B2 held
        pedal.send({0x05, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
        pedal.model().setButton(control::kB2, false);
        ASSERT_EQ(pedal.model().mode(), PedalMode::Bootloader);
        send({0x7F});
        ASSERT_EQ(pedal.take(), Bytes{ACK});
    }
    void send(const Bytes& b) { pedal.send(b, kBootloaderLine); }
    Bytes exchange(const Bytes& b) {
        send(b);
        return pedal.take();
    }
    Bytes write(std::uint32_t address, const Bytes& data) {
        Bytes replies = exchange({0x31, 0xCE});
        for (auto r : exchange(addressFrame(address))) replies.push_back(r);
        if (replies.back() != ACK) return replies;
        for (auto r : exchange(dataFrame(data))) replies.push_back(r);
        return replies;
    }
    Bytes read(std::uint32_t address, std::uint8_t countLessOne) {
        Bytes replies = exchange({0x11, 0xEE});
        for (auto r : exchange(addressFrame(address))) replies.push_back(r);
        if (replies.back() != ACK) return replies;
        for (auto r : exchange({countLessOne, static_cast<std::uint8_t>(countLessOne ^ 0xFF)})) replies.push_back(r);
        return replies;
    }

    Pedal pedal;
};

TEST_F(Bootloader, GetGetVersionAndGetIdDescribeAMediumDensityPartWithBootloader22) {
    EXPECT_EQ(exchange({0x00, 0xFF}),
              (Bytes{ACK, 0x0B, 0x22, 0x00, 0x01, 0x02, 0x11, 0x21, 0x31, 0x43, 0x63, 0x73, 0x82, 0x92, ACK}));
    EXPECT_EQ(exchange({0x01, 0xFE}), (Bytes{ACK, 0x22, 0x00, 0x00, ACK}));
    EXPECT_EQ(exchange({0x02, 0xFD}), (Bytes{ACK, 0x01, 0x04, 0x10, ACK}));
}

TEST_F(Bootloader, EditorsSequenceErasesWritesTheMarkerAndGoesBackToNormalMode) {
    EXPECT_EQ(exchange({0x43, 0xBC}), Bytes{ACK});
    EXPECT_EQ(exchange({0xFF, 0x00}), Bytes{ACK});
    EXPECT_TRUE(pedal.model().flash().isErased(0x08000000, 128 * 1024));
    Bytes chunk(256);
    for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(write(0x08000000, chunk), (Bytes{ACK, ACK, ACK}));
    EXPECT_EQ(write(0x08000100, Bytes{0xAB}), (Bytes{ACK, ACK, ACK}));  // a one-byte chunk
    EXPECT_EQ(exchange({0x31, 0xCE}), Bytes{ACK});
    EXPECT_EQ(exchange({0x08, 0x01, 0xFC, 0x00, 0xF5}), Bytes{ACK});
    EXPECT_EQ(exchange({0x07, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x06}), Bytes{ACK});
    const Bytes back = read(0x08000000, 0xFF);
    ASSERT_EQ(back.size(), 3u + 256u);
    EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), back.begin() + 3));

    EXPECT_EQ(exchange({0x21, 0xDE}), Bytes{ACK});
    EXPECT_EQ(exchange({0x08, 0x00, 0x00, 0x00, 0x08}), Bytes{ACK});
    EXPECT_EQ(pedal.model().mode(), PedalMode::Normal);
    EXPECT_EQ(pedal.model().firmwareVersion(), 1u);
    pedal.send({0x06, 0x00});  // now at 8N1
    EXPECT_EQ(pedal.takeText(), "1\r\n43\r\n1\r\n1\r\n");
}

TEST_F(Bootloader, WriteIntoUnerasedFlashIsRefusedAndLeavesItAlone) {
    // Factory flash holds a vector table at the start.
    const Bytes before(pedal.model().flash().bytes().begin(), pedal.model().flash().bytes().begin() + 8);
    EXPECT_EQ(write(0x08000000, Bytes(8, 0x00)), (Bytes{ACK, ACK, NACK}));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), pedal.model().flash().bytes().begin()));
    // Erasing the first page (page list 0) makes it writable.
    EXPECT_EQ(exchange({0x43, 0xBC}), Bytes{ACK});
    EXPECT_EQ(exchange({0x00, 0x00, 0x00}), Bytes{ACK});
    EXPECT_EQ(write(0x08000000, Bytes(8, 0x00)), (Bytes{ACK, ACK, ACK}));
}

struct Refusal {
    const char* name;
    Bytes command;  // two bytes
    Bytes rest;     // sent after the command's ACK
    Bytes replies;  // to `rest`
};

class BootloaderRefuses : public Bootloader, public ::testing::WithParamInterface<Refusal> {};

TEST_P(BootloaderRefuses, WithNack) {
    const Refusal& r = GetParam();
    const Bytes first = exchange(r.command);
    if (r.rest.empty()) {
        EXPECT_EQ(first, r.replies);
    } else {
        EXPECT_EQ(first, Bytes{ACK});
        Bytes got;
        for (std::size_t k = 0; k < r.rest.size(); ++k) {
            for (auto b : exchange({r.rest[k]})) got.push_back(b);
        }
        EXPECT_EQ(got, r.replies);
    }
    // The bootloader takes commands again afterwards.
    EXPECT_EQ(exchange({0x01, 0xFE}), (Bytes{ACK, 0x22, 0x00, 0x00, ACK}));
}

const Bytes kEraseAll{0x43, 0xBC};
INSTANTIATE_TEST_SUITE_P(
    Cases, BootloaderRefuses,
    ::testing::Values(
        Refusal{"BadComplement", {0x31, 0xCD}, {}, {NACK}},
        Refusal{"UnknownCommand", {0x55, 0xAA}, {}, {NACK}},
        Refusal{"ReadoutProtectNotModelled", {0x82, 0x7D}, {}, {NACK}},
        Refusal{"ReadAddressChecksum", {0x11, 0xEE}, {0x08, 0x00, 0x00, 0x00, 0x09}, {NACK}},
        Refusal{"ReadOutsideMemory", {0x11, 0xEE}, {0x40, 0x00, 0x00, 0x00, 0x40}, {NACK}},
        Refusal{"ReadCountComplement", {0x11, 0xEE}, {0x08, 0x00, 0x00, 0x00, 0x08, 0x0F, 0xF1}, {ACK, NACK}},
        Refusal{"ReadPastFlashEnd", {0x11, 0xEE}, {0x08, 0x01, 0xFF, 0xF0, 0x06, 0xFF, 0x00}, {ACK, NACK}},
        Refusal{"WriteAddressChecksum", {0x31, 0xCE}, {0x08, 0x00, 0x00, 0x00, 0x00}, {NACK}},
        Refusal{"WriteIntoSystemMemory", {0x31, 0xCE}, {0x1F, 0xFF, 0xF0, 0x00, 0x10}, {NACK}},
        Refusal{"WriteIntoBootloaderRam", {0x31, 0xCE}, {0x20, 0x00, 0x00, 0x00, 0x20}, {NACK}},
        Refusal{"WriteDataChecksum", {0x31, 0xCE}, {0x20, 0x00, 0x10, 0x00, 0x30, 0x01, 0xAA, 0xBB, 0x00}, {ACK, NACK}},
        Refusal{"GlobalEraseWithoutZero", kEraseAll, {0xFF, 0x01}, {NACK}},
        Refusal{"ErasePageChecksum", kEraseAll, {0x01, 0x00, 0x01, 0x01}, {NACK}},
        Refusal{"ErasePageBeyondFlash", kEraseAll, {0x00, 0x80, 0x80}, {NACK}},
        Refusal{"ExtendedEraseSecondBank", {0x44, 0xBB}, {0xFF, 0xFD, 0x02}, {NACK}},
        Refusal{"GoOutsideMemory", {0x21, 0xDE}, {0x00, 0x00, 0x00, 0x00, 0x00}, {NACK}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Bootloader, ExtendedEraseTakesMassEraseAndPageLists) {
    EXPECT_EQ(exchange({0x44, 0xBB}), Bytes{ACK});
    EXPECT_EQ(exchange({0x00, 0x01, 0x00, 0x00, 0x00, 0x7F, 0x7E}), Bytes{ACK});  // pages 0 and 127
    EXPECT_TRUE(pedal.model().flash().isErased(0x08000000, 1024));
    EXPECT_TRUE(pedal.model().flash().isErased(0x0801FC00, 1024));
    EXPECT_EQ(exchange({0x44, 0xBB}), Bytes{ACK});
    EXPECT_EQ(exchange({0xFF, 0xFF, 0x00}), Bytes{ACK});
    EXPECT_TRUE(pedal.model().flash().isErased(0x08000000, 128 * 1024));
}

TEST_F(Bootloader, NacksTheKthWriteOnRequest) {
    exchange({0x43, 0xBC});
    exchange({0xFF, 0x00});
    pedal.model().nackWrite(2);
    EXPECT_EQ(write(0x08000000, Bytes(4, 1)), (Bytes{ACK, ACK, ACK}));
    EXPECT_EQ(write(0x08000004, Bytes(4, 2)), (Bytes{ACK, ACK, NACK}));
    EXPECT_TRUE(pedal.model().flash().isErased(0x08000004, 4));
    EXPECT_EQ(write(0x08000004, Bytes(4, 2)), (Bytes{ACK, ACK, ACK}));
}

TEST_F(Bootloader, SecondSyncByteIsACommandByteAsOnRealParts) {
    EXPECT_TRUE(exchange({0x7F}).empty());  // waits for its complement
    EXPECT_EQ(exchange({0x7F}), Bytes{NACK});
}

TEST(BootloaderEntry, RestartWithoutB2RestartsTheFirmware) {
    Pedal pedal;
    pedal.send({0x0D, 0x01});
    pedal.send({0x05, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
    EXPECT_EQ(pedal.model().mode(), PedalMode::Normal);
    EXPECT_FALSE(pedal.model().bypass());
}

TEST(BootloaderEntry, ParityMismatchKeepsTheBootloaderDeaf) {
    PedalOptions options = Pedal::options({});
    options.startInBootloader = true;
    PedalModel model(options);
    const Bytes sync{0x7F};
    model.receive(sync.data(), 1, kNormalLine);  // editor forgot to switch to even parity
    EXPECT_TRUE(model.output().empty());
    model.receive(sync.data(), 1, kBootloaderLine);
    EXPECT_EQ(Bytes(model.output().begin(), model.output().end()), Bytes{0x79});
}

TEST(NormalMode, ParityMismatchCorruptsCommands) {
    Pedal pedal;
    pedal.send({0x06, 0x00}, kBootloaderLine);
    pedal.send({0x01, 0x00, 0x02, 0x00, 0x40, 0x00, 0x00}, kBootloaderLine);
    EXPECT_TRUE(pedal.take().empty());
    EXPECT_EQ(pedal.model().controlValue(0), 0u);
    LineSettings slow = kNormalLine;
    slow.baud = 9600;
    pedal.send({0x06, 0x00}, slow);
    EXPECT_TRUE(pedal.take().empty());
    pedal.send({0x06, 0x00});
    EXPECT_FALSE(pedal.take().empty());
}

}  // namespace
}  // namespace qeltx::pedal_sim::test
