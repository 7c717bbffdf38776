// Real durations of exchanges with the virtual pedal paced at 115,200 baud with FTDI's
// 16 ms latency, read the way the editor reads: poll the queue, then drain it.
#include "pedal_sim/virtual_pedal_driver.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace qeltx::pedal_sim;
using namespace std::chrono_literals;

constexpr auto kPollGap = 200us;

// Writes `command` and reads until `expected` bytes came.
void exchange(benchmark::State& state, std::vector<std::uint8_t> command, std::size_t expected) {
    PedalModel model;
    model.useRealTime();
    model.setPacing({kPedalBaud, kFtdiDefaultLatency});
    VirtualPedalDriver driver(model);
    qeltx::link::FtHandle handle = 0;
    driver.openBySerialNumber(kVirtualPedalSerial, handle);
    std::vector<std::uint8_t> buffer(65536);
    for (auto _ : state) {
        std::uint32_t n = 0;
        driver.write(handle, command.data(), static_cast<std::uint32_t>(command.size()), n);
        std::size_t got = 0;
        while (got < expected) {
            std::uint32_t queued = 0;
            driver.getQueueStatus(handle, queued);
            if (queued == 0) {
                std::this_thread::sleep_for(kPollGap);
                continue;
            }
            driver.read(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size()), n);
            got += n;
        }
    }
}

void StoredEffectQuery(benchmark::State& state) {
    PedalModel probe;
    const std::vector<std::uint8_t> query{0x06, 0x00};
    probe.receive(query.data(), query.size(), kNormalLine);
    exchange(state, query, probe.output().size());
}

void EepromDump(benchmark::State& state) {
    exchange(state, {0x0C, 0x50, 0x00, 0x00, 0x00, 0x00}, 1 + kEepromSize);
}

BENCHMARK(StoredEffectQuery)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(EepromDump)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
