// The shipped catalogue as the pedal sees it: a fresh pedal holds its first algorithm, and
// the pedal takes every catalogue image as an upload.
#include "pedal_fixture.h"
#include "core/catalogue_lists.h"
#include "core/control_layout.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "pedal_sim/catalogue_images.h"
#include "resources/resource_store.h"

#include <gtest/gtest.h>

namespace qeltx::pedal_sim::test {
namespace {

TEST(Catalogue, FreshPedalHoldsTheFirstAlgorithmAtVersionOneAndFirmwareOne) {
    PedalModel model;
    ASSERT_TRUE(model.hasAlgorithm());
    EXPECT_EQ(model.algorithmNumber(), 1);
    const Bytes query{0x06, 0x00};
    model.receive(query.data(), query.size(), kNormalLine);
    EXPECT_EQ(std::string(model.output().begin(), model.output().end()), "1\r\n1\r\n1\r\n1\r\n");
    // Its address table is known: each control reads the word its address names.
    const auto& image = *model.algorithm();
    ASSERT_GT(image.controlCount, 0);
    const auto words = initialParameterWords(image);
    for (std::size_t i = 0; i < image.controlCount; ++i) {
        EXPECT_TRUE(words.count(image.addresses[i])) << i;
    }
}

TEST(Catalogue, EveryImageIsTakenAsAnUploadWithItsOwnNumber) {
    const ImageSource source = catalogueImageSource();
    int images = 0;
    for (int n = 1; n < 256; ++n) {
        const auto bytes = source(static_cast<std::uint8_t>(n));
        if (!bytes) continue;
        ++images;
        PedalModel model(Pedal::options({}));
        model.receive(bytes->data(), bytes->size(), kNormalLine);
        EXPECT_EQ(std::string(model.output().begin(), model.output().end()), "Upload complete") << n << ": "
                                                                                                 << model.lastUploadProblem();
        EXPECT_EQ(model.algorithmNumber(), n);
    }
    EXPECT_EQ(images, 58);  // every algorithm but "empty"
}

// A first Request shows what the pedal starts with: every control must start with a value
// its row can show (a pot 0..1023, a switch off or on, a button released, a multi-switch on
// one of its options), so that a preset saved from it holds no impossible value.
TEST(Catalogue, EveryControlStartsWithAValueItsRowCanShow) {
    const std::vector<std::string> list = core::splitLines(*resources::catalogueResource("EFFECT_LIST"));
    const ImageSource source = catalogueImageSource();
    int checked = 0;
    for (std::size_t n = 1; n < list.size(); ++n) {
        const std::string name = core::parseEffectListLine(list[n]).name;
        const auto layoutText = resources::catalogueResource(core::format_resource_name(name) + "_ctrls");
        ASSERT_TRUE(layoutText) << name;
        const auto parsed = core::parseControlLayoutText(name, *layoutText);
        if (!parsed.layout) continue;  // the one layout beyond the limits has no panel
        const core::ControlLayout& layout = *parsed.layout;
        PedalModel model(Pedal::options({}));
        const auto bytes = source(static_cast<std::uint8_t>(n));
        ASSERT_TRUE(bytes) << name;
        model.receive(bytes->data(), bytes->size(), kNormalLine);
        const int pots = layout.counts.pots;
        const int switches = layout.counts.switches;
        for (int i = 0; i < layout.counts.controls(); ++i) {
            const std::uint32_t word = *model.controlValue(static_cast<std::size_t>(i));
            SCOPED_TRACE(name + " control " + std::to_string(i));
            ASSERT_EQ(word % 8192, 0u);
            const std::uint32_t value = word / 8192;
            if (i < pots) {
                EXPECT_LE(value, 1023u);
            } else if (i < pots + switches) {
                const auto& row = layout.twoStateRows[static_cast<std::size_t>(i - pots)];
                EXPECT_TRUE(value == 0 || (!row.isButton && value == 1024)) << value;
            } else {
                const auto options = layout.multiSwitchRows[static_cast<std::size_t>(i - pots - switches)].options.size();
                const std::uint32_t step = 1024 / static_cast<std::uint32_t>(options);
                EXPECT_EQ(value % step, 0u);
                EXPECT_LT(value / step, options);
            }
        }
        ++checked;
    }
    EXPECT_EQ(checked, 57);
}

TEST(Catalogue, StoredOptionPicksTheAlgorithm) {
    PedalOptions options;
    options.storedNumber = 0x2B;
    PedalModel model(options);
    EXPECT_EQ(model.algorithmNumber(), 0x2B);
    EXPECT_GT(model.algorithm()->bytes.size(), 1000u);  // the catalogue image, not a stand-in
}

}  // namespace
}  // namespace qeltx::pedal_sim::test
