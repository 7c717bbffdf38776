// The catalogue's text formats: naming rule, line splitting, algorithm list, size measure,
// image header and load records, and resource loading with its failures.
#include "core/catalogue_lists.h"
#include "core/catalogue_resources.h"
#include "core/effect_browser.h"
#include "core/effect_image.h"
#include "core/errors.h"
#include "core/hex.h"
#include "core/resource_names.h"
#include "core/text_lines.h"

#include <gtest/gtest.h>

#include <map>

using namespace qeltx::core;

namespace {

// A resource store over a map, matching names without regard to case as the real one does,
// and counting lookups.
struct MapStore {
    std::map<std::string, std::string> files;  // stored (upper-case) name -> text
    int lookups = 0;
    ResourceLookup lookup() {
        return [this](std::string_view name) -> std::optional<std::string> {
            ++lookups;
            std::string key(name);
            for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            const auto it = files.find(key);
            if (it == files.end()) return std::nullopt;
            return it->second;
        };
    }
};

std::string imageText(std::size_t bytes) { return std::string(2 * bytes, '0'); }

}  // namespace

TEST(NamingRule, FourPassesInOrderMatchingCaseExactly) {
    const std::pair<const char*, const char*> cases[] = {
        {"Warm Echo", "Warm_Echo"},
        {"Tape-Delay + Chorus", "Tape_Delay_plus_Chorus"},
        {"Fuzz X Octave", "Fuzz_mult_Octave"},
        {"Fuzz x Octave", "Fuzz_x_Octave"},
        {"MaXi", "Mamulti"},
        {"A+B", "AplusB"},
        {"Stage -2", "Stage__2"},
        {"Impulse Response", "Impulse_Response"},
        {"XX+X", "multmultplusmult"},
        {"", ""},
    };
    for (const auto& [display, base] : cases) EXPECT_EQ(format_resource_name(display), base) << display;
    EXPECT_EQ(layoutResourceName("Warm Echo"), "Warm_Echo_ctrls");
}

TEST(NamingRule, CategoryTableKeepsTheBrowserOrder) {
    ASSERT_EQ(categories.size(), categoryCount);
    EXPECT_EQ(categories[0].displayName, "Gain");
    EXPECT_EQ(categories[kImpulseResponseCategory].resourceName, "impulse_response");
    EXPECT_EQ(categories[6].displayName, "Other");
    EXPECT_EQ(categoryIndex("Filter"), 3u);
    EXPECT_EQ(categoryIndex("filter"), std::nullopt);
    // The naming rule applied to a category's display name finds the same list.
    for (const auto& c : categories) {
        std::string base = format_resource_name(c.displayName);
        for (char& ch : base) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(base, c.resourceName);
    }
}

TEST(LineSplitting, EveryLineEndAndNoEmptyLastLine) {
    using Lines = std::vector<std::string>;
    const std::pair<const char*, Lines> cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"", {}},
        {"\r\n", {""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\r\nb", {"a", "", "b"}},  // LF, then CR LF: two breaks
        {"a\r\r\n", {"a", ""}},        // CR alone, then CR LF
    };
    for (const auto& [text, lines] : cases) EXPECT_EQ(splitLines(text), lines) << testing::PrintToString(text);

    const auto withBreaks = splitLinesWithBreaks("a\r\nb\nc\rd");
    ASSERT_EQ(withBreaks.size(), 4u);
    EXPECT_EQ(withBreaks[0].lineBreak, LineBreak::CrLf);
    EXPECT_EQ(withBreaks[1].lineBreak, LineBreak::Lf);
    EXPECT_EQ(withBreaks[2].lineBreak, LineBreak::Cr);
    EXPECT_EQ(withBreaks[3].lineBreak, LineBreak::None);
}

TEST(EffectList, NameAfterTheFirstColonFoundByLinePosition) {
    const std::vector<std::string> list{"0:empty", "1:Warm Echo", "2:Ratio: 2", "no colon here"};
    EXPECT_EQ(effectNameByNumber(list, 0), "empty");
    EXPECT_EQ(effectNameByNumber(list, 2), "Ratio: 2");
    EXPECT_EQ(effectNameByNumber(list, 3), "no colon here");
    EXPECT_EQ(effectNameByNumber(list, 4), std::nullopt);
    EXPECT_EQ(effectNumberByName(list, "Warm Echo"), 1u);
    EXPECT_EQ(effectNumberByName(list, "warm echo"), std::nullopt);

    EXPECT_EQ(effectListNumber(parseEffectListLine("3A:Last")), 0x3Au);
    EXPECT_EQ(effectListNumber(parseEffectListLine("A:Ten")), 10u);
    EXPECT_THROW(effectListNumber(parseEffectListLine("no colon")), ConversionError);
    EXPECT_THROW(effectListNumber(parseEffectListLine("1G:Bad")), ConversionError);
    EXPECT_FALSE(parseEffectListLine("no colon").hasColon);
}

