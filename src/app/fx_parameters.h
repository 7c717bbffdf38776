// TformFXParameters: the parameter panel. Every time it is shown it reads the current
// algorithm's control layout and parameter addresses and builds one row per parameter, the
// footswitch rows, the read-back rows and the reverse boxes; closing destroys them all.
#pragma once

#include "core/commands.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;

namespace qeltx::core {
struct ParameterBlock;
enum class ControlHandling;
}

namespace qeltx::app {

class Editor;

inline constexpr int kPanelSlots = 16;
inline constexpr int kReadbackSlots = 4;
inline constexpr int kRowPitch = 25;
inline constexpr int kRowTop = 10;
inline constexpr int kPanelWidth = 420;
inline constexpr int kHeadingHeight = 20;
inline constexpr int kStatusHeight = 52;

// The fixed choices of the assignment, read-back and footswitch boxes; an entry's index is its
// code, except "--" which is 255.
inline const QStringList assignChoices = {"KI", "KII", "KIII", "KIV", "KV", "B1", "B2",
                                          "B3", "FS", "FL", "RMT", "EXP", "--"};
inline const QStringList readbackChoices = {"SX", "DX", "RED", "GREEN", "--"};
inline const QStringList footswitchChoices = {"FS", "FL", "RMT", "--"};

class TformFXParameters : public QWidget {
    Q_OBJECT
public:
    explicit TformFXParameters(Editor& editor);

    // Builds the panel for the current algorithm; false (with a message, no rows) when its
    // layout or image cannot be used.
    bool OnShow();
    void OnClose();
    void EnableDisableControls(bool AEnable);
    // Bypass on or off (0D 01 / 0D 00); false (told to the user) when it did not go out.
    bool bypass(bool setBypass);

    // The window's title: `caption`, marked "*" while a value differs from the sound stored on
    // the pedal.
    void setCaption(const QString& caption);
    const QString& caption() const { return caption_; }
    // The command that gives control i `value` (nothing for a button, or a value the control
    // cannot take).
    std::optional<core::PedalCommand> commandForValue(int i, std::int32_t value) const;
    // How the panel shows `value` of control i ("512", a switch's "On", a multi-switch's option).
    QString valueText(int i, std::int32_t value) const;
    // Compare with the sound stored on the pedal (Ctrl+Shift+C, also in the main window's Edit menu).
    QPushButton* btnCompare = nullptr;

    // Live messages for control i.
    void SendPotValue(int i);
    void SendSwitchValue(int i);
    void SendButtonValue(int i, bool pressed);
    void SendMultiSwitchValue(int i);
    void UpdateSwitchStateLabel(int i);

    // Event handlers, finding the sender's index in their table.
    void PotParameterChange(QObject* sender);
    void SwitchParameterClick(QObject* sender);
    void ButtonParameterPress(QObject* sender, bool pressed);
    void MultiSwitchOnChange(QObject* sender);
    void ReverseCheckBoxOnClick(QObject* sender);

    // Assignment boxes: their choices are only collected here; Assign sends them.
    void boxAssignOnChange(QObject* sender);
    void boxAssignRdbcksOnChange(QObject* sender);
    void boxAssignBypassOnChange();
    void boxAssignPresetOnChange();
    void AssignBoxChanged(int i);
    void ReadbackAssignChanged(int j);
    void FootswitchAssignChanged(bool bypassBox);
    // In bank mode the pedal's footswitches are fixed: bypass on FS, preset change on FL.
    void DisableBypassAndPresetAssignInBankMode();
    // After a read-back: a reverse box is usable while its control has an assignment, and
    // while it is ticked (so a flag the pedal keeps for an unassigned control can be cleared).
    void EnableRevCheckBoxes();
    // Reverse flags turned on since the pedal last took or reported the assignments: when
    // Assign is declined they belong to assignments the pedal never got, and are turned off;
    // once the pedal took them they are confirmed.
    void takeBackUnconfirmedReverse();
    void confirmReverse();

    // Applying the pedal's parameter block (a read-back): what the pedal holds takes it, and
    // the panel draws it.
    void update_FXParameters(const core::ParameterBlock& block);
    void setItems();
    // Draws the values the editor knows of the pedal into the controls; sends nothing.
    void showValues();
    // Draws value `value` into control i; sends nothing.
    void drawValue(int i, std::int32_t value);
    // The parameter value a report of the pedal's control i means (nothing for a button).
    std::optional<std::int32_t> reportedValue(int i, core::ControlHandling handling, std::uint16_t reported) const;
    // A panel built again for the algorithm whose values the editor knows shows those values.
    void showLastKnownValues();
    // The status line says that Request reads the pedal's values (automatic reading is off).
    void showReadBackHint();
    // The status line says the panel previews an algorithm the pedal does not hold (`stored`,
    // empty when unknown) and that Upload puts it there.
    void showPreviewNote(const QString& stored);
    void receive_assignments_from_device(const core::ParameterBlock& block);
    void receive_reverse_data_from_device(const core::ParameterBlock& block);

