// The bootloader's answers as the flasher reads them: a whole flash job (Get, erase, write,
// read back, Go) of a four-byte image against a bootloader that answers each frame the
// flasher writes with the next answer of the input, on virtual time.
#include "core/bootloader_frames.h"
#include "fuzz_input.h"
#include "link/d2xx_unit.h"
#include "session/exchange.h"
#include "session/flasher.h"
#include "session/line_owner.h"

#include <cstdlib>
#include <deque>

namespace {

using namespace qeltx;

constexpr link::FtHandle kHandle = 1;

// Answers every write with the next answer of the input: a length byte, then that many bytes.
class ScriptedBootloader : public link::Driver {
public:
    explicit ScriptedBootloader(fuzz::FuzzInput& answers) : answers_(answers) {}

    core::FtStatus listDeviceCount(std::uint32_t& count) override { count = 1; return core::FT_OK; }
    core::FtStatus listSerialNumber(std::uint32_t, std::string& serial) override { serial = "FUZZ"; return core::FT_OK; }
    core::FtStatus listDescription(std::uint32_t, std::string& text) override { text = "fuzz"; return core::FT_OK; }
    core::FtStatus openBySerialNumber(const std::string&, link::FtHandle& handle) override { handle = kHandle; return core::FT_OK; }
    core::FtStatus close(link::FtHandle) override { return core::FT_OK; }
    core::FtStatus setBaudRate(link::FtHandle, std::uint32_t) override { return core::FT_OK; }
    core::FtStatus setDataCharacteristics(link::FtHandle, std::uint8_t, std::uint8_t, std::uint8_t) override { return core::FT_OK; }
    core::FtStatus getQueueStatus(link::FtHandle, std::uint32_t& rxBytes) override {
        rxBytes = static_cast<std::uint32_t>(pending_.size());
        return core::FT_OK;
    }
    // Answers are there the moment a frame is written, so there is nothing to wait for.
    core::FtStatus waitForQueue(link::FtHandle handle, std::uint32_t, std::uint32_t& rxBytes) override {
        return getQueueStatus(handle, rxBytes);
    }
    core::FtStatus read(link::FtHandle, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& bytesRead) override {
        bytesRead = 0;
        while (bytesRead < toRead && !pending_.empty()) {
            buffer[bytesRead++] = pending_.front();
            pending_.pop_front();
        }
        return core::FT_OK;
    }
    core::FtStatus write(link::FtHandle, const std::uint8_t*, std::uint32_t toWrite, std::uint32_t& written) override {
        written = toWrite;
        const auto answer = answers_.take(answers_.byte());
        pending_.insert(pending_.end(), answer.begin(), answer.end());
        return core::FT_OK;
    }
    core::FtStatus purge(link::FtHandle, std::uint32_t mask) override {
        if (mask & link::kPurgeRx) pending_.clear();
        return core::FT_OK;
    }
    std::string backendName() const override { return "fuzz"; }

private:
    fuzz::FuzzInput& answers_;
    std::deque<std::uint8_t> pending_;
};

class VirtualTime : public session::Timing {
public:
    void pause(int ms) override { now_ += ms; }
    void processEvents(int ms) override { now_ += ms > 0 ? ms : 1; }
    qint64 nowMs() override { return now_; }

private:
    qint64 now_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput answers(data, size);
    const std::uint8_t first = answers.byte();
    (void)core::bootloaderReplyText({&first, 1});
    (void)core::classifyBootloaderReply({&first, 1});

    ScriptedBootloader bootloader(answers);
    link::D2XXUnit usb(bootloader, [](const std::string&) {});
    usb.deviceHandle = kHandle;
    VirtualTime time;
    session::LineOwner line(time);
    const auto flashing = line.begin(session::ConversationKind::Flashing);
    session::Exchange exchange(usb, line, [](const QString&) {});
    session::Flasher flasher(usb, exchange, [](const QString&) {});
    // Short limits: an answer that never comes costs virtual milliseconds, one loop each.
    flasher.limits = {20, 20, 40, 20, 20};
    exchange.limits.quietGapMs = 10;

    const std::uint8_t image[] = {0x01, 0x02, 0x03, 0x04};
    const auto plan = session::planFlash(image, core::kFlashBase, 0);
    if (!plan) std::abort();
    if (const auto failure = flasher.run(*plan)) {
        if (failure->step.isEmpty()) std::abort();
        (void)failure->describe();
        (void)session::flashErrorText(failure->error);
    }
    return 0;
}
