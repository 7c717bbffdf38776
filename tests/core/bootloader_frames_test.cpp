// Bootloader frames and checksums, firmware chunking and marker, Intel HEX reading.
#include "core/bootloader_frames.h"
#include "core/hex.h"
#include "hex_bytes.h"

#include <gtest/gtest.h>

using namespace qeltx::core;

namespace {

using test_support::hexBytes;

// ---- Frames -----------------------------------------------------------------------------

struct FrameCase {
    std::string name;
    Frame frame;
    std::string expected;
};

class BootloaderFrame : public ::testing::TestWithParam<FrameCase> {};

TEST_P(BootloaderFrame, HasItsBytes) { EXPECT_EQ(GetParam().frame, hexBytes(GetParam().expected)); }

INSTANTIATE_TEST_SUITE_P(
    Cases, BootloaderFrame,
    ::testing::Values(FrameCase{"WriteMemory", commandFrame(bootloader::kWriteMemory), "31 CE"},
                      FrameCase{"Erase", commandFrame(bootloader::kErase), "43 BC"},
                      FrameCase{"Go", commandFrame(bootloader::kGo), "21 DE"},
                      FrameCase{"ReadMemory", commandFrame(bootloader::kReadMemory), "11 EE"},
                      FrameCase{"ExtendedErase", commandFrame(bootloader::kExtendedErase), "44 BB"},
                      FrameCase{"Get", commandFrame(bootloader::kGet), "00 FF"},
                      FrameCase{"AddressFlashBase", addressFrame(0x08000000), "08 00 00 00 08"},
                      FrameCase{"AddressMarker", addressFrame(0x0801FC00), "08 01 FC 00 F5"},
                      FrameCase{"AddressLastChunk", addressFrame(0x0800A100), "08 00 A1 00 A9"},
                      FrameCase{"GlobalErase", globalEraseFrame(), "FF 00"},
                      FrameCase{"ExtendedGlobalErase", extendedGlobalEraseFrame(), "FF FF 00"},
                      FrameCase{"MarkerData", *writeDataFrame(hexBytes("00 00 00 00 00 00 00 01")),
                                "07 00 00 00 00 00 00 00 01 06"},
                      FrameCase{"OneByte", *writeDataFrame(hexBytes("5A")), "00 5A 5A"},
                      FrameCase{"PageList", *pageEraseFrame(hexBytes("00 01 02")), "02 00 01 02 01"},
                      FrameCase{"ExtendedPageList",
                                *extendedPageEraseFrame(std::vector<std::uint16_t>{0x0001, 0x0102}),
                                "00 01 00 01 01 02 03"},
                      FrameCase{"ReadLength256", *readLengthFrame(256), "FF 00"},
                      FrameCase{"ReadLength1", *readLengthFrame(1), "00 FF"}),
    [](const auto& info) { return info.param.name; });

TEST(BootloaderFrame, AFullChunkOfFFHasChecksumFF) {
    const std::vector<std::uint8_t> data(256, 0xFF);
    const auto frame = writeDataFrame(data);
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->size(), 258u);
    EXPECT_EQ(frame->front(), 0xFF);
    EXPECT_EQ(frame->back(), 0xFF);
}

TEST(BootloaderFrame, SizesOutsideTheProtocolAreRefused) {
    EXPECT_EQ(writeDataFrame({}), std::nullopt);
    EXPECT_EQ(writeDataFrame(std::vector<std::uint8_t>(257)), std::nullopt);
    EXPECT_EQ(pageEraseFrame({}), std::nullopt);
    EXPECT_EQ(pageEraseFrame(std::vector<std::uint8_t>(256)), std::nullopt);
    EXPECT_EQ(extendedPageEraseFrame({}), std::nullopt);
    EXPECT_EQ(readLengthFrame(0), std::nullopt);
    EXPECT_EQ(readLengthFrame(257), std::nullopt);
}

TEST(BootloaderReplyTest, FirstByteDecides) {
    EXPECT_EQ(bootloaderReplyText(hexBytes("79")), "79");
    EXPECT_EQ(bootloaderReplyText(hexBytes("1F 79 00")), "1F");
    EXPECT_EQ(bootloaderReplyText({}), "");
    EXPECT_EQ(classifyBootloaderReply(hexBytes("79")), BootloaderReply::Ack);
    EXPECT_EQ(classifyBootloaderReply(hexBytes("1F")), BootloaderReply::Nack);
    EXPECT_EQ(classifyBootloaderReply(hexBytes("00")), BootloaderReply::Unexpected);
    EXPECT_EQ(classifyBootloaderReply({}), BootloaderReply::None);
}

// ---- Chunking ---------------------------------------------------------------------------

