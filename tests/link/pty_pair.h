// A pseudo-terminal pair for the serial-port tests: the test holds the master end and hands
// the slave's path to the backend, as qeltx-pedal-sim does.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace qeltx::link::testing {

// How long a test waits for bytes to cross the pair before it fails.
inline constexpr int kCrossingLimitMs = 5000;

class PtyPair {
public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        char name[128] = {};
        if (::ptsname_r(master_, name, sizeof name) == 0) slavePath_ = name;
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
    const std::string& slavePath() const { return slavePath_; }

    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    void send(const std::vector<std::uint8_t>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (errno == EAGAIN) {
                pollfd fd{master_, POLLOUT, 0};
                ::poll(&fd, 1, 10);
            } else {
                ADD_FAILURE() << "write to the master end failed: errno " << errno;
                return;
            }
        }
    }

    // Reads from the master end until `count` bytes came or the limit passed.
    std::vector<std::uint8_t> receive(std::size_t count) {
        std::vector<std::uint8_t> got;
        QDeadlineTimer deadline(kCrossingLimitMs);
        while (got.size() < count && !deadline.hasExpired()) {
            pollfd fd{master_, POLLIN, 0};
            if (::poll(&fd, 1, 10) <= 0) continue;
            std::uint8_t chunk[512];
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n > 0) got.insert(got.end(), chunk, chunk + n);
        }
        return got;
    }

    // Reads what the master end has until nothing more comes for `quietMs`.
    std::vector<std::uint8_t> receiveUntilQuiet(int quietMs = 200) {
        std::vector<std::uint8_t> got;
        for (;;) {
            pollfd fd{master_, POLLIN, 0};
            if (::poll(&fd, 1, quietMs) <= 0) return got;
            std::uint8_t chunk[4096];
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n <= 0) return got;
            got.insert(got.end(), chunk, chunk + n);
        }
    }

private:
    int master_ = -1;
    std::string slavePath_;
};

// Waits until `done` holds or the limit passes. With `runEvents` off no event is dispatched, as
// when the editor polls from inside a handler.
inline bool eventually(const std::function<bool()>& done, bool runEvents = false) {
    QDeadlineTimer deadline(kCrossingLimitMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        if (runEvents) QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    return true;
}

}  // namespace qeltx::link::testing
