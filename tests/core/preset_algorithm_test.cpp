// A preset file's algorithm by name, whether and how a preset can be put on a pedal, and the
// commands that put its values on a pedal that has just taken the algorithm.
#include "core/preset_algorithm.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "hex_bytes.h"
#include "resources/resource_store.h"

#include <gtest/gtest.h>

using namespace qeltx::core;

namespace {

using test_support::compactHex;

const std::vector<std::string> kEffectList = {"0:empty", "1:Amber Drive", "2:Glass Phaser", "3:"};

// Two pots, a switch, a button and a multi-switch of 4 options.
ControlLayout smallLayout() {
    ControlLayout layout;
    layout.counts = LayoutCounts{2, 2, 1, 0};
    layout.potNames = {"Drive", "Tone"};
    layout.twoStateRows = {TwoStateRow{"Boost", "OFF", "ON", false}, TwoStateRow{"Tap", "", "", true}};
    layout.multiSwitchRows = {MultiSwitchRow{"Shape", {"A", "B", "C", "D"}}};
    return layout;
}

ImageHeader headerWithAddresses() {
    ImageHeader header;
    for (std::size_t i = 0; i < header.addresses.size(); ++i) header.addresses[i] = static_cast<std::uint16_t>(0x0100 + i);
    return header;
}

std::vector<std::string> texts(const std::vector<PedalCommand>& commands) {
    std::vector<std::string> out;
    for (const PedalCommand& c : commands) out.push_back(c.text);
    return out;
}

PresetFile presetFor(std::uint32_t number) {
    PresetFile p;
    p.effectNumber = number;
    p.effectVersion = 1;
    p.values = {512, 1023, 1024, 1024, 512};
    p.assignments = {0, 255, 255, 255, 11};
    return p;
}

}  // namespace

TEST(PresetAlgorithmText, NamesTheAlgorithmAsPlayersKnowIt) {
    struct Case {
        const char* what;
        std::string text;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a saved preset", formatPresetFile(presetFor(2)), "Glass Phaser"},
        {"a number past the list", formatPresetFile(presetFor(4095)),
         "algorithm number 4095, which this editor's catalogue does not have"},
        {"a line without a name", formatPresetFile(presetFor(3)),
         "algorithm number 3, which this editor's catalogue does not have"},
        {"number 0, no algorithm", formatPresetFile(presetFor(0)),
         "algorithm number 0, which this editor's catalogue does not have"},
        {"LF line ends", "0001\n01\n01\n00000200\n", "Amber Drive"},
        {"some other text file", "Shopping list\nstrings\n", "not a preset file"},
        {"an empty file", "", "not a preset file"},
    };
    for (const Case& c : cases) EXPECT_EQ(presetAlgorithmText(c.text, kEffectList), c.expected) << c.what;
}

TEST(PresetValueCommands, EveryPotSwitchAndMultiSwitchButNotTheButton) {
    const auto sent = texts(presetValueCommands(presetFor(1), smallLayout(), headerWithAddresses()));
    const std::vector<std::string> expected = {
        compactHex("01 01 00 00 40 00 00"),  // Drive 512 at the image's first address
        compactHex("01 01 01 00 7F E0 00"),  // Tone 1023
        compactHex("01 01 02 00 80 00 00"),  // Boost on (1024); the button Tap is left out
        compactHex("01 01 04 00 40 00 00"),  // Shape option 2 of 4
    };
    EXPECT_EQ(sent, expected);
}

TEST(PresetValueCommands, OutOfRangeValuesAndExtraRowsAreLeftAlone) {
    struct Case {
        const char* what;
        std::vector<std::int32_t> values;
        std::size_t sent;
    };
    const std::vector<Case> cases = {
        {"a negative pot", {-1, 1023, 1024, 0, 512}, 3},
        {"a pot above 1023", {1024, 1023, 1024, 0, 512}, 3},
        {"a switch above 1024", {0, 0, 1025, 0, 0}, 3},
        {"a multi-switch above 1023", {0, 0, 0, 0, 1024}, 3},
        {"fewer values than controls", {0, 0}, 2},
        {"more values than controls", {0, 0, 0, 0, 0, 7, 7, 7}, 4},
        {"no values", {}, 0},
    };
    for (const Case& c : cases) {
        PresetFile p = presetFor(1);
        p.values = c.values;
        EXPECT_EQ(presetValueCommands(p, smallLayout(), headerWithAddresses()).size(), c.sent) << c.what;
    }
}

