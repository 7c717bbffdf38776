// The rules of what the pedal holds, without windows or a pedal: a table of steps, each from the
// pedal or from the player, against what is kept, what is sent and what is announced.
#include "session/pedal_state.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace qeltx;
using session::HeldAlgorithm;
using session::PedalState;
using session::ValueOrigin;

namespace {

struct Harness {
    std::vector<std::string> sent;
    bool linkWorks = true;
    int algorithmSignals = 0;
    int replacedSignals = 0;
    std::vector<int> valueSignals;
    PedalState state;
    Harness()
        : state([this](const core::PedalCommand& command) {
              if (!linkWorks) return false;
              sent.push_back(command.text);
              return true;
          }) {
        QObject::connect(&state, &PedalState::algorithmChanged, [this] { ++algorithmSignals; });
        QObject::connect(&state, &PedalState::valuesReplaced, [this] { ++replacedSignals; });
        QObject::connect(&state, &PedalState::valueChanged, [this](int i) { valueSignals.push_back(i); });
    }
};

const HeldAlgorithm kDrive{1, 1, QStringLiteral("Amber Drive")};
const HeldAlgorithm kPhaser{11, 2, QStringLiteral("Glass Phaser")};

core::ParameterBlock block(std::vector<std::int32_t> values) {
    core::ParameterBlock b;
    b.values = std::move(values);
    b.assignments.assign(16, 255);
    b.assignments[0] = 2;
    b.readbackAssignments.assign(4, 255);
    b.reverseFlags.assign(16, 255);
    b.reverseFlags[0] = 1;
    b.bypassAssignment = 8;
    b.presetAssignment = 9;
    b.mode = 1;
    b.bankOrPreset = 2;
    b.midiChannel = 5;
    return b;
}

core::PedalCommand command(const std::string& text) {
    core::PedalCommand c;
    c.text = text;
    return c;
}

struct Case {
    const char* name;
    std::function<void(Harness&)> steps;
    std::function<void(const Harness&)> check;
};

}  // namespace

