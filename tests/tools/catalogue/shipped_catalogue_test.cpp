// The catalogue built into the program: found by any letter case, shaped so that the browser,
// the panel, bank mode and the IR loader all meet every case, and readable by core's parsers.
#include "core/catalogue_lists.h"
#include "core/control_layout.h"
#include "core/effect_browser.h"
#include "core/effect_image.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "resources/resource_store.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace qeltx;
using namespace qeltx::core;

namespace {

std::vector<std::string> resourceLines(std::string_view name) {
    const auto text = resources::catalogueResource(name);
    EXPECT_TRUE(text) << name;
    return splitLines(text.value_or(""));
}

std::map<std::string, std::size_t> categoryOfEveryName() {
    std::map<std::string, std::size_t> where;
    for (std::size_t c = 0; c < categories.size(); ++c) {
        for (const auto& name : resourceLines(categories[c].resourceName)) where[name] = c;
    }
    return where;
}

}  // namespace

TEST(ShippedCatalogue, LookupIgnoresLetterCase) {
    const auto stored = resources::catalogueResource("CORVEL_PLUS_IR_LOADER");
    ASSERT_TRUE(stored);
    EXPECT_EQ(resources::catalogueResource("corvel_plus_ir_loader"), stored);
    EXPECT_EQ(resources::catalogueResource(format_resource_name("Corvel + IR Loader")), stored);
    EXPECT_EQ(resources::catalogueResource("Impulse_Response"), resources::catalogueResource("IMPULSE_RESPONSE"));
    EXPECT_TRUE(resources::catalogueResource(layoutResourceName("HeXa Fuzz")));
    EXPECT_TRUE(resources::catalogueResource("effect_list"));
    EXPECT_FALSE(resources::catalogueResource("empty"));
    EXPECT_FALSE(resources::catalogueResource("CORVEL_PLUS_IR_LOADE"));
    for (const auto& name : resources::catalogueResourceNames()) {
        std::string upper = name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(name, upper) << "stored names are upper case";
    }
}

TEST(ShippedCatalogue, ListsHaveTheirShape) {
    const auto list = resources::catalogueResource(kEffectListResource).value_or("");
    const auto lines = splitLines(list);
    ASSERT_EQ(lines.size(), 59u);
    EXPECT_EQ(lines[0], "0:empty");
    EXPECT_EQ(lines[10].substr(0, 2), "A:");
    EXPECT_EQ(lines[58].substr(0, 3), "3A:");
    EXPECT_EQ(splitLinesWithBreaks(list).size(), 59u);
    for (const auto& l : splitLinesWithBreaks(list)) EXPECT_EQ(l.lineBreak, LineBreak::CrLf) << l.text;

    const std::size_t expectedCounts[] = {13, 15, 8, 4, 2, 4, 7};
    for (std::size_t c = 0; c < categories.size(); ++c) {
        EXPECT_EQ(resourceLines(categories[c].resourceName).size(), expectedCounts[c]) << categories[c].displayName;
    }
    const auto where = categoryOfEveryName();
    EXPECT_EQ(where.size(), 53u);
    std::set<std::uint32_t> uncategorised;
    for (std::uint32_t n = 1; n < lines.size(); ++n) {
        if (!where.count(*effectNameByNumber(lines, n))) uncategorised.insert(n);
    }
    EXPECT_EQ(uncategorised, (std::set<std::uint32_t>{0x25, 0x2D, 0x2F, 0x35, 0x36}));

    const auto ir = resourceLines("impulse_response");
    for (const char* loader : {"Corvel + IR Loader", "Pexo + IR Loader", "Basic IR Loader"}) {
        EXPECT_NE(std::find(ir.begin(), ir.end(), loader), ir.end()) << loader;
    }
    EXPECT_FALSE(effectNumberByName(lines, "IR Loader 1"));

    // The naming rule's every pass is exercised by some name.
    bool space = false, hyphen = false, plus = false, wordX = false, innerX = false, lowerX = false;
    for (std::uint32_t n = 1; n < lines.size(); ++n) {
        const auto name = *effectNameByNumber(lines, n);
        space |= name.find(' ') != std::string::npos;
        hyphen |= name.find('-') != std::string::npos;
        plus |= name.find('+') != std::string::npos;
        wordX |= name.find(" X ") != std::string::npos;
        innerX |= name.find("eXa") != std::string::npos;
        lowerX |= name.find(" x ") != std::string::npos;
    }
    EXPECT_TRUE(space && hyphen && plus && wordX && innerX && lowerX);
}

TEST(ShippedCatalogue, SizesSpanTheRangeAndMeetTheBankLimitOnBothSides) {
    const auto lines = resourceLines(kEffectListResource);
    const auto where = categoryOfEveryName();
    std::size_t smallest = 1 << 20, largest = 0;
    int atLimit = 0, justOver = 0;
    std::set<std::size_t> oversizedCategories;
    CatalogueWorkingLists lists;
    const ResourceLookup lookup = resources::catalogueResource;
    for (std::uint32_t n = 1; n < lines.size(); ++n) {
        const auto name = *effectNameByNumber(lines, n);
        const auto size = get_effect_size(lists, name, lookup, nullptr, nullptr);
        smallest = std::min<std::size_t>(smallest, size);
        largest = std::max<std::size_t>(largest, size);
        atLimit += size == kBankModeSizeLimit;
        justOver += size == kBankModeSizeLimit + 1;
        if (exceedsBankModeLimit(size) && where.count(name)) oversizedCategories.insert(where.at(name));
    }
    EXPECT_EQ(smallest, 1216u);
    EXPECT_EQ(largest, 9472u);
    EXPECT_EQ(atLimit, 1);
    EXPECT_EQ(justOver, 1);
    EXPECT_GE(oversizedCategories.size(), 3u);
}

