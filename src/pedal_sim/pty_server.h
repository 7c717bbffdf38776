// Serves the virtual pedal on a pseudo-terminal, so that the serial backend and third-party
// tools (stm32flash) talk to it as to a USB serial port. A pseudo-terminal carries no
// parity: bytes reach the model as framed the way it expects, whatever the other end set.
#pragma once

#include "pedal_sim/pedal_model.h"
#include "pedal_sim/serial_wire.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qeltx::pedal_sim {

class PtyServer {
public:
    // Opens the pseudo-terminal; throws std::runtime_error when the system refuses.
    explicit PtyServer(PedalModel& model);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // The path the other end opens (/dev/pts/N).
    const std::string& slavePath() const { return slavePath_; }
    // Serves until `stopFd` becomes readable (a signalfd, a pipe). The other end may close
    // and open the terminal again meanwhile.
    void run(int stopFd);
    // The same, calling `onEvent` each time `eventFd` becomes readable (a signalfd that also
    // carries a person's presses); serving ends when it returns true.
    void run(int eventFd, const std::function<bool()>& onEvent);

private:
    void takeInput();
    void giveOutput();
    // How long to wait for the next byte due on the wire; nothing when none is on its way.
    std::optional<timespec> pollTimeout();

    PedalModel& model_;
    SerialWire wire_;
    int master_ = -1;
    int slaveKeeper_ = -1;  // keeps the terminal alive while no one has it open
    std::string slavePath_;
    std::vector<std::uint8_t> backlog_;
};

}  // namespace qeltx::pedal_sim