TEST(PedalState, Rules) {
    const std::vector<Case> cases = {
        {"a read-back keeps every value as the pedal's, and sends nothing",
         [](Harness& h) {
             h.state.setHeldAlgorithm(kDrive);
             h.state.takeReadBack(kDrive.name, block({10, 1024, 512}), 3, 0);
         },
         [](const Harness& h) {
             EXPECT_TRUE(h.sent.empty());
             EXPECT_EQ(h.state.values(), (std::vector<std::int32_t>{10, 1024, 512}));
             EXPECT_EQ(h.state.origin(1), ValueOrigin::Pedal);
             EXPECT_FALSE(h.state.changedSinceReadBack());
             EXPECT_EQ(h.state.assignments()[0], 2);
             EXPECT_EQ(h.state.reverseFlags()[0], 1);
             EXPECT_EQ(h.state.bypassAssignment(), 8);
             EXPECT_EQ(h.state.midiChannel(), 5);
             EXPECT_EQ(h.state.bankOrPreset(), 2);
         }},
        {"a pedal report changes one value, sends nothing, and is no change of the player's",
         [](Harness& h) {
             h.state.setHeldAlgorithm(kDrive);
             h.state.takeReadBack(kDrive.name, block({10, 1024, 512}), 3, 0);
             h.state.takePedalReport(2, 256);
         },
         [](const Harness& h) {
             EXPECT_TRUE(h.sent.empty());
             EXPECT_EQ(h.state.values()[2], 256);
             EXPECT_FALSE(h.state.changedSinceReadBack());
             EXPECT_EQ(h.valueSignals, std::vector<int>{2});
         }},
        {"a player's change is sent and kept",
         [](Harness& h) {
             h.state.setHeldAlgorithm(kDrive);
             h.state.takeReadBack(kDrive.name, block({10, 1024, 512}), 3, 0);
             EXPECT_TRUE(h.state.change(0, 749, command("03 00 10 5D A0 00")));
         },
         [](const Harness& h) {
             EXPECT_EQ(h.sent, std::vector<std::string>{"03 00 10 5D A0 00"});
             EXPECT_EQ(h.state.values()[0], 749);
             EXPECT_EQ(h.state.origin(0), ValueOrigin::Here);
             EXPECT_TRUE(h.state.changedSinceReadBack());
         }},
        {"a change whose bytes did not go out is not kept",
         [](Harness& h) {
             h.state.setHeldAlgorithm(kDrive);
             h.state.takeReadBack(kDrive.name, block({10, 1024, 512}), 3, 0);
             h.linkWorks = false;
             EXPECT_FALSE(h.state.change(0, 749, command("03")));
             EXPECT_FALSE(h.state.changeReverse(0, false, command("08 FF 00")));
         },
         [](const Harness& h) {
             EXPECT_EQ(h.state.values()[0], 10);
             EXPECT_EQ(h.state.origin(0), ValueOrigin::Pedal);
             EXPECT_EQ(h.state.reverseFlags()[0], 1);
             EXPECT_FALSE(h.state.changedSinceReadBack());
             EXPECT_TRUE(h.valueSignals.empty());
         }},
        {"another algorithm forgets the values of the last",
         [](Harness& h) {
             h.state.setHeldAlgorithm(kDrive);
             h.state.takeReadBack(kDrive.name, block({10, 1024, 512}), 3, 0);
             h.state.setHeldAlgorithm(kPhaser);
         },
         [](const Harness& h) {
             EXPECT_EQ(h.state.algorithm(), kPhaser);
             EXPECT_FALSE(h.state.hasValuesFor(kDrive.name));
             EXPECT_TRUE(h.state.values().empty());
             EXPECT_EQ(h.algorithmSignals, 2);
         }},
        {"the same algorithm with its version learnt keeps its values",
         [](Harness& h) {
             h.state.setHeldAlgorithm({1, std::nullopt, kDrive.name});
             h.state.takeReadBack(kDrive.name, block({10, 1024, 512}), 3, 0);
             h.state.setHeldAlgorithm(kDrive);
         },
         [](const Harness& h) {
             EXPECT_EQ(h.state.algorithm().version, 1u);
             EXPECT_TRUE(h.state.hasValuesFor(kDrive.name));
         }},
        {"no algorithm (an erased pedal) forgets name, number and values",
         [](Harness& h) {
             h.state.setHeldAlgorithm(kDrive);
             h.state.takeReadBack(kDrive.name, block({10, 1024, 512}), 3, 0);
             h.state.setHeldAlgorithm({});
         },
         [](const Harness& h) {
             EXPECT_FALSE(h.state.algorithm().known());
             EXPECT_EQ(h.state.algorithm().number, 0u);
             EXPECT_TRUE(h.state.values().empty());
         }},
        {"Upload complete makes the uploaded algorithm the held one, number and name",
         [](Harness& h) {
             h.state.setHeldAlgorithm(kDrive);
             h.state.takeReadBack(kDrive.name, block({10, 1024, 512}), 3, 0);
             h.state.uploadSent({kPhaser.number, std::nullopt, kPhaser.name}, {});
             EXPECT_EQ(h.state.algorithm(), kDrive);  // not before the pedal has taken it
             h.state.uploadConfirmed();
         },
         [](const Harness& h) {
             EXPECT_EQ(h.state.algorithm().number, kPhaser.number);
             EXPECT_EQ(h.state.algorithm().name, kPhaser.name);
             EXPECT_FALSE(h.state.algorithm().version.has_value());
             EXPECT_TRUE(h.state.values().empty());
             EXPECT_FALSE(h.state.uploadInFlight().has_value());
         }},
        {"only a confirmed upload makes a loaded impulse response the pedal's",
         [](Harness& h) {
             const HeldAlgorithm cab{40, 1, QStringLiteral("Cab")};
             h.state.uploadSent(cab, QStringLiteral("AA"));
             EXPECT_TRUE(h.state.confirmedIr().empty());  // sent, not yet taken
             h.state.uploadConfirmed();
         },
         [](const Harness& h) {
             EXPECT_EQ(h.state.confirmedIr().image, QStringLiteral("AA"));
             EXPECT_EQ(h.state.confirmedIr().effectName, QStringLiteral("Cab"));
         }},
        {"an upload of the catalogue's own image leaves no response known",
         [](Harness& h) {
             const HeldAlgorithm cab{40, 1, QStringLiteral("Cab")};
             h.state.uploadTaken(cab, QStringLiteral("AA"));
             h.state.uploadSent(cab, {});
             h.state.uploadConfirmed();
         },
         [](const Harness& h) { EXPECT_TRUE(h.state.confirmedIr().empty()); }},
        {"the stored sound is the read-back; player changes differ from it, Store Settings takes them",
         [](Harness& h) {
             h.state.setHeldAlgorithm(kDrive);
             h.state.takeReadBack(kDrive.name, block({10, 1024, 512}), 3, 0);
             EXPECT_TRUE(h.state.differencesFromStored().empty());
             h.state.change(0, 749, command("03 00"));
             h.state.change(2, 300, command("03 02"));
             h.state.change(2, 512, command("03 02"));  // back where it was stored
             EXPECT_EQ(h.state.differencesFromStored(), std::vector<std::size_t>{0});
             EXPECT_TRUE(h.state.storeValues(command("06")));
         },
         [](const Harness& h) {
             EXPECT_TRUE(h.state.differencesFromStored().empty());
             EXPECT_EQ(h.state.storedValues(), (std::vector<std::int32_t>{749, 1024, 512}));
             EXPECT_EQ(h.sent.back(), "06");
         }},
        {"a Store Settings that did not go out stores nothing",
         [](Harness& h) {
             h.state.setHeldAlgorithm(kDrive);
             h.state.takeReadBack(kDrive.name, block({10, 1024, 512}), 3, 0);
             h.state.change(0, 749, command("03 00"));
             h.linkWorks = false;
             EXPECT_FALSE(h.state.storeValues(command("06")));
         },
         [](const Harness& h) {
             EXPECT_EQ(h.state.storedValues(), (std::vector<std::int32_t>{10, 1024, 512}));
             EXPECT_EQ(h.state.differencesFromStored(), std::vector<std::size_t>{0});
         }},
        {"another algorithm forgets the stored sound of the last",
         [](Harness& h) {
             h.state.setHeldAlgorithm(kDrive);
             h.state.takeReadBack(kDrive.name, block({10, 1024, 512}), 3, 0);
             h.state.setHeldAlgorithm(kPhaser);
         },
         [](const Harness& h) {
             EXPECT_TRUE(h.state.storedValues().empty());
             EXPECT_TRUE(h.state.differencesFromStored().empty());
         }},
        {"\"Upload complete\" with no upload in flight changes nothing",
         [](Harness& h) {
             h.state.setHeldAlgorithm(kDrive);
             EXPECT_FALSE(h.state.uploadConfirmed().has_value());
         },
         [](const Harness& h) { EXPECT_EQ(h.state.algorithm(), kDrive); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        c.steps(h);
        c.check(h);
    }
}
