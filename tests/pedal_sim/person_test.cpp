// A person at the pedal: knobs, buttons and the expression pedal report the parameters
// assigned to them; bank and algorithm changes are reported as text.
#include "pedal_fixture.h"

#include <gtest/gtest.h>

namespace qeltx::pedal_sim::test {
namespace {

// Controls 0..2: KIII, B1, EXP; control 1 is also reversed below where a test needs it.
Bytes assignKiiiB1Exp(std::uint8_t bypass = 0xFF, std::uint8_t preset = 0xFF) {
    Bytes c{0x04, 0x02, 0x05, 0x0B};
    c.insert(c.end(), 13 + 4, 0xFF);
    c.push_back(bypass);
    c.push_back(preset);
    return c;
}

TEST(Person, KnobSendsTheControlFrameOfItsParameterAndSetsIt) {
    Pedal pedal;
    pedal.send(assignKiiiB1Exp());
    pedal.model().turnKnob(2, 1023);
    EXPECT_EQ(pedal.take(), (Bytes{0xAA, 0x02, 0x00, 0x03, 0xFF}));
    EXPECT_EQ(pedal.model().controlValue(0), 1023u * 8192);
    pedal.model().turnKnob(0, 500);  // KI drives nothing
    EXPECT_TRUE(pedal.take().empty());
}

TEST(Person, ReversedParameterRunsTheOtherWay) {
    Pedal pedal;
    pedal.send(assignKiiiB1Exp());
    pedal.send({0x08, 0x01, 0x02});
    pedal.model().moveExpression(1000);
    EXPECT_EQ(pedal.take(), (Bytes{0xAA, 0x0B, 0x02, 0x00, 0x17}));
    EXPECT_EQ(pedal.model().controlValue(2), 23u * 8192);
}

TEST(Person, ButtonReportsPressAndRelease) {
    Pedal pedal;
    pedal.send(assignKiiiB1Exp());
    pedal.model().setButton(5, true);
    pedal.model().setButton(5, false);
    EXPECT_EQ(pedal.take(), (Bytes{0xAA, 0x05, 0x01, 0x00, 0x01, 0xAA, 0x05, 0x01, 0x00, 0x00}));
}

TEST(Person, FootswitchAssignedToBypassTogglesIt) {
    Pedal pedal;
    pedal.send(assignKiiiB1Exp(0x08, 0x09));
    pedal.model().setButton(8, true);
    EXPECT_TRUE(pedal.model().bypass());
    pedal.model().setButton(8, false);
    pedal.model().setButton(8, true);
    EXPECT_FALSE(pedal.model().bypass());
    EXPECT_TRUE(pedal.take().empty());
}

TEST(Person, BankChangeIsReportedAndLoadsTheBanksAlgorithm) {
    Pedal pedal;
    ImageSpec spec;
    spec.number = 0x2B;
    Bytes image = buildImage(spec);
    image[0] = 0x10;
    pedal.send(image);
    pedal.take();
    pedal.model().changeBank(0);
    EXPECT_EQ(pedal.takeText(), "00");
    EXPECT_FALSE(pedal.model().hasAlgorithm());  // bank I is empty
    pedal.model().changeBank(2);
    EXPECT_EQ(pedal.takeText(), "02");
    EXPECT_EQ(pedal.model().algorithmNumber(), 0x2B);
}

TEST(Person, AlgorithmChangeIsReportedInHex) {
    PedalOptions options = Pedal::options({});
    options.imageSource = [](std::uint8_t n) {
        ImageSpec spec;
        spec.number = n;
        return std::optional<Bytes>(buildImage(spec));
    };
    PedalModel model(options);
    model.changeAlgorithm(43);
    EXPECT_EQ(std::string(model.output().begin(), model.output().end()), "12B");
    EXPECT_EQ(model.algorithmNumber(), 43);
}

}  // namespace
}  // namespace qeltx::pedal_sim::test
