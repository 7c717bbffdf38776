// The virtual pedal: fed with the bytes the editor writes, it answers with the bytes the
// pedal would send. It runs the normal-mode protocol over its algorithm, settings and
// EEPROMs, restarts into the serial bootloader, can be worked by hand as a person at the
// pedal would, and can misbehave on request.
#pragma once

#include "pedal_sim/algorithm_image.h"
#include "pedal_sim/bootloader.h"
#include "pedal_sim/catalogue_images.h"
#include "pedal_sim/clock.h"
#include "pedal_sim/line_settings.h"
#include "pedal_sim/memories.h"
#include "pedal_sim/normal_protocol.h"
#include "pedal_sim/pedal_settings.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qeltx::pedal_sim {

enum class PedalMode { Normal, Bootloader };

// Misbehaviour on request.
struct Faults {
    bool silent = false;           // takes every command, answers nothing
    bool garbage = false;          // every answer replaced by as many bytes of noise
    bool offBus = false;           // the bridge has dropped off USB: every driver call fails
    std::size_t splitReadsAt = 0;  // a read hands over at most this many bytes (0 = all)
    bool writeFails = false;       // every write fails (FT_IO_ERROR) and nothing reaches the pedal
    bool shortWrites = false;      // every write loses its last byte, and the driver says so (FT_OK)
};

struct PedalOptions {
    // The image the pedal holds at start. Without one: the algorithm `storedNumber` names,
    // else (with the default image source) the first algorithm of the catalogue, else none.
    std::optional<std::vector<std::uint8_t>> storedImage;
    // Algorithm number held at start, 0 = none; its image comes from `imageSource`, or a
    // minimal image carrying just the number when there is none.
    std::optional<std::uint8_t> storedNumber;
    ImageSource imageSource;  // default: the embedded catalogue
    std::uint32_t algorithmVersion = 1;
    std::uint32_t firmwareVersion = 1;
    bool startInBootloader = false;
};

// Physical controls, numbered as the pedal reports them in its control frames.
namespace control {
inline constexpr std::uint8_t kKnobFirst = 0;  // "KI" .. "KV" = 0 .. 4
inline constexpr std::uint8_t kKnobCount = 5;
inline constexpr std::uint8_t kB1 = 5;
inline constexpr std::uint8_t kB2 = 6;
inline constexpr std::uint8_t kB3 = 7;
inline constexpr std::uint8_t kFS = 8;
inline constexpr std::uint8_t kFL = 9;
inline constexpr std::uint8_t kRMT = 10;
inline constexpr std::uint8_t kEXP = 11;
inline constexpr std::uint16_t kFullScale = 1023;
}  // namespace control

// A parameter value word is the 10-bit value shifted left by 13; a switch that is on holds 1024.
inline constexpr std::uint32_t kValueScale = 8192;
inline constexpr std::uint32_t kSwitchOnWord = 1024 * kValueScale;
// The first line of the stored-effect answer when an algorithm is held.
inline constexpr std::uint32_t kStoredMarker = 1;
// Read from an erased EEPROM: no algorithm.
inline constexpr std::uint32_t kNothingStored = 255;

class PedalModel {
public:
    PedalModel();
    explicit PedalModel(PedalOptions options);
    // The bootloader works on this object's flash: the model stays where it was made.
    PedalModel(const PedalModel&) = delete;
    PedalModel& operator=(const PedalModel&) = delete;

    // ---- The wire, without time: bytes are taken and answered at once. ----
    // Bytes from the editor, as sent with `line` settings. Bytes framed differently from what
    // the pedal expects (parity, word length, stop bits, rate) arrive inverted, standing in
    // for the parity and framing errors a UART would flag.
    void receive(const std::uint8_t* data, std::size_t size, const LineSettings& line);
    // Bytes the pedal has sent and the host has not taken yet.
    std::deque<std::uint8_t>& output() { return output_; }
    // Everything the editor has written, in order, as written.
    const std::vector<std::uint8_t>& received() const { return received_; }
    // What the pedal's UART is set to: 8N1, or 8E1 in the bootloader.
    LineSettings expectedLine() const { return mode_ == PedalMode::Bootloader ? kBootloaderLine : kNormalLine; }

    // ---- Time and pace (used by the driver backend and the pseudo-terminal server). ----
    const Clock& clock() const { return *clock_; }
    // The virtual clock, or null once real time is in use.
    VirtualClock* virtualClock() { return virtualClock_; }
    void useRealTime();
    void setPacing(Pacing pacing) { pacing_ = pacing; }
    const Pacing& pacing() const { return pacing_; }