struct ChunkCase {
    std::size_t imageSize;
    std::size_t chunks;
    std::uint32_t lastAddress;
    std::size_t lastSize;
};

class Chunking : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(Chunking, Cuts256ByteWritesFromTheFlashBase) {
    const auto& c = GetParam();
    std::vector<std::uint8_t> image(c.imageSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
    const auto chunks = chunkFirmware(image);
    ASSERT_TRUE(chunks.ok()) << chunks.reason();
    ASSERT_EQ(chunks->size(), c.chunks);
    EXPECT_EQ(chunks->front().address, kFlashBase);
    EXPECT_EQ(chunks->back().address, c.lastAddress);
    EXPECT_EQ(chunks->back().data.size(), c.lastSize);
    std::vector<std::uint8_t> joined;
    std::uint32_t next = kFlashBase;
    for (const auto& chunk : *chunks) {
        EXPECT_EQ(chunk.address, next);
        next += static_cast<std::uint32_t>(chunk.data.size());
        joined.insert(joined.end(), chunk.data.begin(), chunk.data.end());
    }
    EXPECT_EQ(joined, image);
}

INSTANTIATE_TEST_SUITE_P(Cases, Chunking,
                         ::testing::Values(ChunkCase{256, 1, 0x08000000, 256}, ChunkCase{257, 2, 0x08000100, 1},
                                           ChunkCase{1, 1, 0x08000000, 1},
                                           ChunkCase{41252, 162, 0x0800A100, 36},  // the shipped image's size
                                           ChunkCase{130048, 508, 0x0801FB00, 256}));  // up to the marker

TEST(Chunking, ImagesThatWouldReachTheMarkerAreRefused) {
    EXPECT_FALSE(chunkFirmware(std::vector<std::uint8_t>(130049)).ok());
    EXPECT_FALSE(chunkFirmware(std::vector<std::uint8_t>(512 * 256)).ok());
    EXPECT_FALSE(chunkFirmware({}).ok());
    EXPECT_FALSE(chunkFirmware(std::vector<std::uint8_t>(16), 0x07FFFFF0).ok());
}

// The pedal starts whatever lies at the flash base after every reset: an image for anywhere else
// is refused, naming where it starts.
TEST(Chunking, ImagesNotAtTheFlashBaseAreRefusedNamingTheirStart) {
    for (const std::uint32_t base : {0x08000001u, 0x08000100u, 0x08004000u, 0x0801F800u, 0x07FFFFF0u}) {
        const auto chunks = chunkFirmware(std::vector<std::uint8_t>(16), base);
        ASSERT_FALSE(chunks.ok()) << std::hex << base;
        EXPECT_NE(chunks.reason().find("0x" + word32ToHex(base)), std::string::npos) << chunks.reason();
        EXPECT_NE(chunks.reason().find("flash base 0x08000000"), std::string::npos) << chunks.reason();
    }
}

TEST(Marker, OnlyFirmwareOneHasOne) {
    const auto marker = firmwareMarker(1);
    ASSERT_TRUE(marker);
    EXPECT_EQ(marker->address, kFirmwareMarkerAddress);
    EXPECT_EQ(marker->data, hexBytes("00 00 00 00 00 00 00 01"));
    EXPECT_EQ(firmwareMarker(2), std::nullopt);
    EXPECT_EQ(firmwareMarker(0), std::nullopt);
}

TEST(Marker, FirmwareNumberFromTheName) {
    EXPECT_EQ(firmwareNumberFromName("Firmware_1"), 1);
    EXPECT_EQ(firmwareNumberFromName("qeltx_fw_3.hex"), 3);
    EXPECT_EQ(firmwareNumberFromName("pedal_12.bin"), 12);
    EXPECT_EQ(firmwareNumberFromName("firmware.hex"), 1);
    EXPECT_EQ(firmwareNumberFromName("firmware_.bin"), 1);
    EXPECT_EQ(firmwareNumberFromName("fw_x2.bin"), 1);
}

// ---- Intel HEX --------------------------------------------------------------------------

// One record with its checksum: ":" count address type data checksum.
std::string record(std::uint16_t address, std::uint8_t type, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (auto b : bytes) sum = static_cast<std::uint8_t>(sum + b);
    bytes.push_back(static_cast<std::uint8_t>(-sum));
    return ":" + toHex(bytes) + "\n";
}

std::string linear(std::uint16_t upper) { return record(0, 0x04, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)}); }
const std::string kEnd = ":00000001FF\n";

TEST(IntelHex, AKnownRecordParses) {
    // A classic record from the format's documentation, moved into flash with an 04 record.
    const std::string text = ":020000040800F2\r\n:10010000214601360121470136007EFE09D2190140\r\n" + kEnd;
    const auto image = parseIntelHex(text);
    ASSERT_TRUE(image.ok()) << image.reason();
    EXPECT_EQ(image->baseAddress, 0x08000100u);
    EXPECT_EQ(image->bytes, hexBytes("21 46 01 36 01 21 47 01 36 00 7E FE 09 D2 19 01"));
}

