// The pseudo-terminal server of qeltx-pedal-sim.
#include "pedal_sim/pty_server.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace qeltx::pedal_sim {

namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

std::runtime_error systemError(const char* what) {
    return std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

}  // namespace

PtyServer::PtyServer(PedalModel& model) : model_(model), wire_(model) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) throw systemError("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) throw systemError("grantpt/unlockpt");
    char name[256] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) throw systemError("ptsname_r");
    slavePath_ = name;
    slaveKeeper_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeeper_ < 0) throw systemError("open slave");
    // Raw bytes until the other end sets its own mode: no echo, no line editing, no CR/LF mapping.
    termios tio{};
    if (tcgetattr(slaveKeeper_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slaveKeeper_, TCSANOW, &tio);
    }
}

PtyServer::~PtyServer() {
    if (slaveKeeper_ >= 0) ::close(slaveKeeper_);
    if (master_ >= 0) ::close(master_);
}

void PtyServer::takeInput() {
    std::uint8_t buffer[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) return;  // EAGAIN: all taken; EIO: no one at the other end for now
        wire_.write(buffer, static_cast<std::size_t>(n), model_.expectedLine());
    }
}

void PtyServer::giveOutput() {
    const std::size_t ready = wire_.available();
    if (ready > 0) {
        const std::size_t old = backlog_.size();
        backlog_.resize(old + ready);
        backlog_.resize(old + wire_.read(backlog_.data() + old, ready));
    }
    while (!backlog_.empty()) {
        const ssize_t n = ::write(master_, backlog_.data(), backlog_.size());
        if (n <= 0) return;  // the terminal's queue is full: wait for POLLOUT
        backlog_.erase(backlog_.begin(), backlog_.begin() + n);
    }
}

std::optional<timespec> PtyServer::pollTimeout() {
    const auto next = wire_.nextChange();
    if (!next) return std::nullopt;
    // To the nanosecond: a byte due in 0.1 ms is handed over then, not a whole millisecond
    // later, so the latency a benchmark asks for is the latency the other end sees.
    const std::int64_t wait = std::max<std::int64_t>((*next - model_.clock().now()).count(), 0);
    return timespec{static_cast<time_t>(wait / kNanosPerSecond), static_cast<long>(wait % kNanosPerSecond)};
}

void PtyServer::run(int stopFd) {
    run(stopFd, [] { return true; });
}

void PtyServer::run(int eventFd, const std::function<bool()>& onEvent) {
    for (;;) {
        pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (backlog_.empty() ? 0 : POLLOUT)), 0},
                         {eventFd, POLLIN, 0}};
        const auto timeout = pollTimeout();
        const int r = ::ppoll(fds, 2, timeout ? &*timeout : nullptr, nullptr);
        if (r < 0) {
            if (errno == EINTR) continue;
            throw systemError("poll");
        }
        if ((fds[1].revents & POLLIN) && onEvent()) return;
        if (fds[0].revents & POLLIN) takeInput();
        giveOutput();
    }
}

}  // namespace qeltx::pedal_sim
