// The virtual pedal: start-up, the byte path, memories and the person at the pedal.
#include "pedal_sim/pedal_model.h"

#include "core/hex.h"

namespace qeltx::pedal_sim {

namespace {

constexpr std::uint8_t kInvertMask = 0xFF;
// Noise for the garbage fault: a fixed linear congruential sequence, so runs repeat.
constexpr std::uint32_t kNoiseMultiplier = 1664525u;
constexpr std::uint32_t kNoiseIncrement = 1013904223u;
constexpr std::uint32_t kInitialStackPointer = 0x20005000;
constexpr std::uint32_t kResetHandler = 0x08000131;  // thumb address inside the first page
constexpr std::size_t kVectorCount = 16;

// What the factory puts in flash: a vector table and the firmware marker.
void factoryFirmware(Flash& flash, std::uint32_t firmwareVersion) {
    std::vector<std::uint8_t> vectors(4 * kVectorCount, 0);
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k) vectors[at + k] = static_cast<std::uint8_t>(v >> (8 * k));  // little-endian
    };
    put(0, kInitialStackPointer);
    for (std::size_t i = 1; i < kVectorCount; ++i) put(4 * i, kResetHandler);
    flash.write(kFlashBase, vectors);
    std::uint8_t marker[kFirmwareMarkerSize] = {};
    for (std::size_t k = 0; k < 4; ++k) marker[kFirmwareMarkerSize - 1 - k] = static_cast<std::uint8_t>(firmwareVersion >> (8 * k));
    flash.write(kFirmwareMarkerAddress, marker);
}

// The firmware reads its version from the marker; an erased marker reads as 0.
std::uint32_t firmwareVersionIn(const Flash& flash) {
    if (flash.isErased(kFirmwareMarkerAddress, kFirmwareMarkerSize)) return 0;
    auto m = flash.view(kFirmwareMarkerAddress, kFirmwareMarkerSize);
    std::uint32_t v = 0;
    for (std::size_t k = 4; k < kFirmwareMarkerSize; ++k) v = (v << 8) | m[k];
    return v;
}

}  // namespace

PedalModel::PedalModel() : PedalModel(PedalOptions{}) {}

PedalModel::PedalModel(PedalOptions options) {
    auto virtualClock = std::make_unique<VirtualClock>();
    virtualClock_ = virtualClock.get();
    clock_ = virtualClock_;
    ownedClock_ = std::move(virtualClock);
    const bool ownSource = static_cast<bool>(options.imageSource);
    imageSource_ = options.imageSource ? std::move(options.imageSource) : catalogueImageSource();

    factoryFirmware(flash_, options.firmwareVersion);

    std::optional<std::vector<std::uint8_t>> image = std::move(options.storedImage);
    if (!image) {
        std::optional<std::uint8_t> number = options.storedNumber;
        if (!number && !ownSource) number = firstCatalogueAlgorithm();
        if (number && *number != 0) {
            image = imageSource_(*number);
            if (!image || !parseAlgorithmImage(*image)) image = minimalImage(*number, 0);
        }
    }
    if (image && parseAlgorithmImage(*image)) {
        storePresetImage(settingsEeprom_, *image);
        PedalRecord record;
        record.presetVersion = options.algorithmVersion;
        storePedalRecord(settingsEeprom_, record);
    }
    startFirmware();
    if (options.startInBootloader) enterBootloader();
}

void PedalModel::useRealTime() {
    ownedClock_ = std::make_unique<SteadyClock>();
    clock_ = ownedClock_.get();
    virtualClock_ = nullptr;
}

Eeprom* PedalModel::eeprom(std::uint8_t busAddress) {
    if (busAddress == kEepromSettingsAddress) return &settingsEeprom_;
    if (busAddress == kEepromBanksAddress) return &banksEeprom_;
    return nullptr;
}

void PedalModel::receive(const std::uint8_t* data, std::size_t size, const LineSettings& line) {
    received_.insert(received_.end(), data, data + size);
    for (std::size_t k = 0; k < size; ++k) {
        // Per byte: a restart or Go inside one write changes what the UART expects.
        const bool garbled = !sameFraming(line, expectedLine());
        const std::uint8_t byte = garbled ? static_cast<std::uint8_t>(data[k] ^ kInvertMask) : data[k];
        if (mode_ == PedalMode::Bootloader) {
            std::vector<std::uint8_t> reply;
            const bool go = bootloader_.receive(byte, reply);
            emit(reply);
            if (go) startFirmware();
        } else if (auto command = framer_.feed(byte)) {
            handleCommand(*command);
        }
    }
}

void PedalModel::emit(std::span<const std::uint8_t> bytes) {
    if (faults_.silent) return;
    for (std::uint8_t b : bytes) {
        if (faults_.garbage) {
            noise_ = noise_ * kNoiseMultiplier + kNoiseIncrement;
            b = static_cast<std::uint8_t>(noise_ >> 24);
        }
        output_.push_back(b);
    }
}