TEST(IntelHex, GapsAreFilledWithFFFromTheLowestAddress) {
    const std::string text = linear(0x0800) + record(0x0104, 0x00, {1, 2}) + record(0x0100, 0x00, {9}) +
                             record(0x0000, 0x05, {0x08, 0, 0x01, 0x01}) + kEnd;
    const auto image = parseIntelHex(text);
    ASSERT_TRUE(image.ok()) << image.reason();
    EXPECT_EQ(image->baseAddress, 0x08000100u);
    EXPECT_EQ(image->bytes, hexBytes("09 FF FF FF 01 02"));
}

TEST(IntelHex, TheLastByteBelowTheMarkerIsAllowed) {
    const auto image = parseIntelHex(linear(0x0801) + record(0xFBFF, 0x00, {0xAB}) + kEnd);
    ASSERT_TRUE(image.ok()) << image.reason();
    EXPECT_EQ(image->baseAddress, 0x0801FBFFu);
}

struct BadHexCase {
    std::string name;
    std::string text;
};

class IntelHexRefused : public ::testing::TestWithParam<BadHexCase> {};

TEST_P(IntelHexRefused, WithAReason) {
    const auto image = parseIntelHex(GetParam().text);
    ASSERT_FALSE(image.ok());
    EXPECT_NE(image.reason().find("firmware file refused"), std::string::npos) << image.reason();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IntelHexRefused,
    ::testing::Values(
        BadHexCase{"AtTheMarker", linear(0x0801) + record(0xFC00, 0x00, {1}) + kEnd},
        BadHexCase{"RunsIntoTheMarker", linear(0x0801) + record(0xFBFF, 0x00, {1, 2}) + kEnd},
        BadHexCase{"BelowTheFlash", record(0x0000, 0x00, {1}) + kEnd},
        BadHexCase{"SegmentAddressOutsideFlash", record(0, 0x02, {0x10, 0x00}) + record(0, 0x00, {1}) + kEnd},
        BadHexCase{"WrongChecksum", ":020000040800F3\n" + kEnd},
        BadHexCase{"CountMismatch", ":030000040800F1\n" + kEnd},
        BadHexCase{"NoColon", "020000040800F2\n" + kEnd},
        BadHexCase{"NotHex", ":0200000408G0F2\n" + kEnd},
        BadHexCase{"Overlap", linear(0x0800) + record(0, 0x00, {1, 2, 3}) + record(2, 0x00, {4}) + kEnd},
        BadHexCase{"NoEndOfFile", linear(0x0800) + record(0, 0x00, {1})},
        BadHexCase{"RecordAfterEnd", linear(0x0800) + record(0, 0x00, {1}) + kEnd + record(1, 0x00, {2})},
        BadHexCase{"NoData", linear(0x0800) + kEnd},
        BadHexCase{"UnknownType", linear(0x0800) + record(0, 0x07, {}) + kEnd},
        BadHexCase{"Empty", ""}),
    [](const auto& info) { return info.param.name; });

TEST(IntelHex, TheRefusalNamesTheLine) {
    const auto image = parseIntelHex(linear(0x0800) + record(0, 0x00, {1}) + ":00000001FE\n");
    ASSERT_FALSE(image.ok());
    EXPECT_NE(image.reason().find("line 3"), std::string::npos) << image.reason();
}

TEST(IntelHex, AParsedImageChunksAtItsOwnAddress) {
    std::vector<std::uint8_t> data(16, 0x55);
    std::string text = linear(0x0800);
    for (std::uint16_t a = 0; a < 0x200; a += 16) text += record(a, 0x00, data);
    const auto image = parseIntelHex(text + kEnd);
    ASSERT_TRUE(image.ok());
    const auto chunks = chunkFirmware(image->bytes, image->baseAddress);
    ASSERT_TRUE(chunks.ok());
    ASSERT_EQ(chunks->size(), 2u);
    EXPECT_EQ((*chunks)[1].address, 0x08000100u);
}

TEST(IntelHex, AFileWhoseLowestByteIsAboveTheFlashBaseIsNotFlashed) {
    const auto image = parseIntelHex(linear(0x0800) + record(0x4000, 0x00, {1, 2, 3}) + kEnd);
    ASSERT_TRUE(image.ok()) << image.reason();
    const auto chunks = chunkFirmware(image->bytes, image->baseAddress);
    ASSERT_FALSE(chunks.ok());
    EXPECT_NE(chunks.reason().find("starts at 0x08004000"), std::string::npos) << chunks.reason();
}

}  // namespace
