// The editor's encoders and decoders against the virtual pedal, which parses and answers with
// its own code: where the two sides disagree about a byte, one of these fails.
#include "core/bootloader_frames.h"
#include "core/commands.h"
#include "core/hex.h"
#include "core/parameter_block.h"
#include "core/pedal_messages.h"
#include "core/replies.h"
#include "core/stored_effect.h"
#include "pedal_fixture.h"

#include <gtest/gtest.h>

namespace qeltx::pedal_sim::test {
namespace {

class EditorAndPedal : public ::testing::Test {
protected:
    Bytes send(const core::PedalCommand& command) {
        const auto bytes = core::commandTextToBytes(command.text);
        EXPECT_TRUE(bytes.ok()) << command.text;
        pedal.send(*bytes);
        return pedal.take();
    }
    Bytes sendFrame(const core::Frame& frame) {
        pedal.send(frame, kBootloaderLine);
        return pedal.take();
    }

    Pedal pedal;  // controls 0..2 at addresses 2, 5, 7
};

TEST_F(EditorAndPedal, StoredEffectQueryIsUnderstoodBothWays) {
    const auto reply = core::parse_stored_effect_reply(send(core::storedEffectQueryCommand()));
    ASSERT_TRUE(reply.ok()) << reply.reason();
    EXPECT_TRUE(reply->effectStored);
    EXPECT_EQ(reply->effectNumber, 43u);
    EXPECT_EQ(reply->effectVersion, 1u);
    EXPECT_EQ(reply->firmwareVersion, 1u);
}

TEST_F(EditorAndPedal, PanelSettingsComeBackInTheParameterBlock) {
    send(core::potCommand(2, 700.0));
    send(core::switchCommand(7, true));
    send(*core::multiSwitchCommand(5, 4, 3));
    const std::uint8_t codes[] = {0, 255, 11};
    const std::uint8_t readbacks[] = {2};
    send(*core::assignCommand(codes, readbacks, 8, 10));
    send(*core::reverseCommand(true, 2));
    send(*core::midiChannelCommand(12));

    const auto numbers = core::DecodeReplyNumbers(send(core::requestCommand(3)));
    ASSERT_TRUE(numbers.ok()) << numbers.reason();
    EXPECT_EQ(numbers->unterminatedBytes, 0u);
    const auto block = core::parseParameterBlock(numbers->values, 3, 1);
    ASSERT_TRUE(block.ok()) << block.reason();
    EXPECT_EQ(block->values, (std::vector<std::int32_t>{700, 768, 1024}));
    EXPECT_EQ(block->assignments, (std::vector<std::uint8_t>{0, 255, 11}));
    EXPECT_EQ(block->bypassAssignment, 8);
    EXPECT_EQ(block->presetAssignment, 10);
    EXPECT_EQ(block->readbackAssignments, (std::vector<std::uint8_t>{2}));
    EXPECT_EQ(block->reverseFlags, (std::vector<std::uint8_t>{255, 255, 1}));
    EXPECT_EQ(core::midiMenuItemFromBlock(block->midiChannel), 12);
    EXPECT_EQ(core::pedalModeFromBlock(block->mode), core::PedalMode::Preset);
}

TEST_F(EditorAndPedal, BankUploadAndThePedalsOwnMessagesAreRead) {
    ImageSpec spec;
    spec.number = 0x2B;
    const Bytes image = buildImage(spec);
    const auto upload = core::uploadCommand(core::toHex(image), core::UploadTarget::Bank3);
    ASSERT_TRUE(upload);
    core::PedalMessageReader reader;
    auto messages = reader.feed(send(*upload));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<core::UploadComplete>(messages[0]));

    pedal.model().changeBank(2);
    messages = reader.feed(pedal.take());
    ASSERT_EQ(messages.size(), 1u);
    ASSERT_TRUE(std::holds_alternative<core::BankReport>(messages[0]));
    EXPECT_EQ(std::get<core::BankReport>(messages[0]).bankIndex, 2u);

    const std::uint8_t codes[] = {3};
    send(*core::assignCommand(codes, {}, 255, 255));
    pedal.model().turnKnob(3, 341);
    messages = reader.feed(pedal.take());
    ASSERT_EQ(messages.size(), 1u);
    const auto frame = std::get<core::ControlFrame>(messages[0]);
    EXPECT_EQ(frame.code, 3);
    EXPECT_EQ(frame.index, 0);
    EXPECT_EQ(frame.value, 341);
}

TEST_F(EditorAndPedal, EepromToolsEraseAndDump) {
    send(*core::eepromEraseCommand("51"));
    core::PedalMessageReader reader;
    const auto messages = reader.feed(send(*core::eepromReadCommand("51")));
    ASSERT_EQ(messages.size(), 1u);
    const auto& dump = std::get<core::EepromDump>(messages[0]);
    ASSERT_EQ(dump.contents.size(), 16384u);
    EXPECT_TRUE(std::all_of(dump.contents.begin(), dump.contents.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

TEST_F(EditorAndPedal, FirmwareIsFlashedWithTheEditorsFrames) {
    pedal.model().setButton(control::kB2, true);
    send(core::upgradeModeCommand());
    ASSERT_EQ(sendFrame({core::bootloader::kSync}), Bytes{core::bootloader::kAck});

    Bytes firmware(1000);
    for (std::size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<std::uint8_t>(i * 13 + 1);
    EXPECT_EQ(sendFrame(core::commandFrame(core::bootloader::kErase)), Bytes{core::bootloader::kAck});
    EXPECT_EQ(sendFrame(core::globalEraseFrame()), Bytes{core::bootloader::kAck});
    const auto chunks = core::chunkFirmware(firmware);
    ASSERT_TRUE(chunks.ok());
    for (const auto& chunk : *chunks) {
        EXPECT_EQ(sendFrame(core::commandFrame(core::bootloader::kWriteMemory)), Bytes{core::bootloader::kAck});
        EXPECT_EQ(sendFrame(core::addressFrame(chunk.address)), Bytes{core::bootloader::kAck});
        EXPECT_EQ(sendFrame(*core::writeDataFrame(chunk.data)), Bytes{core::bootloader::kAck});
    }
    const auto marker = core::firmwareMarker(1);
    ASSERT_TRUE(marker);
    EXPECT_EQ(sendFrame(core::commandFrame(core::bootloader::kWriteMemory)), Bytes{core::bootloader::kAck});
    EXPECT_EQ(sendFrame(core::addressFrame(marker->address)), Bytes{core::bootloader::kAck});
    EXPECT_EQ(sendFrame(*core::writeDataFrame(marker->data)), Bytes{core::bootloader::kAck});
    EXPECT_EQ(sendFrame(core::commandFrame(core::bootloader::kGo)), Bytes{core::bootloader::kAck});
    EXPECT_EQ(sendFrame(core::addressFrame(core::kFlashBase)), Bytes{core::bootloader::kAck});
    EXPECT_EQ(pedal.model().mode(), PedalMode::Normal);
    EXPECT_EQ(pedal.model().firmwareVersion(), 1u);
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), pedal.model().flash().bytes().begin()));
}

}  // namespace
}  // namespace qeltx::pedal_sim::test