void PedalModel::emitText(std::string_view text) {
    emit(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void PedalModel::startFirmware() {
    mode_ = PedalMode::Normal;
    framer_.reset();
    bootloader_.reset();
    bypass_ = false;
    live_ = false;
    firmwareVersion_ = firmwareVersionIn(flash_);
    const auto record = loadPedalRecord(settingsEeprom_);
    record_ = record.value_or(PedalRecord{});
    std::optional<AlgorithmImage> image;
    std::uint32_t version = kNothingStored;
    if (record_.mode == kModeBank && record_.bankOrPreset < kBankCount) {
        image = loadBankImage(banksEeprom_, record_.bankOrPreset);
        if (image) version = record_.bankVersions[record_.bankOrPreset];
    } else {
        image = loadPresetImage(settingsEeprom_);
        if (image) version = record ? record_.presetVersion : 1;
    }
    activate(std::move(image), version, loadSlot(settingsEeprom_, settingsSlot(record_.mode, record_.bankOrPreset)));
}

void PedalModel::enterBootloader() {
    mode_ = PedalMode::Bootloader;
    framer_.reset();
    bootloader_.reset();
}

void PedalModel::powerCycle() {
    output_.clear();
    // B2 (SAVE) held while the pedal powers up starts its bootloader instead of the firmware.
    if (b2Held_) {
        enterBootloader();
        return;
    }
    startFirmware();
}

void PedalModel::activate(std::optional<AlgorithmImage> image, std::uint32_t version,
                          const std::optional<StoredSlot>& slot) {
    algorithm_ = std::move(image);
    algorithmVersion_ = algorithm_ ? version : kNothingStored;
    parameterMemory_ = algorithm_ ? initialParameterWords(*algorithm_) : std::map<std::uint16_t, std::uint32_t>{};
    settings_ = slot ? slot->settings : PedalSettings{};
    if (slot && algorithm_) {
        for (std::size_t i = 0; i < algorithm_->controlCount; ++i) {
            parameterMemory_[algorithm_->addresses[i]] = slot->values[i];
        }
    }
}

std::optional<std::uint32_t> PedalModel::controlValue(std::size_t i) const {
    if (!algorithm_ || i >= kMaxControls) return std::nullopt;
    return parameterWord(algorithm_->addresses[i]);
}

std::uint32_t PedalModel::parameterWord(std::uint16_t address) const {
    auto it = parameterMemory_.find(address);
    return it == parameterMemory_.end() ? 0 : it->second;
}

// ---- A person at the pedal ----

void PedalModel::reportControl(std::uint8_t code, std::size_t index, std::uint16_t value) {
    const std::uint8_t frame[] = {kControlFrame, code, static_cast<std::uint8_t>(index),
                                  static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF)};
    emit(frame);
}

void PedalModel::continuousControl(std::uint8_t code, std::uint16_t position) {
    if (mode_ != PedalMode::Normal || !algorithm_) return;
    position = std::min(position, control::kFullScale);
    for (std::size_t i = 0; i < algorithm_->controlCount; ++i) {
        if (settings_.assignments[i] != code) continue;
        const std::uint16_t value =
            settings_.reverse[i] == kReverseOn ? static_cast<std::uint16_t>(control::kFullScale - position) : position;
        parameterMemory_[algorithm_->addresses[i]] = std::uint32_t{value} * kValueScale;
        reportControl(code, i, value);
    }
}

void PedalModel::turnKnob(std::uint8_t knob, std::uint16_t position) {
    if (knob >= control::kKnobCount) return;
    continuousControl(static_cast<std::uint8_t>(control::kKnobFirst + knob), position);
}

void PedalModel::moveExpression(std::uint16_t position) { continuousControl(control::kEXP, position); }

void PedalModel::setButton(std::uint8_t code, bool down) {
    if (code < control::kB1 || code > control::kRMT) return;
    if (code == control::kB2) b2Held_ = down;
    if (mode_ != PedalMode::Normal) return;
    if (algorithm_) {
        for (std::size_t i = 0; i < algorithm_->controlCount; ++i) {
            if (settings_.assignments[i] != code) continue;
            const bool on = down != (settings_.reverse[i] == kReverseOn);
            parameterMemory_[algorithm_->addresses[i]] = on ? kSwitchOnWord : 0;
            reportControl(code, i, on ? 1 : 0);
        }
    }
    if (!down) return;
    if (code == settings_.bypassAssignment) bypass_ = !bypass_;
    if (code == settings_.presetAssignment && record_.mode == kModeBank) {
        changeBank(static_cast<std::uint8_t>((record_.bankOrPreset + 1) % kBankCount));
    }
}

void PedalModel::changeBank(std::uint8_t index) {
    if (mode_ != PedalMode::Normal || index >= kBankCount) return;
    record_.mode = kModeBank;
    record_.bankOrPreset = index;
    auto image = loadBankImage(banksEeprom_, index);
    const std::uint32_t version = record_.bankVersions[index];
    activate(std::move(image), version, loadSlot(settingsEeprom_, settingsSlot(kModeBank, index)));
    emitText(std::string(1, static_cast<char>(kBankReportPrefix)) + std::to_string(index));
}

void PedalModel::changeAlgorithm(std::uint8_t number) {
    if (mode_ != PedalMode::Normal) return;
    auto bytes = imageSource_(number);
    std::optional<AlgorithmImage> image = bytes ? parseAlgorithmImage(*bytes) : std::nullopt;
    if (!image) image = parseAlgorithmImage(minimalImage(number, 0));
    record_.mode = kModePreset;
    record_.presetVersion = 1;
    storePresetImage(settingsEeprom_, image->bytes);
    storePedalRecord(settingsEeprom_, record_);
    activate(std::move(image), record_.presetVersion, std::nullopt);
    emitText(std::string(1, static_cast<char>(kAlgorithmReportPrefix)) + core::toHexDigits(number, 1));
}

}  // namespace qeltx::pedal_sim
