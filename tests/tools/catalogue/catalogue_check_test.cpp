// qeltx-catalogue-check's rules, each shown to catch a fault put into a copy of the shipped
// catalogue, with the file and line it names; and the generator's refusals and determinism.
#include "catalogue_tools/catalogue_source.h"
#include "catalogue_tools/check.h"
#include "catalogue_tools/generate.h"
#include "core/hex.h"
#include "resources/resource_store.h"

#include <gtest/gtest.h>

#include <functional>

using namespace qeltx;
using namespace qeltx::catalogue_tools;

namespace {

std::map<std::string, std::string> shipped() {
    std::map<std::string, std::string> files;
    for (const auto& name : resources::catalogueResourceNames()) files[name] = *resources::catalogueResource(name);
    return files;
}

void replaceFirst(std::string& text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

// Sets image byte `offset` of a stored image text.
void setByte(std::string& imageText, std::size_t offset, std::uint8_t value) {
    imageText.replace(2 * offset, 2, core::byteToHex(value));
}

}  // namespace

TEST(CatalogueCheck, TheShippedCatalogueHasOneKnownException) {
    const auto report = checkCatalogue(shipped());
    for (const auto& f : report.findings) {
        if (!f.knownException) ADD_FAILURE() << formatFinding(f);
    }
    ASSERT_EQ(report.knownExceptions(), 1);
    const auto& known = *std::find_if(report.findings.begin(), report.findings.end(),
                                      [](const Finding& f) { return f.knownException; });
    EXPECT_EQ(known.file, "PROTOTYPE_MATRIX_CTRLS");
    EXPECT_EQ(known.line, 1);
}

TEST(CatalogueCheck, EachRuleNamesFileAndLine) {
    using Mutation = std::function<void(std::map<std::string, std::string>&)>;
    struct Case {
        const char* what;
        Mutation mutate;
        const char* file;
        int line;
        const char* text;
    };
    const Case cases[] = {
        {"number with a leading zero", [](auto& f) { replaceFirst(f["EFFECT_LIST"], "\r\nA:", "\r\n0A:"); },
         "EFFECT_LIST", 11, "must hold algorithm A"},
        {"lone LF in a list", [](auto& f) { replaceFirst(f["EFFECT_LIST"], "2:Copper Fuzz\r\n", "2:Copper Fuzz\n"); },
         "EFFECT_LIST", 3, "lone LF"},
        {"line 0 not empty", [](auto& f) { replaceFirst(f["EFFECT_LIST"], "0:empty", "0:nothing"); }, "EFFECT_LIST", 1,
         "0:empty"},
        {"name not in the list", [](auto& f) { replaceFirst(f["GAIN"], "Copper Fuzz", "Copper Fuz"); }, "GAIN", 2,
         "not a name of EFFECT_LIST"},
        {"name in two categories", [](auto& f) { f["DYNAMIC"] += "Amber Drive\r\n"; }, "DYNAMIC", 3,
         "already listed in GAIN"},
        {"lower-case hex in an image", [](auto& f) { f["NOISE_GATE"][300] = 'a'; }, "NOISE_GATE", 1,
         "character 301 is not an upper-case hex digit"},
        {"image with a line break", [](auto& f) { f["NOISE_GATE"] += "\r\n"; }, "NOISE_GATE", 1, "no line break"},
        {"wrong number byte", [](auto& f) { setByte(f["NOISE_GATE"], 126, 0x28); }, "NOISE_GATE", 1, "byte 126"},
        {"wrong length field", [](auto& f) { setByte(f["NOISE_GATE"], 2, 0x00); }, "NOISE_GATE", 1, "length field"},
        {"destination not 00", [](auto& f) { setByte(f["NOISE_GATE"], 0, 0x0E); }, "NOISE_GATE", 1, "destination"},
        {"unknown record type", [](auto& f) { setByte(f["NOISE_GATE"], 128, 0x09); }, "NOISE_GATE", 1,
         "not a load record type"},
        {"address beyond the controls", [](auto& f) { setByte(f["NOISE_GATE"], 3 + 2 * 15 + 1, 0x01); }, "NOISE_GATE", 1,
         "address entry 15"},
        {"tap not sign-extended", [](auto& f) { setByte(f["BASIC_IR_LOADER"], 230 + 4 * 7, 0x12); }, "BASIC_IR_LOADER", 1,
         "tap 7"},
        {"count byte disagrees with the layout", [](auto& f) { setByte(f["AMBER_DRIVE"], 127, 4); }, "AMBER_DRIVE", 1,
         "the layout has 3 controls"},
        {"offered layout beyond the limits",
         [](auto& f) { replaceFirst(f["TIDAL_CHORUS_CTRLS"], "4001", "4002"); }, "TIDAL_CHORUS_CTRLS", 1,
         "offered in MODULATION"},
        {"lone CR in a layout", [](auto& f) { replaceFirst(f["AMBER_DRIVE_CTRLS"], "Drive\n", "Drive\r"); },
         "AMBER_DRIVE_CTRLS", 2, "lone CR"},
        {"lower-case counts digit", [](auto& f) { replaceFirst(f["DRONE_ORGAN_CTRLS"], "C100", "c100"); },
         "DRONE_ORGAN_CTRLS", 1, "counts character 1"},
        {"multi-switch without an option", [](auto& f) { replaceFirst(f["GLASS_PHASER_CTRLS"], "Stages;4;6;8;10;12", "Stages"); },
         "GLASS_PHASER_CTRLS", 6, "has 0"},
        {"two-state line with one label", [](auto& f) { replaceFirst(f["COPPER_FUZZ_CTRLS"], "Gate:OFF:ON", "Gate:OFF"); },
         "COPPER_FUZZ_CTRLS", 5, "two-state line"},
        {"line after the declared ones", [](auto& f) { f["AMBER_DRIVE_CTRLS"] += "Spare\n"; }, "AMBER_DRIVE_CTRLS", 5,
         "a line after the 3"},
        {"missing layout", [](auto& f) { f.erase("TEST_TONE_CTRLS"); }, "TEST_TONE_CTRLS", 0, "missing"},
        {"stray file", [](auto& f) { f["NOTES"] = "x"; }, "NOTES", 0, "not a resource"},
        {"lower-case stored name", [](auto& f) { f["gain_notes"] = "x"; }, "gain_notes", 0, "upper case"},
    };
    for (const auto& c : cases) {
        auto files = shipped();
        c.mutate(files);
        const auto report = checkCatalogue(files);
        const bool found = std::any_of(report.findings.begin(), report.findings.end(), [&](const Finding& f) {
            return !f.knownException && f.file == c.file && f.line == c.line && f.message.find(c.text) != std::string::npos;
        });
        EXPECT_TRUE(found) << c.what;
        if (!found) {
            for (const auto& f : report.findings) std::cerr << "  " << formatFinding(f) << "\n";
        }
        EXPECT_GE(report.violations(), 1) << c.what;
    }
}

TEST(CatalogueCheck, OnlyOneUnofferedMalformedLayoutIsTolerated) {
    auto files = shipped();
    replaceFirst(files["TUNER_OUT_CTRLS"], "1002", "1003");  // also in no category
    const auto report = checkCatalogue(files);
    EXPECT_EQ(report.knownExceptions(), 1);
    EXPECT_EQ(report.violations(), 1);
}

TEST(CatalogueGenerator, RefusesInconsistentSources) {
    const std::pair<const char*, const char*> cases[] = {
        {"effect 00 empty\neffect 02 Skipped\n", "01 is missing"},
        {"effect 00 empty\neffect 01 A\neffect 01 B\n", "described twice"},
        {"effect 00 empty\neffect 01 A\nflavour sweet\n", "unknown key"},
        {"| 3000\n", "outside an effect block"},
    };
    for (const auto& [text, message] : cases) {
        const auto result = parseCatalogueSource(text, "test.txt");
        EXPECT_FALSE(result.source) << text;
        ASSERT_FALSE(result.errors.empty()) << text;
        EXPECT_NE(result.errors.front().find(message), std::string::npos) << result.errors.front();
    }

    const auto tooSmall = parseCatalogueSource("effect 00 empty\neffect 01 A\nsize 200\nlayout LF\n| 1000\n| P\n", "t");
    ASSERT_TRUE(tooSmall.source);
    const auto generated = generateCatalogue(*tooSmall.source);
    EXPECT_TRUE(generated.files.empty());
    ASSERT_FALSE(generated.errors.empty());
    EXPECT_NE(generated.errors.front().find("size 200"), std::string::npos) << generated.errors.front();
}

TEST(CatalogueGenerator, ImagesAreExactInSizeAndRepeatable) {
    const ImageRequest request{0x20, 5888, 3, TapBlock{230, 912}, {}};
    const auto a = buildImage(request);
    const auto b = buildImage(request);
    ASSERT_TRUE(a.error.empty()) << a.error;
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_EQ(a.bytes.size(), 5888u);
    EXPECT_EQ(a.bytes[230], 0x00);  // tap 0 is the unit impulse 007FFFFF
    EXPECT_EQ(a.bytes[231], 0x7F);
    EXPECT_NE(buildImage({0x21, 5888, 3, TapBlock{230, 912}, {}}).bytes, a.bytes);
    EXPECT_FALSE(buildImage({0x20, 5888, 3, TapBlock{231, 912}, {}}).error.empty());  // not on a word
}