    // The code a box shows: its choice's code, or 255 for "--" and for no choice at all.
    static std::uint8_t assignCodeOf(const QComboBox* box);
    static std::uint8_t readbackCodeOf(const QComboBox* box);
    static std::uint8_t footswitchCodeOf(const QComboBox* box);

    // Panel state, rebuilt on every show.
    int numPots = 0;
    int numSwitches = 0;
    int numMultiSwitches = 0;
    int numControls = 0;
    int numReadbacks = 0;
    std::array<QString, kPanelSlots> controlLines;
    std::array<QString, kReadbackSlots> readbackNames;
    std::array<QString, kPanelSlots> offTexts;
    std::array<QString, kPanelSlots> onTexts;
    std::array<int, kPanelSlots> optionCounts{};
    std::array<bool, kPanelSlots> isButton{};
    std::array<std::uint8_t, kPanelSlots> buttonStates{};
    std::array<QString, kPanelSlots> paramAddresses;

    std::array<QSlider*, kPanelSlots> potTrackBars{};
    std::array<QCheckBox*, kPanelSlots> paramSwitches{};
    std::array<QPushButton*, kPanelSlots> paramButtons{};
    std::array<QComboBox*, kPanelSlots> multiSwitchBoxes{};
    std::array<QLabel*, kPanelSlots> nameLabels{};
    std::array<QLabel*, kPanelSlots> stateLabels{};
    // The number beside each pot (0..1023).
    std::array<QLabel*, kPanelSlots> potValueLabels{};
    std::array<QComboBox*, kPanelSlots> assignBoxes{};
    std::array<QCheckBox*, kPanelSlots> reverseCheckBoxes{};
    QComboBox* bypassAssignBox = nullptr;
    QComboBox* presetAssignBox = nullptr;
    QLabel* bypassLabel = nullptr;
    QLabel* presetLabel = nullptr;
    std::array<QComboBox*, kReadbackSlots> readbackAssignBoxes{};
    std::array<QLabel*, kReadbackSlots> readbackLabels{};
    QFrame* separatorLine = nullptr;

    // Whether the rows for the current algorithm exist.
    bool isBuilt() const { return built_ && bypassAssignBox != nullptr; }
    // Height of the rows' area for the counts just read: (N + R + 4) × 25 + 10.
    int panelHeight() const { return (numControls + numReadbacks + 4) * kRowPitch + kRowTop; }
    // The window: the headings, the rows' area and the status line.
    int windowHeight() const { return kHeadingHeight + panelHeight() + kStatusHeight; }
    // The area the rows are placed in (row r at y = 25·r + 10, as always).
    QWidget* rowsArea() const { return rows_; }
    // What the panel has to say about its values ("Values read from the pedal", how to read them).
    QLabel* lblPanelStatus = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void clearPanel();
    // The mark in the title and the count in the status line, from what the pedal holds.
    void showDifferences();
    // While comparing, the rows are held and the status line says so.
    void showCompare();
    QString parameterName(int i) const;
    QString caption_;
    bool comparingShown_ = false;
    // Set while the panel itself sets the footswitch boxes for bank mode: not the player's choice.
    bool settingBankFootswitches_ = false;
    // Every command of the panel goes out as a live edit through the owner of the line.
    // `sentLine`, the console's record of it, is logged once it has gone out whole; a failed
    // send is told to the user instead.
    bool sendLive(const core::PedalCommand& command, const QString& sentLine = {});
    // A player's change of control i: sent through what the pedal holds, and kept only when it
    // went out whole; otherwise the control shows the pedal's value again.
    bool changeValue(int i, std::int32_t value, const core::PedalCommand& command, const QString& sentLine);
    // Draws the assignment boxes and reverse flags the editor knows; sends nothing.
    void showSettings();
    // The player's reverse flag for control i, sent as a live edit; the box shows the pedal's
    // flag again when it did not go out.
    void sendReverse(int i, bool on);
    std::array<bool, kPanelSlots> reverseUnconfirmed{};
    QLabel* addLabel(const QString& text, int row, int x, int width, const QString& table, int index);
    QComboBox* addChoiceBox(const QStringList& choices, int row, const QString& table, int index);

    Editor& editor_;
    bool built_ = false;
    QScrollArea* scroll_ = nullptr;
    QWidget* rows_ = nullptr;
    bool closePending_ = false;
};

}  // namespace qeltx::app
