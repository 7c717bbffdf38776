// The wait for the pedal's answer, on virtual time: the answer is read as it arrives and the
// wait ends the moment it is whole, with no pause before it; an answer that stops, or lacks a
// number, ends at the command's time limit; each says what it said before.
#include "core/commands.h"
#include "core/replies.h"
#include "one_device_driver.h"
#include "session/settings_conversation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace qeltx;

namespace {

class CountingTiming : public session::Timing {
public:
    qint64 now = 0;
    qint64 paused = 0;
    void pause(int ms) override {
        now += ms;
        paused += ms;
    }
    void processEvents(int ms) override { now += ms > 0 ? ms : 1; }
    qint64 nowMs() override { return now; }
};

// One piece of the pedal's answer and when, after the command was written, it can be read.
struct Piece {
    qint64 afterMs;
    std::string bytes;
};

// A bridge whose pedal answers every command with the same pieces, each readable from its time
// on the editor's own clock.
class ScriptedAnswerDriver : public qeltx::testing::OneDeviceDriver {
public:
    ScriptedAnswerDriver(CountingTiming& timing, std::vector<Piece> pieces) : timing_(timing), pieces_(std::move(pieces)) {}

    core::FtStatus getQueueStatus(link::FtHandle, std::uint32_t& rx) override {
        rx = static_cast<std::uint32_t>(readable());
        return core::FT_OK;
    }
    core::FtStatus waitForQueue(link::FtHandle h, std::uint32_t, std::uint32_t& rx) override { return getQueueStatus(h, rx); }
    core::FtStatus read(link::FtHandle, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& n) override {
        n = static_cast<std::uint32_t>(std::min<std::size_t>(toRead, readable()));
        std::copy_n(answer_.begin() + static_cast<std::ptrdiff_t>(taken_), n, buffer);
        taken_ += n;
        return core::FT_OK;
    }
    core::FtStatus write(link::FtHandle, const std::uint8_t*, std::uint32_t count, std::uint32_t& n) override {
        n = count;
        writtenAt = timing_.now;
        answer_.clear();
        arrivals_.clear();
        taken_ = 0;
        for (const Piece& piece : pieces_) {
            answer_ += piece.bytes;
            arrivals_.push_back({writtenAt + piece.afterMs, answer_.size()});
        }
        return core::FT_OK;
    }
    core::FtStatus purge(link::FtHandle, std::uint32_t mask) override {
        if (mask & link::kPurgeRx) taken_ = std::max(taken_, arrived());
        return core::FT_OK;
    }
    std::string backendName() const override { return "scripted"; }

    qint64 writtenAt = -1;

private:
    struct Arrival {
        qint64 at;
        std::size_t upTo;  // the answer's bytes readable from `at` on
    };
    std::size_t arrived() const {
        std::size_t n = 0;
        for (const Arrival& a : arrivals_) {
            if (a.at <= timing_.now) n = a.upTo;
        }
        return n;
    }
    std::size_t readable() const { return arrived() - std::min(arrived(), taken_); }

    CountingTiming& timing_;
    std::vector<Piece> pieces_;
    std::string answer_;
    std::vector<Arrival> arrivals_;
    std::size_t taken_ = 0;
};

// The editor's side of the line to the scripted pedal.
struct ScriptedLine {
    explicit ScriptedLine(std::vector<Piece> pieces) : driver(timing, std::move(pieces)) {
        usb.Open_USB_Device_By_Serial_Number(qeltx::testing::OneDeviceDriver::kSerial);
    }
    CountingTiming timing;
    ScriptedAnswerDriver driver;
    link::D2XXUnit usb{driver, [](const std::string&) {}};
    session::LineOwner owner{timing};
    QStringList log;
    session::Exchange exchange{usb, owner, [this](const QString& text) { log << text; }};
    session::PedalLine line{exchange, usb, owner, [this](const QString& text) { log << text; }};
    // How long the conversation took from the command's write to its end.
    qint64 took() const { return timing.now - driver.writtenAt; }
};

// The parameter block of an algorithm with 3 parameters and no read-backs: 53 numbers.
constexpr std::size_t kControls = 3;
constexpr std::size_t kNumbers = core::parameterBlockLength(kControls);

std::string numberLines(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += std::to_string((i * 37) % 256) + "\r\n";
    return text;
}

// The text cut into pieces of `lines` lines each, `everyMs` apart, the first after `firstMs`.
std::vector<Piece> inPieces(const std::string& text, std::size_t lines, qint64 firstMs, qint64 everyMs) {
    std::vector<Piece> pieces;
    std::size_t from = 0;
    qint64 at = firstMs;
    while (from < text.size()) {
        std::size_t to = from;
        for (std::size_t k = 0; k < lines && to < text.size(); ++k) to = text.find('\n', to) + 1;
        pieces.push_back({at, text.substr(from, to - from)});
        from = to;
        at += everyMs;
    }
    return pieces;
}

constexpr qint64 kFrameMs = 16;  // how often the wait lets the window run, on this clock

struct RequestCase {
    const char* name;
    std::vector<Piece> pieces;
    qint64 endsAfterMs;          // the earliest the wait may end, from the write
    qint64 endsByMs;             // the latest
    const char* refusal;         // the start of what the user is told; empty: accepted
};

TEST(ReplyWait, RequestEndsWhenItsNumbersHaveComeOrAtItsLimit) {
    const std::string whole = numberLines(kNumbers);
    const std::string shortByOne = numberLines(kNumbers - 1);
    const qint64 limit = core::kRequestSpec.replyLimitMs;
    const RequestCase cases[] = {
        {"whole", {{5, whole}}, 5, 5 + kFrameMs, ""},
        // A line every 3 ms: the last of 53 comes after 161 ms.
        {"in pieces", inPieces(whole, 1, 5, 3), 161, 161 + kFrameMs, ""},
        {"stops half-way", {{5, numberLines(kNumbers / 2)}}, limit, limit,
         "parameter block refused: 26 bytes received, 53 expected for 3 parameters"},
        {"one number less", inPieces(shortByOne, 10, 5, 10), limit, limit,
         "parameter block refused: 52 bytes received, 53 expected"},
        {"one number more", {{5, numberLines(kNumbers + 1)}}, 5, 5 + kFrameMs,
         "parameter block refused: 54 bytes received, 53 expected"},
        {"garbage first", {{5, "\xA5\x13" + whole}}, 5, 5 + kFrameMs,
         "The pedal's parameters were not understood: reply refused: line 1 is not a decimal number"},
        {"garbage line first", {{5, "#?\r\n" + whole}}, 5, 5 + kFrameMs,
         "The pedal's parameters were not understood: reply refused: line 1 is not a decimal number"},
        {"nothing", {}, limit, limit, "The pedal did not answer Request in time"},
    };
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedLine scripted(c.pieces);
        const auto block = session::requestParameterBlock(scripted.line, kControls, 0);
        EXPECT_GE(scripted.took(), c.endsAfterMs);
        EXPECT_LE(scripted.took(), c.endsByMs);
        EXPECT_EQ(scripted.timing.paused, 0);  // nothing waits blind
        if (std::string(c.refusal).empty()) {
            ASSERT_TRUE(block.ok()) << block.reason();
            EXPECT_EQ(block->values.size(), kControls);
            EXPECT_EQ(block->midiChannel, (52 * 37) % 256);  // the last number
            EXPECT_TRUE(scripted.log.contains(QStringLiteral("num of bytes received: 53")));
        } else {
            ASSERT_FALSE(block.ok());
            EXPECT_EQ(block.reason().rfind(c.refusal, 0), 0u) << block.reason();
        }
    }
}