namespace {

ResourceLookup builtInCatalogue() {
    return [](std::string_view name) { return qeltx::resources::catalogueResource(name); };
}

std::vector<std::string> builtInEffectList() {
    const auto list = qeltx::resources::catalogueResource(kEffectListResource);
    return list ? splitLines(*list) : std::vector<std::string>{};
}

// A preset of the catalogue's algorithm `number` with `extra` values more than it has controls.
PresetFile catalogueFit(std::uint32_t number, int extra = 0) {
    const auto loaded = loadCatalogueEffect(number, builtInCatalogue());
    const auto layout = parseControlLayoutText(loaded.effect->name, loaded.effect->layoutText);
    PresetFile p;
    p.effectNumber = number;
    p.effectVersion = 1;
    p.values.assign(static_cast<std::size_t>(layout.layout->counts.controls() + extra), 0);
    return p;
}

}  // namespace

TEST(PlanPresetLoad, OneDecisionForEveryPresetAndPedal) {
    constexpr std::uint32_t kAmberDrive = 1;
    constexpr std::uint32_t kGlassPhaser = 11;
    constexpr std::uint32_t kPlateReverb = 34;  // 9,472 bytes: no bank takes it
    const HeldForPreset amber{kAmberDrive, "Amber Drive"};
    struct Case {
        const char* what;
        PresetFile preset;
        std::optional<HeldForPreset> held;
        bool intoBank;
        std::string refusal;  // empty: accepted
        std::string other;    // the question before an upload; empty: none
    };
    const std::vector<Case> cases = {
        {"the pedal's own algorithm", catalogueFit(kAmberDrive), amber, false, "", ""},
        {"its own, in bank mode: nothing to upload", catalogueFit(kAmberDrive), amber, true, "", ""},
        {"its own with a value too many", catalogueFit(kAmberDrive, 1), amber, false,
         "The preset has 4 parameters; Amber Drive has 3.", ""},
        {"another algorithm", catalogueFit(kGlassPhaser), amber, false, "",
         "This preset is for Glass Phaser; the pedal holds Amber Drive."},
        {"a pedal that holds none", catalogueFit(kGlassPhaser), std::nullopt, false, "",
         "This preset is for Glass Phaser; the pedal holds no algorithm."},
        {"another algorithm with a value too few", catalogueFit(kGlassPhaser, -2), amber, false,
         "This preset is for Glass Phaser; the pedal holds Amber Drive. The preset has 3 parameters; Glass Phaser has 5.", ""},
        {"an algorithm the catalogue lacks", presetFor(4095), amber, false,
         "This preset is for algorithm number 4095, which this editor's catalogue does not have; the pedal holds Amber Drive.",
         ""},
        {"a large algorithm for a preset", catalogueFit(kPlateReverb), amber, false, "",
         "This preset is for Plate Reverb; the pedal holds Amber Drive."},
        {"a large algorithm for a bank", catalogueFit(kPlateReverb), amber, true,
         "This preset is for Plate Reverb, which is larger than 5440 bytes and cannot be stored in a bank.", ""},
        {"a small algorithm for a bank", catalogueFit(kGlassPhaser), amber, true, "",
         "This preset is for Glass Phaser; the pedal holds Amber Drive."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto plan = planPresetLoad(c.preset, c.held, c.intoBank, builtInCatalogue(), builtInEffectList());
        if (!c.refusal.empty()) {
            ASSERT_FALSE(plan.ok());
            EXPECT_EQ(plan.reason(), c.refusal);
            continue;
        }
        ASSERT_TRUE(plan.ok()) << plan.reason();
        EXPECT_EQ(plan->effect.number, c.preset.effectNumber);
        EXPECT_EQ(static_cast<std::size_t>(plan->layout.counts.controls()), c.preset.values.size());
        EXPECT_EQ(plan->otherAlgorithm.value_or(""), c.other);
    }
}
