// The browser's decisions: bank-mode greying at the size limit, selecting a row, the arrow
// keys, and finding the pedal's stored algorithm in the categories.
#include "core/effect_browser.h"
#include "core/errors.h"

#include <gtest/gtest.h>

#include <map>

using namespace qeltx::core;

namespace {

struct Catalogue {
    std::map<std::string, std::string> files{
        {"GAIN", "Small Fuzz\r\nAt Limit\r\nOver Limit\r\n"},
        {"MODULATION", "Chorus\r\n"},
        {"SYNTHESIS", "Square X Saw\r\nOver Limit Too"},  // last line without CR LF
        {"FILTER", ""},
        {"DYNAMIC", ""},
        {"IMPULSE_RESPONSE", ""},
        {"OTHER", "Echo\r\n"},
        {"SMALL_FUZZ", std::string(2 * 1216, '0')},
        {"AT_LIMIT", std::string(2 * 5440, '0') + "\r\n"},
        {"OVER_LIMIT", std::string(2 * 5441, '0')},
        {"OVER_LIMIT_TOO", std::string(2 * 9472, '0')},
        {"SQUARE_MULT_SAW", std::string(2 * 2000, '0')},
    };
    int lookups = 0;
    ResourceLookup lookup() {
        return [this](std::string_view name) -> std::optional<std::string> {
            ++lookups;
            std::string key(name);
            for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            const auto it = files.find(key);
            return it == files.end() ? std::nullopt : std::optional(it->second);
        };
    }
};

}  // namespace

TEST(EffectBrowser, BankModeGreysExactlyTheRowsOverTheLimit) {
    Catalogue cat;
    CatalogueWorkingLists lists;
    std::vector<std::string> log;
    const LogSink sink = [&](const std::string& l) { log.push_back(l); };

    read_file_from_stream(lists, "gain", cat.lookup(), nullptr);
    const auto rows = effectRows(lists.resourceLines, kFxBankMode, lists, cat.lookup(), sink, nullptr);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0].enabled);
    EXPECT_TRUE(rows[1].enabled);  // exactly 5440 is allowed
    EXPECT_FALSE(rows[2].enabled);
    EXPECT_EQ(rows[2].name, "Over Limit");
    EXPECT_EQ(log.back(), "size of Over Limit exceed 5440 bytes");
    EXPECT_EQ(std::count(log.begin(), log.end(), "size of Over Limit exceed 5440 bytes"), 1);
    EXPECT_EQ(lists.resourceLines.size(), 3u);  // measuring leaves the category list alone

    read_file_from_stream(lists, "synthesis", cat.lookup(), nullptr);
    const auto synth = effectRows(lists.resourceLines, kFxBankMode, lists, cat.lookup(), sink, nullptr);
    ASSERT_EQ(synth.size(), 2u);
    EXPECT_TRUE(synth[0].enabled);
    EXPECT_FALSE(synth[1].enabled);

    cat.lookups = 0;
    log.clear();
    const auto preset = effectRows(lists.resourceLines, kPresetMode, lists, cat.lookup(), sink, nullptr);
    EXPECT_TRUE(preset[0].enabled && preset[1].enabled);
    EXPECT_EQ(cat.lookups, 0);  // nothing is measured in Preset Mode
    EXPECT_TRUE(log.empty());
}

TEST(EffectBrowser, BankModeStopsAtAnAlgorithmWithoutImage) {
    Catalogue cat;
    CatalogueWorkingLists lists;
    EXPECT_THROW(effectRows({"Small Fuzz", "Ghost"}, kFxBankMode, lists, cat.lookup(), nullptr, nullptr),
                 ConversionError);
}

TEST(EffectBrowser, SelectingARow) {
    const auto greyed = effectListItemClicked(kFxBankMode, false, 2, "Over Limit", "", "Gain");
    EXPECT_TRUE(greyed.refused);
    EXPECT_TRUE(greyed.logLines.empty());

    const auto stored = effectListItemClicked(kFxBankMode, true, 1, "At Limit", "At Limit", "Gain");
    EXPECT_FALSE(stored.refused);
    EXPECT_TRUE(stored.isHeldAlgorithm && stored.enableRequest);
    EXPECT_FALSE(stored.disableRequestAssignStore || stored.enableLoadIr);
    EXPECT_EQ(stored.logLines, (std::vector<std::string>{"efx index :1", "selected effect name: At Limit"}));

    // Exact text comparison; Preset Mode ignores the row state.
    const auto other = effectListItemClicked(kPresetMode, false, 0, "at limit", "At Limit", "Impulse Response");
    EXPECT_FALSE(other.refused || other.isHeldAlgorithm || other.enableRequest);
    EXPECT_TRUE(other.disableRequestAssignStore && other.enableLoadIr);
}

TEST(EffectBrowser, CategoryClicks) {
    for (std::size_t c = 0; c < categoryCount; ++c) {
        const auto click = categoryClick(c);
        EXPECT_EQ(click.displayName, categories[c].displayName);
        EXPECT_EQ(click.showsIrHowTo, c == kImpulseResponseCategory);
        EXPECT_EQ(click.enablesOpenEffect, c != kImpulseResponseCategory);
    }
    EXPECT_NE(kIrHowToMessage.find("\r\n1) Select an IR load algorithm"), std::string_view::npos);
}

TEST(EffectBrowser, ArrowKeysStopAtTheEndsButAlwaysLog) {
    struct Case {
        int key, row, count, expected;
        const char* log;
    };
    const Case cases[] = {
        {kKeyUp, 2, 5, 1, "arrow up pressed"},     {kKeyUp, 0, 5, 0, "arrow up pressed"},
        {kKeyDown, 3, 5, 4, "arrow down pressed"}, {kKeyDown, 4, 5, 4, "arrow down pressed"},
        {13, 2, 5, 2, nullptr},
    };
    for (const auto& c : cases) {
        std::vector<std::string> log;
        EXPECT_EQ(move_up_or_down(c.key, c.row, c.count, [&](const std::string& l) { log.push_back(l); }), c.expected);
        EXPECT_EQ(log, c.log ? std::vector<std::string>{c.log} : std::vector<std::string>{});
    }
}

TEST(EffectBrowser, LocateEffectSearchesTheCategoriesInOrder) {
    Catalogue cat;
    CatalogueWorkingLists lists;
    const auto found = locate_effect(lists, "Over Limit Too", cat.lookup(), nullptr);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->category, 2u);
    EXPECT_EQ(found->row, 1u);
    EXPECT_EQ(lists.resourceLines.size(), 2u);

    EXPECT_FALSE(locate_effect(lists, "Nowhere", cat.lookup(), nullptr));
    EXPECT_FALSE(locate_effect(lists, "", cat.lookup(), nullptr));
    EXPECT_EQ(search_effect_name({"A", "B", "B"}, "B"), 1u);

    cat.files.erase("DYNAMIC");  // a missing list ends the search like any missing resource
    EXPECT_THROW(locate_effect(lists, "Echo", cat.lookup(), nullptr), ConversionError);
}
