// The pedal's own messages: texts, control frames across reads, the EEPROM dump.
#include "core/hex.h"
#include "hex_bytes.h"
#include "core/pedal_messages.h"

#include <gtest/gtest.h>

using namespace qeltx::core;

namespace {

using test_support::hexBytes;

std::vector<std::uint8_t> textBytes(std::string_view text) { return {text.begin(), text.end()}; }

// A copy: the messages are often a temporary.
template <class T>
T only(const std::vector<PedalMessage>& messages) {
    EXPECT_EQ(messages.size(), 1u);
    return std::get<T>(messages.at(0));
}

// ---- Texts ------------------------------------------------------------------------------

enum class Kind { Bank, Algorithm, Upload, Unconvertible, Ignored, Nothing };

struct TextCase {
    std::string name;
    std::string text;
    Kind kind;
    std::uint32_t number = 0;
};

class PedalText : public ::testing::TestWithParam<TextCase> {};

TEST_P(PedalText, IsRecognised) {
    const auto& c = GetParam();
    PedalMessageReader reader;
    const auto messages = reader.feed(textBytes(c.text));
    EXPECT_EQ(reader.heldBytes(), 0u);
    switch (c.kind) {
        case Kind::Bank: EXPECT_EQ(only<BankReport>(messages).bankIndex, c.number); break;
        case Kind::Algorithm: EXPECT_EQ(only<AlgorithmReport>(messages).effectNumber, c.number); break;
        case Kind::Upload: only<UploadComplete>(messages); break;
        case Kind::Unconvertible: EXPECT_FALSE(only<UnconvertibleReport>(messages).consoleLine.empty()); break;
        case Kind::Ignored: only<IgnoredBytes>(messages); break;
        case Kind::Nothing: EXPECT_TRUE(messages.empty()); break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PedalText,
    ::testing::Values(TextCase{"Bank2", "02", Kind::Bank, 2},
                      TextCase{"Bank5ChangesNothingButIsAReport", "05", Kind::Bank, 5},
                      TextCase{"LoneZeroDoesNotConvert", "0", Kind::Unconvertible},
                      TextCase{"BankWithLineEnd", "01\r\n", Kind::Bank, 1},
                      TextCase{"Algorithm12B", "12B", Kind::Algorithm, 43},
                      TextCase{"AlgorithmLowerCase", "12b", Kind::Algorithm, 43},
                      TextCase{"LoneOneDoesNotConvert", "1", Kind::Unconvertible},
                      TextCase{"AlgorithmBeyond16Bits", "110000", Kind::Unconvertible},
                      TextCase{"AlgorithmNotHex", "12G", Kind::Unconvertible},
                      TextCase{"TwoReportsInOneReadAreNotSplit", "0212B", Kind::Unconvertible},
                      TextCase{"UploadComplete", "Upload complete", Kind::Upload},
                      TextCase{"UploadCompleteCrLf", "Upload complete\r\n", Kind::Upload},
                      TextCase{"UploadCompleteLf", "Upload complete\n", Kind::Upload},
                      TextCase{"UploadCompleteThenMore", "Upload completeX", Kind::Ignored},
                      TextCase{"OtherText", "hello", Kind::Ignored},
                      TextCase{"LineEndsOnly", "\r\n", Kind::Nothing}),
    [](const auto& info) { return info.param.name; });

TEST(PedalTextLog, AnUnconvertibleReportSaysWhat) {
    const auto message = parsePedalText("0x");
    ASSERT_TRUE(message);
    const auto& report = std::get<UnconvertibleReport>(*message);
    EXPECT_EQ(report.text, "0x");
    EXPECT_NE(report.consoleLine.find("bank report"), std::string::npos) << report.consoleLine;
}

// ---- Control frames ---------------------------------------------------------------------

TEST(ControlFrames, OneFrame) {
    PedalMessageReader reader;
    const auto frame = only<ControlFrame>(reader.feed(hexBytes("AA 00 02 03 FF")));
    EXPECT_EQ(frame.code, 0);
    EXPECT_EQ(frame.index, 2);
    EXPECT_EQ(frame.value, 1023);
}

TEST(ControlFrames, TwoFramesInOneReadAreBothReturnedInOrder) {
    PedalMessageReader reader;
    const auto messages = reader.feed(hexBytes("AA 00 02 03 FF  AA 05 04 00 01"));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(std::get<ControlFrame>(messages[0]).index, 2);
    EXPECT_EQ(std::get<ControlFrame>(messages[1]).code, 5);
    EXPECT_EQ(std::get<ControlFrame>(messages[1]).index, 4);
    EXPECT_EQ(std::get<ControlFrame>(messages[1]).value, 1);
    EXPECT_EQ(reader.heldBytes(), 0u);
}

TEST(ControlFrames, AnIncompleteFrameIsCompletedByTheNextRead) {
    PedalMessageReader reader;
    const auto first = reader.feed(hexBytes("AA 00 02 03 FF  AA 0B"));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(reader.heldBytes(), 2u);
    EXPECT_FALSE(reader.collectingDump());
    const auto frame = only<ControlFrame>(reader.feed(hexBytes("07 02 00")));
    EXPECT_EQ(frame.code, 0x0B);
    EXPECT_EQ(frame.index, 7);
    EXPECT_EQ(frame.value, 0x0200);
    EXPECT_EQ(reader.heldBytes(), 0u);
}

// A frame cut 1, 2, 3 or 4 bytes short at the end of a read is held, whatever came before it
// in that read, and completed by the next read whatever follows its rest there.
class CutControlFrame : public ::testing::TestWithParam<std::tuple<std::size_t, int>> {};

TEST_P(CutControlFrame, IsHeldUntilTheRestComes) {
    const auto [missing, variant] = GetParam();
    // Before the frame / after its rest: nothing, a whole frame, a report text, the start of
    // another frame, or the start of an EEPROM dump.
    const std::vector<std::pair<std::string, std::string>> surroundings = {
        {"", ""}, {"AA 00 01 00 10", "AA 05 04 00 01"}, {"", "30 32"}, {"AA 00 01 00 10", "AA 0B"}, {"", "AB FF FF"}};
    const auto& [before, after] = surroundings.at(static_cast<std::size_t>(variant));
    const auto frame = hexBytes("AA 0B 07 02 9C");
    const std::size_t sent = kControlFrameSize - missing;

    PedalMessageReader reader;
    auto firstRead = hexBytes(before);
    firstRead.insert(firstRead.end(), frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(sent));
    const auto first = reader.feed(firstRead);
    EXPECT_EQ(first.size(), before.empty() ? 0u : 1u) << "cut " << missing;
    for (const auto& message : first) EXPECT_EQ(std::get<ControlFrame>(message).index, 1) << "cut " << missing;
    EXPECT_EQ(reader.heldBytes(), sent);
    EXPECT_FALSE(reader.collectingDump());

    auto secondRead = std::vector<std::uint8_t>(frame.begin() + static_cast<std::ptrdiff_t>(sent), frame.end());
    const auto follow = hexBytes(after);
    secondRead.insert(secondRead.end(), follow.begin(), follow.end());
    const auto second = reader.feed(secondRead);
    ASSERT_FALSE(second.empty()) << "cut " << missing;
    const auto completed = std::get<ControlFrame>(second.front());
    EXPECT_EQ(completed.code, 0x0B);
    EXPECT_EQ(completed.index, 7);
    EXPECT_EQ(completed.value, 0x029C);
    switch (variant) {
        case 0: EXPECT_EQ(second.size(), 1u); EXPECT_EQ(reader.heldBytes(), 0u); break;
        case 1:
            ASSERT_EQ(second.size(), 2u);
            EXPECT_EQ(std::get<ControlFrame>(second[1]).code, 5);
            EXPECT_EQ(reader.heldBytes(), 0u);
            break;
        case 2: ASSERT_EQ(second.size(), 2u); EXPECT_EQ(std::get<BankReport>(second[1]).bankIndex, 2u); break;
        case 3: EXPECT_EQ(second.size(), 1u); EXPECT_EQ(reader.heldBytes(), 2u); break;
        case 4: EXPECT_EQ(second.size(), 1u); EXPECT_TRUE(reader.collectingDump()); break;
        default: FAIL();
    }
}

std::string cutFrameName(const ::testing::TestParamInfo<std::tuple<std::size_t, int>>& info) {
    static const char* const names[] = {"Alone", "BetweenFrames", "ThenText", "ThenAnotherCutFrame", "ThenADump"};
    return std::to_string(std::get<0>(info.param)) + "Short" + names[std::get<1>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(OneToFourBytesShort, CutControlFrame,
                         ::testing::Combine(::testing::Values(std::size_t{1}, std::size_t{2}, std::size_t{3},
                                                              std::size_t{4}),
                                            ::testing::Range(0, 5)),
                         cutFrameName);

TEST(ControlFrames, AnIncompleteFrameCanBeDiscarded) {
    PedalMessageReader reader;
    EXPECT_TRUE(reader.feed(hexBytes("AA 00")).empty());
    EXPECT_EQ(reader.discardHeld(), "incomplete control frame discarded: AA00");
    EXPECT_EQ(reader.discardHeld(), "");
    EXPECT_EQ(only<BankReport>(reader.feed(textBytes("01"))).bankIndex, 1u);
}

TEST(ControlFrames, TextAfterFramesIsItsOwnMessage) {
    PedalMessageReader reader;
    auto read = hexBytes("AA 05 01 00 00");
    const auto text = textBytes("Upload complete\r\n");
    read.insert(read.end(), text.begin(), text.end());
    const auto messages = reader.feed(read);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<ControlFrame>(messages[0]));
    EXPECT_TRUE(std::holds_alternative<UploadComplete>(messages[1]));
}

TEST(ControlFrames, HandlingByCode) {
    struct Row {
        std::uint8_t code;
        ControlHandling handling;
    };
    for (const Row& r : {Row{0, ControlHandling::Continuous}, Row{4, ControlHandling::Continuous},
                         Row{5, ControlHandling::OnOff}, Row{8, ControlHandling::OnOff}, Row{10, ControlHandling::OnOff},
                         Row{11, ControlHandling::Continuous}, Row{12, ControlHandling::None},
                         Row{255, ControlHandling::None}}) {
        EXPECT_EQ(controlHandling(r.code), r.handling) << int{r.code};
    }
    EXPECT_TRUE(onOffFromReport(1));
    EXPECT_FALSE(onOffFromReport(0));
}

TEST(ControlFrames, MultiSwitchOptionFromAReportedValue) {
    EXPECT_EQ(multiSwitchOptionFromReport(0x0200, 3), 1);  // step 341
    EXPECT_EQ(multiSwitchOptionFromReport(0x03FF, 3), 2);  // 3, reduced to 2
    EXPECT_EQ(multiSwitchOptionFromReport(0, 3), 0);
    EXPECT_EQ(multiSwitchOptionFromReport(0x0400, 4), 3);
    EXPECT_EQ(multiSwitchOptionFromReport(0xFFFF, 4), std::nullopt);
    EXPECT_EQ(multiSwitchOptionFromReport(100, 0), std::nullopt);
}

// ---- EEPROM dump ------------------------------------------------------------------------

std::vector<std::uint8_t> dumpFrame(std::uint8_t fill) {
    std::vector<std::uint8_t> frame(kEepromDumpFrameSize, fill);
    frame[0] = kEepromDumpStart;
    return frame;
}

TEST(EepromDump, AllFFInOneReadIsMemoryErased) {
    PedalMessageReader reader;
    const auto dump = only<EepromDump>(reader.feed(dumpFrame(0xFF)));
    ASSERT_EQ(dump.contents.size(), kEepromSize);
    EXPECT_TRUE(isMemoryErased(dump));
    const auto lines = eepromDumpLogLines(dump);
    ASSERT_EQ(lines.size(), 16384u);
    EXPECT_EQ(lines.front(), "0: FF");
    EXPECT_EQ(lines.back(), "16383: FF");
}

TEST(EepromDump, OneOtherByteSuppressesMemoryErased) {
    auto frame = dumpFrame(0xFF);
    frame[1 + 9000] = 0x12;
    PedalMessageReader reader;
    const auto dump = only<EepromDump>(reader.feed(frame));
    EXPECT_FALSE(isMemoryErased(dump));
    EXPECT_EQ(eepromDumpLogLines(dump)[9000], "9000: 12");
}

TEST(EepromDump, IsCollectedAcrossPolls) {
    const auto frame = dumpFrame(0xFF);
    const std::span<const std::uint8_t> all(frame);
    PedalMessageReader reader;
    EXPECT_TRUE(reader.feed(all.first(4096)).empty());
    EXPECT_TRUE(reader.collectingDump());
    EXPECT_TRUE(reader.feed(all.subspan(4096, 8000)).empty());
    EXPECT_EQ(reader.heldBytes(), 12096u);
    // The rest of the dump and a bank report behind it in the same read.
    std::vector<std::uint8_t> last(all.begin() + 12096, all.end());
    last.push_back('0');
    last.push_back('1');
    const auto messages = reader.feed(last);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(isMemoryErased(std::get<EepromDump>(messages[0])));
    EXPECT_EQ(std::get<BankReport>(messages[1]).bankIndex, 1u);
    EXPECT_FALSE(reader.collectingDump());
}

TEST(EepromDump, AnIncompleteDumpIsNeverReportedAndCanBeDiscarded) {
    const auto frame = dumpFrame(0xFF);
    PedalMessageReader reader;
    EXPECT_TRUE(reader.feed(std::span(frame).first(100)).empty());
    EXPECT_EQ(reader.discardHeld(), "EEPROM dump incomplete: 100 of 16385 bytes received, discarded");
    EXPECT_FALSE(reader.collectingDump());
    EXPECT_EQ(reader.heldBytes(), 0u);
}

// The answer to an EEPROM read: a dump at once, perhaps after control frames; anything else
// before a 0xAB means the answer is no dump, however many bytes follow (a pedal sending noise).
TEST(EepromAnswer, WhereTheDumpBeginsAndWhetherThereIsOne) {
    using Kind = EepromAnswer::Kind;
    std::vector<std::uint8_t> noise(16385, 0x37);
    noise[214] = kEepromDumpStart;
    std::vector<std::uint8_t> afterFrame = hexBytes("AA0001FFFF");
    const auto dump = dumpFrame(0x12);
    afterFrame.insert(afterFrame.end(), dump.begin(), dump.end());
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        Kind kind;
        std::size_t start;
        std::size_t received;
        bool complete;
    };
    const Case cases[] = {
        {"nothing yet", {}, Kind::Waiting, 0, 0, false},
        {"a frame's first bytes", hexBytes("AA00"), Kind::Waiting, 0, 0, false},
        {"a whole frame", hexBytes("AA000103FF"), Kind::Waiting, 0, 0, false},
        {"a dump begun", hexBytes("AB0000"), Kind::Dump, 0, 3, false},
        {"a whole dump", dump, Kind::Dump, 0, kEepromDumpFrameSize, true},
        {"a frame, then a whole dump", afterFrame, Kind::Dump, 5, kEepromDumpFrameSize, true},
        {"text first", textBytes("0\xAB"), Kind::NoDump, 0, 0, false},
        {"noise with a 0xAB 214 bytes in", noise, Kind::NoDump, 0, 0, false},
    };
    for (const Case& c : cases) {
        const EepromAnswer answer = readEepromAnswer(c.bytes);
        EXPECT_EQ(answer.kind, c.kind) << c.name;
        EXPECT_EQ(answer.dumpStart, c.start) << c.name;
        EXPECT_EQ(answer.dumpReceived, c.received) << c.name;
        EXPECT_EQ(answer.complete(), c.complete) << c.name;
    }
}

}  // namespace