TEST(ReplyWait, ANumberTooManyInTheAnswerIsKeptForTheCallerToRefuse) {
    // The surplus arrives with the rest: the wait ends at once and hands over every number, so
    // the editor's Request can refuse a block one number longer than asked for.
    ScriptedLine scripted({{5, numberLines(kNumbers + 1)}});
    ASSERT_TRUE(scripted.exchange.send(core::requestCommand(kControls)));
    const session::Drained reply = scripted.exchange.drainReply(
        [](std::span<const std::uint8_t> bytes) { return core::isNumericReplyComplete(bytes, kNumbers); },
        core::kRequestSpec.replyLimitMs);
    EXPECT_EQ(reply.outcome, session::DrainOutcome::Complete);
    EXPECT_LE(scripted.took(), 5 + kFrameMs);
    const auto decoded = core::DecodeReplyNumbers(reply.bytes);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded->values.size(), kNumbers + 1);
}

TEST(ReplyWait, TheStoredEffectQueryEndsWithItsFourthLine) {
    struct Case {
        const char* name;
        std::vector<Piece> pieces;
        qint64 endsAfterMs;
        qint64 endsByMs;
        const char* refusal;
    };
    const qint64 limit = core::kStoredEffectQuerySpec.replyLimitMs;
    const Case cases[] = {
        {"whole", {{3, "1\r\n43\r\n2\r\n9\r\n"}}, 3, 3 + kFrameMs, ""},
        {"a line at a time", inPieces("1\r\n43\r\n2\r\n9\r\n", 1, 3, 40), 123, 123 + kFrameMs, ""},
        {"stops after two lines", {{3, "1\r\n43\r\n"}}, limit, limit,
         "The pedal's answer to the stored-effect query was not understood"},
        {"nothing", {}, limit, limit, "The pedal did not answer the stored-effect query in time"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedLine scripted(c.pieces);
        const auto reply = session::queryStoredEffect(scripted.line);
        EXPECT_GE(scripted.took(), c.endsAfterMs);
        EXPECT_LE(scripted.took(), c.endsByMs);
        EXPECT_EQ(scripted.timing.paused, 0);
        if (std::string(c.refusal).empty()) {
            ASSERT_TRUE(reply.ok()) << reply.reason();
            EXPECT_EQ(reply->effectNumber, 43u);
            EXPECT_EQ(reply->firmwareVersion, 9u);
        } else {
            ASSERT_FALSE(reply.ok());
            EXPECT_EQ(reply.reason().rfind(c.refusal, 0), 0u) << reply.reason();
        }
    }
}

TEST(ReplyWait, WithoutAKnownEndASilenceEndsTheReply) {
    ScriptedLine scripted({{5, "Upload"}, {20, " complete"}});
    ASSERT_TRUE(scripted.exchange.send(core::bypassCommand(true)));
    const session::Drained reply = scripted.exchange.drainReply({});
    EXPECT_EQ(reply.outcome, session::DrainOutcome::Complete);
    EXPECT_EQ(std::string(reply.bytes.begin(), reply.bytes.end()), "Upload complete");
    // The last byte came at 20 ms (seen at 32 ms); the silence after it ends the wait.
    EXPECT_GE(scripted.took(), 32 + scripted.exchange.limits.quietGapMs);
    EXPECT_LT(scripted.took(), 32 + scripted.exchange.limits.quietGapMs + kFrameMs);
}

}  // namespace
