// The pedal's answers to the editor's commands in normal operation.
#include "pedal_sim/pedal_model.h"

#include <algorithm>
#include <string>

namespace qeltx::pedal_sim {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr std::uint8_t kOn = 0x01;
constexpr std::size_t kAssignReadbacks = 1 + kMaxControls;
constexpr std::size_t kAssignBypass = kAssignReadbacks + kMaxReadbacks;
constexpr std::size_t kAssignPreset = kAssignBypass + 1;
constexpr std::uint8_t kQueryArgument = 0x00;

}  // namespace

void PedalModel::handleCommand(const std::vector<std::uint8_t>& c) {
    switch (c[0]) {
        case cmd::kParameter: {
            const auto address = static_cast<std::uint16_t>((c[1] << 8) | c[2]);
            parameterMemory_[address] = (std::uint32_t{c[3]} << 24) | (std::uint32_t{c[4]} << 16) |
                                        (std::uint32_t{c[5]} << 8) | c[6];
            return;
        }
        case cmd::kRequest: answerRequest(c[1]); return;
        case cmd::kStore: store(); return;
        case cmd::kAssign: assign(c); return;
        case cmd::kRestart:
            if (!std::equal(std::begin(kRestartTail), std::end(kRestartTail), c.begin() + 1)) return;
            if (b2Held_) {
                enterBootloader();
            } else {
                startFirmware();
            }
            return;
        case cmd::kQuery:
            if (c[1] == kQueryArgument) answerQuery();
            return;
        case cmd::kMidi: record_.midiChannel = c[1]; return;
        case cmd::kReverse:
            if (c[2] < kMaxControls) settings_.reverse[c[2]] = c[1];
            return;
        case cmd::kLive: live_ = c[1] == kOn; return;
        case cmd::kEepromErase:
            if (Eeprom* e = eeprom(c[1])) e->erase();
            // The settings the pedal works with go with their memory: the assignments and
            // reverse flags are what erasing "presets and assignments" promises to delete.
            if (c[1] == kEepromSettingsAddress) settings_ = PedalSettings{};
            return;
        case cmd::kEepromRead: eepromRead(c[1]); return;
        case cmd::kBypass: bypass_ = c[1] == kOn; return;
        default:
            if (isUpload(c[0])) upload(c);
            return;
    }
}

void PedalModel::upload(const std::vector<std::uint8_t>& command) {
    std::string problem;
    auto image = parseAlgorithmImage(command, &problem);
    const bool toBank = command[0] != cmd::kUploadPreset;
    const std::size_t bank = toBank ? command[0] - cmd::kUploadBank1 : 0;
    if (image) {
        const bool stored = toBank ? storeBankImage(banksEeprom_, bank, command)
                                   : storePresetImage(settingsEeprom_, command);
        if (!stored) {
            problem = toBank ? "image too large for a bank" : "image too large for the pedal";
            image.reset();
        }
    }
    if (!image) {
        ++uploadsRefused_;
        lastUploadProblem_ = problem;
        return;
    }
    if (toBank) {
        record_.mode = kModeBank;
        record_.bankOrPreset = static_cast<std::uint8_t>(bank);
        record_.bankVersions[bank] = uploadVersion_;
    } else {
        record_.mode = kModePreset;
        record_.presetVersion = uploadVersion_;
    }
    storePedalRecord(settingsEeprom_, record_);
    // The new algorithm keeps the pedal's assignments and flags until they are stored or reset.
    const PedalSettings kept = settings_;
    activate(std::move(image), uploadVersion_, std::nullopt);
    settings_ = kept;
    ++uploadsTaken_;
    emitText(kUploadComplete);
}

void PedalModel::answerRequest(std::uint8_t count) {
    const std::size_t n = std::min<std::size_t>(count, kMaxControls);
    std::vector<std::uint8_t> block;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t word = controlValue(i).value_or(0);
        for (int shift = 24; shift >= 0; shift -= 8) block.push_back(static_cast<std::uint8_t>(word >> shift));
    }
    block.insert(block.end(), settings_.assignments.begin(), settings_.assignments.end());
    block.push_back(settings_.bypassAssignment);
    block.push_back(settings_.presetAssignment);
    block.insert(block.end(), settings_.readbackAssignments.begin(), settings_.readbackAssignments.end());
    block.insert(block.end(), settings_.reverse.begin(), settings_.reverse.end());
    block.push_back(record_.mode);
    block.push_back(record_.bankOrPreset);
    block.push_back(record_.midiChannel);
    std::string text;
    for (std::uint8_t b : block) text += std::to_string(b) + kLineEnd;
    emitText(text);
}

void PedalModel::answerQuery() {
    const std::uint32_t marker = algorithm_ ? kStoredMarker : kNothingStored;
    const std::uint32_t number = algorithm_ ? algorithm_->number : kNothingStored;
    std::string text;
    for (std::uint32_t line : {marker, number, algorithmVersion_, firmwareVersion_}) {
        text += std::to_string(line) + kLineEnd;
    }
    emitText(text);
}

void PedalModel::store() {
    StoredSlot slot;
    slot.settings = settings_;
    for (std::size_t i = 0; i < kMaxControls; ++i) slot.values[i] = controlValue(i).value_or(0);
    storeSlot(settingsEeprom_, settingsSlot(record_.mode, record_.bankOrPreset), slot);
    storePedalRecord(settingsEeprom_, record_);
}

void PedalModel::assign(const std::vector<std::uint8_t>& c) {
    std::copy_n(c.begin() + 1, kMaxControls, settings_.assignments.begin());
    std::copy_n(c.begin() + kAssignReadbacks, kMaxReadbacks, settings_.readbackAssignments.begin());
    settings_.bypassAssignment = c[kAssignBypass];
    settings_.presetAssignment = c[kAssignPreset];
}

void PedalModel::eepromRead(std::uint8_t busAddress) {
    const Eeprom* e = eeprom(busAddress);
    if (!e) return;  // nothing answers on the bus at that address
    std::vector<std::uint8_t> frame;
    frame.reserve(1 + kEepromSize);
    frame.push_back(kEepromDumpFrame);
    frame.insert(frame.end(), e->bytes().begin(), e->bytes().end());
    emit(frame);
}

}  // namespace qeltx::pedal_sim
