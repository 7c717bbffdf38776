// The paced wire between the host and the virtual pedal: what it says about bytes on their way,
// on which the pseudo-terminal server and the in-process driver decide how long to sleep.
#include "pedal_fixture.h"
#include "core/bootloader_frames.h"
#include "pedal_sim/serial_wire.h"

#include <gtest/gtest.h>

namespace qeltx::pedal_sim::test {
namespace {

using namespace std::chrono_literals;
namespace boot = core::bootloader;

constexpr std::size_t kBlock = 256;

// A pedal in its bootloader behind a wire paced at 115,200 baud with the bridge's timer at
// 1 ms, so a block read back comes in many small packets, on the virtual clock.
class BootloaderWire : public ::testing::Test {
protected:
    static PedalOptions bootloaderOptions() {
        PedalOptions options = Pedal::options({});
        options.startInBootloader = true;
        return options;
    }
    void SetUp() override {
        model.setPacing({kPedalBaud, 1ms});
        send({boot::kSync});
        ASSERT_EQ(takeWhenDue(1), Bytes{boot::kAck});
    }

    void send(const core::Frame& frame) { wire.write(frame.data(), frame.size(), kBootloaderLine); }
    Bytes readAll() {
        Bytes bytes(wire.available());
        bytes.resize(wire.read(bytes.data(), bytes.size()));
        return bytes;
    }
    // Moves the clock to the wire's next change and takes what is readable, until `count`
    // bytes came (the host that wakes exactly when told to).
    Bytes takeWhenDue(std::size_t count) {
        Bytes got;
        while (got.size() < count) {
            const auto next = wire.nextChange();
            if (!next) break;
            clock().advanceTo(*next);
            const Bytes part = readAll();
            got.insert(got.end(), part.begin(), part.end());
        }
        return got;
    }
    // Read Memory's command and address acknowledged; the length frame is the caller's.
    void startReadMemory(std::uint32_t address) {
        send(core::commandFrame(boot::kReadMemory));
        ASSERT_EQ(takeWhenDue(1), Bytes{boot::kAck});
        send(core::addressFrame(address));
        ASSERT_EQ(takeWhenDue(1), Bytes{boot::kAck});
    }
    VirtualClock& clock() { return *model.virtualClock(); }

    PedalModel model{bootloaderOptions()};
    SerialWire wire{model};
};

// The host looked, found nothing yet, and slept past the rest of the answer (a busy computer):
// the bytes waiting for it are due now. Saying "nothing on the way" left a server asleep with
// the tail of the block undelivered for good; naming a later packet delivered it late.
TEST_F(BootloaderWire, BytesReadableSinceTheHostLastLookedAreDueNow) {
    struct Case {
        const char* name;
        std::size_t takenFirst;  // bytes the host takes before it sleeps
        Nanos slept;             // how long past its look it sleeps
    };
    const Case cases[] = {
        {"slept past the whole answer", 0, 100ms},
        {"took the first packet, slept past two more", 1, 2500us},
        {"took most, slept past the last packet", kBlock - 20, 50ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startReadMemory(core::kFlashBase);
        send(*core::readLengthFrame(kBlock));
        Bytes got = c.takenFirst > 0 ? takeWhenDue(c.takenFirst) : Bytes{};
        clock().advance(c.slept);
        const auto next = wire.nextChange();
        EXPECT_TRUE(next && *next <= clock().now())
            << "now " << clock().now().count() << " ns, next change " << (next ? next->count() : -1) << " ns";
        const Bytes rest = readAll();
        EXPECT_FALSE(rest.empty());
        got.insert(got.end(), rest.begin(), rest.end());
        const Bytes tail = takeWhenDue(kBlock + 1 - got.size());
        got.insert(got.end(), tail.begin(), tail.end());
        ASSERT_EQ(got.size(), kBlock + 1);
        EXPECT_EQ(got.front(), boot::kAck);
        // Everything taken: nothing is on its way any more.
        EXPECT_FALSE(wire.nextChange().has_value());
    }
}

}  // namespace
}  // namespace qeltx::pedal_sim::test
