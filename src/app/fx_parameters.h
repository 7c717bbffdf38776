// TformFXParameters: the parameter panel, a view of what the pedal holds. Every time it is
// shown it builds one row per parameter of the current algorithm (through the row builder), the
// footswitch rows and the read-back rows, and draws the model's values into them; closing
// destroys them all. A player's change goes to the pedal through the model.
#pragma once

#include "app/panel_rows.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;

namespace qeltx::core {
struct ControlLayout;
struct ParameterBlock;
struct PedalCommand;
enum class ControlHandling;
}

namespace qeltx::app {

class Editor;

inline constexpr int kHeadingHeight = 20;
inline constexpr int kStatusHeight = 52;

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
    QPushButton* compareButton() const { return btnCompare_; }

    // In bank mode the pedal's footswitches are fixed: bypass on FS, preset change on FL.
    void DisableBypassAndPresetAssignInBankMode();
    // After a read-back: a reverse box is usable while its control has an assignment, and
    // while it is ticked (so a flag the pedal keeps for an unassigned control can be cleared).
    void EnableRevCheckBoxes();
    // The assignments the boxes show become the ones Assign sends.
    void chooseShownAssignments();
    // Reverse flags turned on since the pedal last took or reported the assignments: when
    // Assign is declined they belong to assignments the pedal never got, and are turned off;
    // once the pedal took them they are confirmed.
    void takeBackUnconfirmedReverse();
    void confirmReverse();

    // Applying the pedal's parameter block (a read-back): what the pedal holds takes it, and
    // the panel draws it.
    void update_FXParameters(const core::ParameterBlock& block);
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
    // What the panel has to say about its values ("Values read from the pedal", how to read them).
    void showStatus(const QString& text);
    QString statusText() const;
    void receive_assignments_from_device(const core::ParameterBlock& block);
    void receive_reverse_data_from_device(const core::ParameterBlock& block);

    // The rows built for the current algorithm (none while the panel is closed).
    int numPots() const { return numPots_; }
    int numSwitches() const { return numSwitches_; }
    int numMultiSwitches() const { return numControls() - numPots_ - numSwitches_; }
    int numControls() const { return static_cast<int>(rows_.size()); }
    int numReadbacks() const { return static_cast<int>(readbackRows_.size()); }
    // Control i's row; nullptr outside the rows.
    const ControlRow* row(int i) const { return rowAt(i); }
    // The widgets of control i's row; nullptr where the row has none of that kind.
    QSlider* potTrackBar(int i) const;
    QLabel* potValueLabel(int i) const;
    QCheckBox* paramSwitch(int i) const;
    QPushButton* paramButton(int i) const;
    QComboBox* multiSwitchBox(int i) const;
    QLabel* nameLabel(int i) const;
    QLabel* stateLabel(int i) const;
    QComboBox* assignBox(int i) const;
    QCheckBox* reverseCheckBox(int i) const;
    QComboBox* readbackAssignBox(int j) const;
    QLabel* readbackLabel(int j) const;
    QComboBox* bypassAssignBox() const { return bypassRow_.box; }
    QComboBox* presetAssignBox() const { return presetRow_.box; }
    QLabel* bypassLabel() const { return bypassRow_.label; }
    QLabel* presetLabel() const { return presetRow_.label; }
    // Control i's parameter address on the pedal, from the algorithm's image.
    std::uint16_t parameterAddress(int i) const;
    // What the rows were built with: a multi-switch's option count (0 for other rows), whether
    // a two-state row is a button and whether it is held, a switch's state words.
    int optionCount(int i) const;
    bool isButton(int i) const { return rowOf<ButtonRow>(i) != nullptr; }
    bool buttonHeld(int i) const;
    QString offText(int i) const;
    QString onText(int i) const;

    // Whether the rows for the current algorithm exist.
    bool isBuilt() const { return built_ && bypassRow_.box != nullptr; }
    // Height of the rows' area for the counts just read: (N + R + 4) × 25 + 10.
    int panelHeight() const { return (numControls() + numReadbacks() + 4) * kRowPitch + kRowTop; }
    // The window: the headings, the rows' area and the status line.
    int windowHeight() const { return kHeadingHeight + panelHeight() + kStatusHeight; }
    // The area the rows are placed in (row r at y = 25·r + 10, as always).
    QWidget* rowsArea() const { return area_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Gives the keyboard to the first live control when no control of the window has it.
    void takeKeysIfNone();
    void clearPanel();
    // The parameter addresses in the header of the algorithm's image `base`.
    std::vector<std::uint16_t> readAddresses(const std::string& base);
    // The rows for `layout`, their handlers guarded by the editor.
    void buildRows(const core::ControlLayout& layout, const std::vector<std::uint16_t>& addresses);
    // Every command of the panel goes out as a live edit through the owner of the line.
    // `sentLine`, the console's record of it, is logged once it has gone out whole; a failed
    // send is told to the user instead.
    bool sendLive(const core::PedalCommand& command, const QString& sentLine = {});
    // The player changed control i (a pot, a switch, a multi-switch): sent through what the
    // pedal holds, and kept only when it went out whole; otherwise the control shows the
    // pedal's value again.
    void playerChanged(int i);
    void buttonPressed(int i, bool pressed);
    void assignmentChosen(int i);
    void reverseClicked(int i);
    void readbackAssignmentChosen(int j);
    void footswitchAssignmentChosen(bool bypassBox);
    // Draws the assignment boxes and reverse flags the editor knows; sends nothing.
    void showSettings();
    // The player's reverse flag for control i, sent as a live edit; the box shows the pedal's
    // flag again when it did not go out.
    void sendReverse(int i, bool on);
    // The mark in the title and the count in the status line, from what the pedal holds.
    void showDifferences();
    // While comparing, the rows are held and the status line says so.
    void showCompare();
    QString parameterName(int i) const;
    ControlRow* rowAt(int i) const;
    template <typename Row>
    Row* rowOf(int i) const {
        return dynamic_cast<Row*>(rowAt(i));
    }

    Editor& editor_;
    bool built_ = false;
    QScrollArea* scroll_ = nullptr;
    QWidget* area_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* btnCompare_ = nullptr;
    QString caption_;
    bool comparingShown_ = false;
    // Set while the panel itself sets the footswitch boxes for bank mode: not the player's choice.
    bool settingBankFootswitches_ = false;
    bool closePending_ = false;
    int numPots_ = 0;
    int numSwitches_ = 0;
    std::vector<std::uint16_t> addresses_;
    std::vector<std::unique_ptr<ControlRow>> rows_;
    std::vector<ChoiceRow> readbackRows_;
    ChoiceRow bypassRow_;
    ChoiceRow presetRow_;
    std::array<bool, kPanelSlots> reverseUnconfirmed_{};
};

}  // namespace qeltx::app
