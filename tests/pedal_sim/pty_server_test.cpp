// The pseudo-terminal server: the pedal answers over the terminal whatever its line settings,
// and keeps serving when the other end closes the terminal and opens it again.
#include "pedal_fixture.h"
#include "core/bootloader_frames.h"
#include "pedal_sim/pty_server.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace qeltx::pedal_sim::test {
namespace {

constexpr int kReplyWaitMs = 5000;  // a bound, not a measurement: the pedal answers at once

class PtyServing : public ::testing::Test {
protected:
    explicit PtyServing(const PedalOptions& options = Pedal::options({})) : model_(options) {}
    void SetUp() override {
        ASSERT_EQ(pipe(stop_), 0);
        server_ = std::make_unique<PtyServer>(model_);
        thread_ = std::thread([this] { server_->run(stop_[0]); });
    }
    void TearDown() override {
        const char byte = 1;
        EXPECT_EQ(::write(stop_[1], &byte, 1), 1);
        thread_.join();
        server_.reset();
        close(stop_[0]);
        close(stop_[1]);
    }
    int openTerminal(bool evenParity) {
        const int fd = ::open(server_->slavePath().c_str(), O_RDWR | O_NOCTTY);
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        if (evenParity) tio.c_cflag |= PARENB;
        tcsetattr(fd, TCSANOW, &tio);
        return fd;
    }
    // Reads until `count` bytes came or the bound ran out.
    std::string readReply(int fd, std::size_t count) {
        std::string got;
        while (got.size() < count) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, kReplyWaitMs) <= 0) break;
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    void send(int fd, const Bytes& bytes) { ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    PedalModel model_;
    std::unique_ptr<PtyServer> server_;
    std::thread thread_;
    int stop_[2] = {-1, -1};
};

const std::string kQueryReply = "1\r\n43\r\n1\r\n1\r\n";

TEST_F(PtyServing, AnswersAcrossCloseAndReopen) {
    for (int session = 0; session < 3; ++session) {
        const int fd = openTerminal(false);
        ASSERT_GE(fd, 0);
        send(fd, {0x06, 0x00});
        EXPECT_EQ(readReply(fd, kQueryReply.size()), kQueryReply) << "session " << session;
        close(fd);
    }
}

TEST_F(PtyServing, ParityOfTheTerminalDoesNotMatter) {
    const int fd = openTerminal(true);
    send(fd, {0x06, 0x00});
    EXPECT_EQ(readReply(fd, kQueryReply.size()), kQueryReply);
    close(fd);
}

TEST_F(PtyServing, LargeDumpArrivesWhole) {
    const int fd = openTerminal(false);
    send(fd, {0x0C, 0x51, 0x00, 0x00, 0x00, 0x00});
    const std::string dump = readReply(fd, 16385);
    ASSERT_EQ(dump.size(), 16385u);
    EXPECT_EQ(static_cast<unsigned char>(dump[0]), 0xAB);
    close(fd);
}

// The pedal in its bootloader, paced in real time at 115,200 baud with the bridge's timer at
// 1 ms, as the flashing benchmark serves it: a block read back comes in some twenty packets.
class PacedBootloaderServing : public PtyServing {
protected:
    static PedalOptions bootloaderOptions() {
        PedalOptions options = Pedal::options({});
        options.startInBootloader = true;
        return options;
    }
    PacedBootloaderServing() : PtyServing(bootloaderOptions()) {
        model_.useRealTime();
        model_.setPacing({kPedalBaud, std::chrono::milliseconds(1)});
    }
    void send(int fd, const core::Frame& frame) { PtyServing::send(fd, Bytes(frame.begin(), frame.end())); }
};

// Every block read back arrives whole. The server once slept on the tail of an answer for good
// when it was held up between handing over one packet and asking when the next was due.
TEST_F(PacedBootloaderServing, EveryReadMemoryAnswerArrivesWhole) {
    namespace boot = core::bootloader;
    constexpr int kBlocks = 50;
    constexpr std::size_t kBlock = 256;
    const std::string ack(1, static_cast<char>(boot::kAck));
    const int fd = openTerminal(true);
    send(fd, core::Frame{boot::kSync});
    ASSERT_EQ(readReply(fd, 1), ack);
    std::vector<std::string> firstPass;
    for (int i = 0; i < kBlocks; ++i) {
        const std::uint32_t address = core::kFlashBase + static_cast<std::uint32_t>((i % 10) * kBlock);
        send(fd, core::commandFrame(boot::kReadMemory));
        ASSERT_EQ(readReply(fd, 1), ack) << "block " << i << ": command";
        send(fd, core::addressFrame(address));
        ASSERT_EQ(readReply(fd, 1), ack) << "block " << i << ": address";
        send(fd, *core::readLengthFrame(kBlock));
        const std::string answer = readReply(fd, kBlock + 1);
        ASSERT_EQ(answer.size(), kBlock + 1) << "block " << i;
        EXPECT_EQ(answer.substr(0, 1), ack);
        // The same block read again reads the same.
        if (i < 10) {
            firstPass.push_back(answer);
        } else {
            EXPECT_EQ(answer, firstPass[static_cast<std::size_t>(i % 10)]) << "block " << i;
        }
    }
    close(fd);
}

}  // namespace
}  // namespace qeltx::pedal_sim::test
