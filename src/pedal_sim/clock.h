// The time the virtual pedal lives in: a virtual clock that tests move by hand, or the
// steady clock when real durations are wanted (benchmarks, the pseudo-terminal server).
#pragma once

#include <chrono>

namespace qeltx::pedal_sim {

using Nanos = std::chrono::nanoseconds;

class Clock {
public:
    virtual ~Clock() = default;
    virtual Nanos now() const = 0;
};

// Starts at zero and moves only when told to, so paced bytes never make a test wait.
class VirtualClock : public Clock {
public:
    Nanos now() const override { return now_; }
    void advance(Nanos by) { now_ += by; }
    void advanceTo(Nanos at) {
        if (at > now_) now_ = at;
    }

private:
    Nanos now_{0};
};

class SteadyClock : public Clock {
public:
    Nanos now() const override {
        return std::chrono::duration_cast<Nanos>(std::chrono::steady_clock::now() - start_);
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace qeltx::pedal_sim