    // ---- Faults. ----
    Faults& faults() { return faults_; }
    const Faults& faults() const { return faults_; }
    // Refuse the k-th Write Memory of the bootloader from now on (1 = the next); 0 = none.
    void nackWrite(unsigned k) { bootloader_.nackWrite(k); }

    // ---- What the pedal holds. ----
    PedalMode mode() const { return mode_; }
    bool hasAlgorithm() const { return algorithm_.has_value(); }
    const std::optional<AlgorithmImage>& algorithm() const { return algorithm_; }
    std::uint8_t algorithmNumber() const { return algorithm_ ? algorithm_->number : 0; }
    std::uint32_t algorithmVersion() const { return algorithmVersion_; }
    std::uint32_t firmwareVersion() const { return firmwareVersion_; }
    // The value word control i holds, through the algorithm's address table.
    std::optional<std::uint32_t> controlValue(std::size_t i) const;
    // A word of the audio processor's parameter memory (0 where nothing was loaded).
    std::uint32_t parameterWord(std::uint16_t address) const;
    const PedalSettings& settings() const { return settings_; }
    const PedalRecord& record() const { return record_; }
    bool bypass() const { return bypass_; }
    bool live() const { return live_; }
    // The EEPROM at bus address 0x50 or 0x51; null for any other.
    Eeprom* eeprom(std::uint8_t busAddress);
    Flash& flash() { return flash_; }
    Bootloader& bootloader() { return bootloader_; }
    unsigned uploadsTaken() const { return uploadsTaken_; }
    unsigned uploadsRefused() const { return uploadsRefused_; }
    const std::string& lastUploadProblem() const { return lastUploadProblem_; }
    // The version the pedal reports for algorithms uploaded from now on (the image has none).
    void setUploadVersion(std::uint32_t version) { uploadVersion_ = version; }

    // ---- A person at the pedal. ----
    // Knob KI..KV (0..4) or the expression pedal to a position 0..1023: a control frame for
    // each parameter assigned to it (reverse flips the direction).
    void turnKnob(std::uint8_t knob, std::uint16_t position);
    void moveExpression(std::uint16_t position);
    // B1..B3, FS, FL, RMT (codes 5..10) pressed or released. B2 held across the restart
    // command starts the bootloader; FS/FL/RMT toggle bypass or change bank when so assigned.
    void setButton(std::uint8_t code, bool down);
    bool b2Held() const { return b2Held_; }
    // Bank change (reports "0" + index) and algorithm change (reports "1" + number in hex).
    void changeBank(std::uint8_t index);
    void changeAlgorithm(std::uint8_t number);
    // Power off and on: the firmware starts again from what the EEPROMs and flash hold, or,
    // with B2 held, the bootloader.
    void powerCycle();

private:
    void emit(std::span<const std::uint8_t> bytes);
    void emitText(std::string_view text);
    void startFirmware();
    void enterBootloader();
    void activate(std::optional<AlgorithmImage> image, std::uint32_t version, const std::optional<StoredSlot>& slot);
    void reportControl(std::uint8_t code, std::size_t index, std::uint16_t value);
    void continuousControl(std::uint8_t code, std::uint16_t position);

    // Normal-mode commands (normal_commands.cpp).
    void handleCommand(const std::vector<std::uint8_t>& command);
    void upload(const std::vector<std::uint8_t>& command);
    void answerRequest(std::uint8_t count);
    void answerQuery();
    void store();
    void assign(const std::vector<std::uint8_t>& command);
    void eepromRead(std::uint8_t busAddress);

    std::unique_ptr<Clock> ownedClock_;
    VirtualClock* virtualClock_ = nullptr;
    const Clock* clock_ = nullptr;
    Pacing pacing_;
    Faults faults_;
    ImageSource imageSource_;

    PedalMode mode_ = PedalMode::Normal;
    CommandFramer framer_;
    Flash flash_;
    Bootloader bootloader_{flash_};
    Eeprom settingsEeprom_;
    Eeprom banksEeprom_;

    std::optional<AlgorithmImage> algorithm_;
    std::map<std::uint16_t, std::uint32_t> parameterMemory_;
    std::uint32_t algorithmVersion_ = 0;
    std::uint32_t firmwareVersion_ = 0;
    std::uint32_t uploadVersion_ = 1;
    PedalSettings settings_;
    PedalRecord record_;
    bool bypass_ = false;
    bool live_ = false;
    bool b2Held_ = false;

    unsigned uploadsTaken_ = 0;
    unsigned uploadsRefused_ = 0;
    std::string lastUploadProblem_;
    std::uint32_t noise_ = 0x2545F491;

    std::deque<std::uint8_t> output_;
    std::vector<std::uint8_t> received_;
};

}  // namespace qeltx::pedal_sim
