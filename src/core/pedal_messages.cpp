// Taking the poll's reads apart into the pedal's messages.
#include "core/pedal_messages.h"

#include "core/commands.h"
#include "core/errors.h"
#include "core/hex.h"
#include "core/replies.h"

#include <algorithm>
#include <limits>

namespace qeltx::core {

namespace {

constexpr char kBankReportPrefix = '0';
constexpr char kAlgorithmReportPrefix = '1';
constexpr std::uint8_t kErasedByte = 0xFF;
constexpr std::uint8_t kLastContinuousKnob = 4;   // "KV"
constexpr std::uint8_t kLastOnOffControl = 10;    // "RMT"
constexpr std::uint8_t kExpressionInput = 11;     // "EXP"

bool startsMessage(std::uint8_t b) { return b == kControlFrameStart || b == kEepromDumpStart; }

std::string_view withoutTrailingLineEnds(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
    return text;
}

UnconvertibleReport unconvertible(std::string_view text, const std::string& what) {
    return {std::string(text), what + " '" + std::string(text) + "' does not convert: ignored"};
}

// Appends the message one text makes, if any. Messages are emplaced throughout: GCC 12 at -O2
// warns (-Wmaybe-uninitialized, falsely) on pushing a temporary variant.
void appendTextMessage(std::string_view raw, std::vector<PedalMessage>& out) {
    const std::string_view text = withoutTrailingLineEnds(raw);
    if (text.empty()) return;
    if (text.front() == kBankReportPrefix) {
        if (auto index = decimalDigitsToNumber(text.substr(1))) {
            out.emplace_back(BankReport{*index});
        } else {
            out.emplace_back(unconvertible(text, "bank report"));
        }
        return;
    }
    if (text.front() == kAlgorithmReportPrefix) {
        std::uint32_t number = 0;
        bool converts = true;
        try {
            number = hexTextToNumber(text.substr(1));
        } catch (const ConversionError&) {
            converts = false;
        }
        if (converts && number <= std::numeric_limits<std::uint16_t>::max()) {
            out.emplace_back(AlgorithmReport{static_cast<std::uint16_t>(number)});
        } else {
            out.emplace_back(unconvertible(text, "algorithm report"));
        }
        return;
    }
    if (text == kUploadCompleteText) {
        out.emplace_back(UploadComplete{});
        return;
    }
    out.emplace_back(IgnoredBytes{std::vector<std::uint8_t>(raw.begin(), raw.end())});
}

}  // namespace

std::optional<PedalMessage> parsePedalText(std::string_view raw) {
    std::vector<PedalMessage> out;
    appendTextMessage(raw, out);
    if (out.empty()) return std::nullopt;
    return std::move(out.front());
}

std::vector<PedalMessage> PedalMessageReader::feed(std::span<const std::uint8_t> read) {
    std::vector<std::uint8_t> data = std::move(held_);
    held_.clear();
    data.insert(data.end(), read.begin(), read.end());

    std::vector<PedalMessage> out;
    std::size_t pos = 0;
    while (pos < data.size()) {
        const std::size_t available = data.size() - pos;
        const std::uint8_t first = data[pos];
        if (first == kControlFrameStart) {
            if (available < kControlFrameSize) break;
            out.emplace_back(ControlFrame{data[pos + 1], data[pos + 2],
                                       static_cast<std::uint16_t>((data[pos + 3] << 8) | data[pos + 4])});
            pos += kControlFrameSize;
        } else if (first == kEepromDumpStart) {
            if (available < kEepromDumpFrameSize) break;
            const auto begin = data.begin() + static_cast<std::ptrdiff_t>(pos + 1);
            out.emplace_back(EepromDump{std::vector<std::uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(kEepromSize))});
            pos += kEepromDumpFrameSize;
        } else {
            const auto end = std::find_if(data.begin() + static_cast<std::ptrdiff_t>(pos), data.end(), startsMessage);
            const auto endPos = static_cast<std::size_t>(end - data.begin());
            appendTextMessage(bytesAsText(std::span(data).subspan(pos, endPos - pos)), out);
            pos = endPos;
        }
    }
    held_.assign(data.begin() + static_cast<std::ptrdiff_t>(pos), data.end());
    return out;
}

bool PedalMessageReader::collectingDump() const { return !held_.empty() && held_.front() == kEepromDumpStart; }

std::string PedalMessageReader::discardHeld() {
    std::string line;
    if (collectingDump()) {
        line = "EEPROM dump incomplete: " + std::to_string(held_.size()) + " of " +
               std::to_string(kEepromDumpFrameSize) + " bytes received, discarded";
    } else if (!held_.empty()) {
        line = "incomplete control frame discarded: " + toHex(held_);
    }
    held_.clear();
    return line;
}

ControlHandling controlHandling(std::uint8_t code) {
    if (code <= kLastContinuousKnob || code == kExpressionInput) return ControlHandling::Continuous;
    if (code <= kLastOnOffControl) return ControlHandling::OnOff;
    return ControlHandling::None;
}

std::optional<int> multiSwitchOptionFromReport(std::uint16_t value, int optionCount) {
    const auto step = multiSwitchStep(optionCount);
    if (!step) return std::nullopt;
    int k = static_cast<int>(value / *step);
    if (k >= optionCount) --k;
    if (k >= optionCount) return std::nullopt;
    return k;
}

EepromAnswer readEepromAnswer(std::span<const std::uint8_t> received) {
    EepromAnswer answer;
    std::size_t at = 0;
    while (at < received.size() && received[at] == kControlFrameStart) at += kControlFrameSize;
    if (at >= received.size()) return answer;
    if (received[at] != kEepromDumpStart) {
        answer.kind = EepromAnswer::Kind::NoDump;
        return answer;
    }
    answer.kind = EepromAnswer::Kind::Dump;
    answer.dumpStart = at;
    answer.dumpReceived = std::min(received.size() - at, kEepromDumpFrameSize);
    return answer;
}

std::string eepromAnswerProblem(const EepromAnswer& answer) {
    switch (answer.kind) {
        case EepromAnswer::Kind::Waiting: return "no EEPROM dump came";
        case EepromAnswer::Kind::NoDump: return "the pedal's answer held no EEPROM dump";
        case EepromAnswer::Kind::Dump:
            if (answer.complete()) return {};
            return "the EEPROM dump stopped after " + std::to_string(answer.dumpReceived) + " of " +
                   std::to_string(kEepromDumpFrameSize) + " bytes";
    }
    return {};
}

bool isMemoryErased(const EepromDump& dump) {
    return std::all_of(dump.contents.begin(), dump.contents.end(), [](std::uint8_t b) { return b == kErasedByte; });
}

std::vector<std::string> eepromDumpLogLines(const EepromDump& dump) {
    std::vector<std::string> lines;
    lines.reserve(dump.contents.size());
    for (std::size_t p = 0; p < dump.contents.size(); ++p) {
        lines.push_back(std::to_string(p) + ": " + byteToHex(dump.contents[p]));
    }
    return lines;
}

}  // namespace qeltx::core