TEST(CatalogueIndex, NumberNameFirstOfferingCategoryAndDeclaredCounts) {
    MapStore store;
    store.files = {{"EFFECT_LIST", "0:empty\r\n1:Warm Echo\r\n2:Glass-Boost\r\n3:Hidden\r\n4:Bad Counts"},
                   {"GAIN", "Glass-Boost\r\n"},
                   {"OTHER", "Warm Echo\nGlass-Boost\nBad Counts\n"},
                   {"WARM_ECHO_CTRLS", "4001\r\nTime\r\nFeedback\r\nMix\r\nTone\r\nLFO"},
                   {"GLASS_BOOST_CTRLS", "7522\nthe lines are not counted\n"},
                   {"BAD_COUNTS_CTRLS", "3G0\n"}};
    const auto index = catalogueIndex(store.lookup());
    ASSERT_EQ(index.size(), 4u);
    EXPECT_EQ(index[0].number, 1u);
    EXPECT_EQ(index[0].name, "Warm Echo");
    EXPECT_EQ(index[0].category, "Other");
    ASSERT_TRUE(index[0].counts);
    EXPECT_EQ(index[0].counts->pots, 4);
    EXPECT_EQ(index[0].counts->readbacks, 1);
    // Offered by two lists: the first in the browser's order names it.
    EXPECT_EQ(index[1].category, "Gain");
    ASSERT_TRUE(index[1].counts);
    EXPECT_EQ(index[1].counts->controls(), 14);
    EXPECT_EQ(index[1].counts->multiSwitches, 2);
    // In no list and without a layout; a counts line that is not hex gives no counts.
    EXPECT_EQ(index[2].category, std::nullopt);
    EXPECT_EQ(index[2].counts, std::nullopt);
    EXPECT_EQ(index[3].counts, std::nullopt);
    EXPECT_TRUE(catalogueIndex(MapStore{}.lookup()).empty());
}

TEST(SizeMeasure, TextLengthDivTwoAsSixteenBits) {
    EXPECT_EQ(imageSizeOfText(std::string(5440, '0')), 2720);
    EXPECT_EQ(imageSizeOfText(std::string(10880, '0')), 5440);
    EXPECT_EQ(imageSizeOfText(std::string(10881, '0')), 5440);
    EXPECT_EQ(imageSizeOfText(std::string(10882, '0')), 5441);
    EXPECT_EQ(imageSizeOfText(std::string(2 * 65537, '0')), 1);  // wraps like the 16-bit field
    EXPECT_FALSE(exceedsBankModeLimit(5440));
    EXPECT_TRUE(exceedsBankModeLimit(5441));
}

TEST(SizeMeasure, GetEffectSizeUsesTheProbeListAndTheTextNotTheLengthField) {
    MapStore store;
    // Length field 0x0100 (256) disagrees with the 5441 bytes of text.
    store.files["BIG_FUZZ_PLUS_ECHO"] = "000100" + imageText(5441).substr(6) + "\r\n";
    CatalogueWorkingLists lists;
    lists.resourceLines = {"Big Fuzz + Echo", "Other"};
    std::vector<std::string> log;
    const auto size = get_effect_size(lists, "Big Fuzz + Echo", store.lookup(),
                                      [&](const std::string& l) { log.push_back(l); }, nullptr);
    EXPECT_EQ(size, 5441);
    EXPECT_EQ(log, std::vector<std::string>{"resource name: Big_Fuzz_plus_Echo"});
    EXPECT_EQ(lists.resourceLines, (std::vector<std::string>{"Big Fuzz + Echo", "Other"}));
    EXPECT_EQ(lists.sizeProbeLines.size(), 1u);

    EXPECT_THROW(get_effect_size(lists, "Not There", store.lookup(), nullptr, nullptr), ConversionError);
    EXPECT_EQ(lists.sizeProbeLines.size(), 1u);  // kept on a missing resource
}

