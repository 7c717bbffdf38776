// The shipped catalogue as the pedal sees it: a fresh pedal holds its first algorithm, and
// the pedal takes every catalogue image as an upload.
#include "pedal_fixture.h"
#include "pedal_sim/catalogue_images.h"

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

TEST(Catalogue, StoredOptionPicksTheAlgorithm) {
    PedalOptions options;
    options.storedNumber = 0x2B;
    PedalModel model(options);
    EXPECT_EQ(model.algorithmNumber(), 0x2B);
    EXPECT_GT(model.algorithm()->bytes.size(), 1000u);  // the catalogue image, not a stand-in
}

}  // namespace
}  // namespace qeltx::pedal_sim::test