TEST(ShippedCatalogue, EveryAlgorithmReadsWithTheEditorsParsers) {
    const auto where = categoryOfEveryName();
    const ResourceLookup lookup = resources::catalogueResource;
    std::set<std::size_t> optionCounts, readbackCounts;
    bool sixteenWithFour = false, button = false, muteOnOff = false, colonInLabel = false, hexDigit = false;
    bool crlf = false, lf = false;
    std::vector<std::string> refused;
    for (std::uint32_t n = 1; n <= 0x3A; ++n) {
        const auto loaded = loadCatalogueEffect(n, lookup);
        ASSERT_TRUE(loaded.effect) << n << ": " << loaded.error;
        const auto& e = *loaded.effect;
        EXPECT_EQ(e.header.effectNumber, n);
        EXPECT_EQ(e.header.destination, 0x00);
        EXPECT_EQ(e.header.length, e.image.size());
        const auto records = parseLoadRecords(e.image);
        EXPECT_TRUE(records.error.empty()) << e.name << ": " << records.error;

        for (const auto& l : splitLinesWithBreaks(e.layoutText)) {
            crlf |= l.lineBreak == LineBreak::CrLf;
            lf |= l.lineBreak == LineBreak::Lf;
        }
        const auto layout = parseControlLayoutText(e.name, e.layoutText);
        if (!layout.layout) {
            refused.push_back(e.name);
            EXPECT_FALSE(where.count(e.name)) << "a category offers a malformed layout: " << layout.error;
            EXPECT_NE(layout.error.find("declares 24 controls"), std::string::npos) << layout.error;
            continue;
        }
        const auto& l = *layout.layout;
        EXPECT_EQ(e.header.controlCount, l.counts.controls()) << e.name;
        // The header's addresses of real controls point into the 0x0000 write.
        const auto& first = records.records.front();
        ASSERT_EQ(first.targetAddress, load_record::kParameterArea);
        for (int i = 0; i < l.counts.controls(); ++i) {
            EXPECT_LT(e.header.addresses[static_cast<std::size_t>(i)] * 4u, first.dataLength) << e.name << " " << i;
        }
        for (const auto& m : l.multiSwitchRows) optionCounts.insert(m.options.size());
        readbackCounts.insert(static_cast<std::size_t>(l.counts.readbacks));
        sixteenWithFour |= l.counts.controls() == 16 && l.counts.readbacks == 4;
        hexDigit |= l.counts.pots >= 10;
        for (const auto& row : l.twoStateRows) {
            button |= row.isButton;
            muteOnOff |= row.offLabel == "ON" && row.onLabel == "OFF";
            colonInLabel |= row.onLabel.find(':') != std::string::npos;
        }
    }
    EXPECT_EQ(refused, std::vector<std::string>{"Prototype Matrix"});
    for (std::size_t k : {2, 3, 4, 5, 8, 12, 16}) EXPECT_TRUE(optionCounts.count(k)) << k << " options";
    EXPECT_FALSE(optionCounts.count(0));
    for (std::size_t r : {0, 1, 2, 3, 4}) EXPECT_TRUE(readbackCounts.count(r)) << r << " read-backs";
    EXPECT_TRUE(sixteenWithFour && button && muteOnOff && colonInLabel && hexDigit && crlf && lf);
}

TEST(ShippedCatalogue, IrLoaderTapBlocksLieInsideTheParameterWrite) {
    struct Loader {
        const char* name;
        std::size_t start, taps;
    };
    const Loader loaders[] = {{"Corvel + IR Loader", 362, 703}, {"Pexo + IR Loader", 370, 703}, {"Basic IR Loader", 230, 912}};
    const auto list = resourceLines(kEffectListResource);
    for (const auto& loader : loaders) {
        const auto number = effectNumberByName(list, loader.name);
        ASSERT_TRUE(number) << loader.name;
        const auto e = loadCatalogueEffect(*number, resources::catalogueResource).effect;
        ASSERT_TRUE(e);
        const auto first = parseLoadRecords(e->image).records.front();
        EXPECT_EQ(first.targetAddress, 0x0000);
        EXPECT_EQ((loader.start - first.dataOffset) % 4, 0u) << loader.name;
        EXPECT_LE(loader.start + 4 * loader.taps, first.dataOffset + first.dataLength) << loader.name;
        // No control's parameter word lies in the block the loader overwrites.
        for (std::size_t i = 0; i < e->header.controlCount; ++i) {
            const std::size_t byte = first.dataOffset + 4u * e->header.addresses[i];
            EXPECT_TRUE(byte + 4 <= loader.start || byte >= loader.start + 4 * loader.taps) << loader.name << " " << i;
        }
    }
}