TEST(ResourceLoading, MissingThrowsUnreadableShowsTheMessageAndKeepsWhatWasRead) {
    MapStore store;
    store.files["GAIN"] = "One\r\nTwo\r\n";
    store.files["BROKEN"] = std::string("One\r\nTwo\r\nTh\xE9ree\r\nFour\r\n");
    CatalogueWorkingLists lists;
    std::vector<std::string> boxes;
    const MessageSink box = [&](const std::string& m) { boxes.push_back(m); };

    read_file_from_stream(lists, "gain", store.lookup(), box);
    EXPECT_EQ(lists.resourceLines, (std::vector<std::string>{"One", "Two"}));
    EXPECT_TRUE(lists.sizeProbeLines.empty());

    try {
        read_file_from_stream(lists, "modulation", store.lookup(), box);
        FAIL() << "a missing resource must throw";
    } catch (const ConversionError& e) {
        EXPECT_NE(std::string(e.what()).find("modulation"), std::string::npos);
    }
    EXPECT_EQ(lists.resourceLines, (std::vector<std::string>{"One", "Two"}));
    EXPECT_TRUE(boxes.empty());

    readIntoSizeProbe(lists, "broken", store.lookup(), box);
    EXPECT_EQ(lists.sizeProbeLines, (std::vector<std::string>{"One", "Two"}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Error loading resource: broken", 0), 0u) << boxes[0];
    EXPECT_NE(boxes[0].find("line 3"), std::string::npos) << boxes[0];
    EXPECT_EQ(lists.resourceLines, (std::vector<std::string>{"One", "Two"}));
}

namespace {

// An image with header fields set and the given records after byte 128.
std::vector<std::uint8_t> image(std::vector<std::uint8_t> records, std::uint8_t number = 0x2B, std::uint8_t count = 3) {
    // Sized once and copied into (GCC 12 misreads an insert after a 128-byte vector at -O2).
    std::vector<std::uint8_t> b(128 + records.size(), 0);
    b[3] = 0x00, b[4] = 0x01, b[5] = 0x00, b[6] = 0x02, b[7] = 0x00, b[8] = 0x03;
    b[126] = number;
    b[127] = count;
    std::copy(records.begin(), records.end(), b.begin() + 128);
    b[1] = static_cast<std::uint8_t>(b.size() >> 8);
    b[2] = static_cast<std::uint8_t>(b.size() & 0xFF);
    return b;
}

}  // namespace

TEST(ImageHeader, FieldsFromBytesAndFromText) {
    const auto bytes = image({0x06, 0x00, 0x00});
    const auto header = parseImageHeader(bytes);
    ASSERT_TRUE(header.header) << header.error;
    EXPECT_EQ(header.header->destination, 0x00);
    EXPECT_EQ(header.header->length, 131);
    EXPECT_EQ(header.header->addresses[0], 1);
    EXPECT_EQ(header.header->addresses[2], 3);
    EXPECT_EQ(header.header->addresses[3], 0);
    EXPECT_EQ(header.header->effectNumber, 0x2B);
    EXPECT_EQ(header.header->controlCount, 3);

    const auto fromText = parseImageHeaderText(toHex(bytes));
    ASSERT_TRUE(fromText.header);
    EXPECT_EQ(fromText.header->addresses, header.header->addresses);

    EXPECT_FALSE(parseImageHeader(std::vector<std::uint8_t>(127, 0)).header);
    EXPECT_FALSE(parseImageHeaderText(toHex(bytes).substr(0, 255)).header);
    EXPECT_FALSE(parseImageHeaderText("ZZ" + toHex(bytes).substr(2)).header);
}

TEST(ImageHeader, AddressFieldsAreTakenVerbatimAndShortTextsGiveShortFields) {
    const auto fields = parameterAddressFields(toHex(image({0x06})));
    EXPECT_EQ(fields[0], "0001");
    EXPECT_EQ(fields[2], "0003");
    EXPECT_EQ(fields[15], "0000");

    const auto shortFields = parameterAddressFields("000640000100020");
    EXPECT_EQ(shortFields[0], "0001");
    EXPECT_EQ(shortFields[1], "0002");
    EXPECT_EQ(shortFields[2], "0");
    EXPECT_EQ(shortFields[3], "");
    EXPECT_EQ(shortFields[15], "");
}

TEST(LoadRecords, WritesFillersEndAndPadding) {
    const auto bytes = image({0x01, 0x00, 0x0B, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5, 6, 7, 8,  // 0x0000: two words
                              0x03,                                                  // filler
                              0x01, 0x00, 0x04, 0x00, 0x08, 0x1C, 0xAA,              // one byte at 0x081C
                              0x06, 0x00, 0x00});
    const auto parsed = parseLoadRecords(bytes);
    ASSERT_TRUE(parsed.error.empty()) << parsed.error;
    ASSERT_EQ(parsed.records.size(), 4u);
    EXPECT_EQ(parsed.records[0].type, load_record::kWrite);
    EXPECT_EQ(parsed.records[0].targetAddress, 0x0000);
    EXPECT_EQ(parsed.records[0].dataOffset, 134u);
    EXPECT_EQ(parsed.records[0].dataLength, 8u);
    EXPECT_EQ(parsed.records[1].type, load_record::kFiller);
    EXPECT_EQ(parsed.records[1].offset, 142u);
    EXPECT_EQ(parsed.records[2].targetAddress, 0x081C);
    EXPECT_EQ(parsed.records[2].dataLength, 1u);
    EXPECT_EQ(parsed.records[3].type, load_record::kEnd);
}

TEST(LoadRecords, RefusedAtTheFirstFault) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> records;
        std::size_t offset;
    };
    const Case cases[] = {
        {"unknown type", {0x03, 0x09, 0x06}, 129},
        {"write past the end", {0x01, 0x00, 0x20, 0x00, 0x00, 0x00, 0x06}, 128},
        {"length shorter than the address", {0x01, 0x00, 0x02, 0x00, 0x00, 0x06}, 128},
        {"no end record", {0x03, 0x03}, 130},
        {"non-zero padding", {0x06, 0x00, 0x01}, 130},
    };
    for (const auto& c : cases) {
        const auto parsed = parseLoadRecords(image(c.records));
        EXPECT_FALSE(parsed.error.empty()) << c.what;
        EXPECT_EQ(parsed.errorOffset, c.offset) << c.what << ": " << parsed.error;
    }
}
