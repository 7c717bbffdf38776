// The rows of the parameter panel: one row type per kind of control (pot, switch, button,
// multi-switch), the footswitch and read-back rows, and the builder that lays them out from an
// algorithm's control layout. A row draws values and reports the player's use of its controls;
// it sends nothing itself.
#pragma once

#include "core/commands.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QWidget;

namespace qeltx::core {
struct ControlLayout;
enum class ControlHandling;
}

namespace qeltx::app {

class SwitchBox;

inline constexpr int kPanelSlots = 16;
inline constexpr int kReadbackSlots = 4;
inline constexpr int kRowPitch = 25;
inline constexpr int kRowTop = 10;
inline constexpr int kPanelWidth = 420;
// Where the columns of every row begin.
inline constexpr int kNameX = 10;
inline constexpr int kPotValueX = 120;  // a pot's number; a switch's words
inline constexpr int kChoiceX = 300;
inline constexpr int kReverseX = 380;

// The code of "--" in every box, and where the footswitch codes begin (FS is 8).
inline constexpr std::uint8_t kNoAssignment = 255;
inline constexpr int kFootswitchCodeOffset = 8;

// The fixed choices of the assignment, read-back and footswitch boxes; an entry's index is its
// code, except "--" which is 255.
inline const QStringList assignChoices = {"KI", "KII", "KIII", "KIV", "KV", "B1", "B2",
                                          "B3", "FS", "FL", "RMT", "EXP", "--"};
inline const QStringList readbackChoices = {"SX", "DX", "RED", "GREEN", "--"};
inline const QStringList footswitchChoices = {"FS", "FL", "RMT", "--"};

// What the assignment column is for, as its heading's tip and every assignment box's description.
QString assignmentHint();

// The code a box shows: its choice's code, or 255 for "--" and for no choice at all.
std::uint8_t assignCodeOf(const QComboBox* box);
std::uint8_t readbackCodeOf(const QComboBox* box);
std::uint8_t footswitchCodeOf(const QComboBox* box);

// A change the player made on a row: the value the pedal is to hold, the command that says it
// and the console's record of it.
struct PlayerChange {
    std::int32_t value = 0;
    core::PedalCommand command;
    QString sentLine;
};

// What the player's use of a row asks of the panel, by control index.
struct RowActions {
    std::function<void(int)> changed;              // a pot moved, a switch clicked, an option chosen
    std::function<void(int, bool)> buttonPressed;  // a button pressed (true) or released
    std::function<void(int)> assignmentChosen;
    std::function<void(int)> reverseClicked;
};

// One parameter's row: its name, its control, its assignment box and its reverse box.
class ControlRow {
public:
    virtual ~ControlRow() = default;
    ControlRow(const ControlRow&) = delete;
    ControlRow& operator=(const ControlRow&) = delete;

    int index() const { return index_; }
    std::uint16_t address() const { return address_; }
    QLabel* nameLabel() const { return name_; }
    QComboBox* assignBox() const { return assign_; }
    SwitchBox* reverseBox() const { return reverse_; }
    // The widget the player works the parameter with.
    virtual QWidget* control() const = 0;
    // Draws `value`, a parameter value as the pedal holds it; sends nothing.
    virtual void draw(std::int32_t value) = 0;
    // What the control now shows, as a change for the pedal; nothing when it shows no value
    // (a button, a multi-switch with no option chosen).
    virtual std::optional<PlayerChange> playerChange() const = 0;
    // The parameter value a report of the pedal's control means; nothing when the row keeps
    // none (a button shows the press and keeps nothing).
    virtual std::optional<std::int32_t> reported(core::ControlHandling handling, std::uint16_t value) = 0;

protected:
    ControlRow(int index, std::uint16_t address) : index_(index), address_(address) {}

private:
    friend class PanelRowBuilder;
    int index_;
    std::uint16_t address_;
    QLabel* name_ = nullptr;
    QComboBox* assign_ = nullptr;
    SwitchBox* reverse_ = nullptr;
};

class PotRow final : public ControlRow {
public:
    PotRow(int index, std::uint16_t address) : ControlRow(index, address) {}
    QWidget* control() const override;
    QSlider* bar() const { return bar_; }
    // The number beside the pot (0..1023).
    QLabel* readout() const { return readout_; }
    void draw(std::int32_t value) override;
    std::optional<PlayerChange> playerChange() const override;
    std::optional<std::int32_t> reported(core::ControlHandling handling, std::uint16_t value) override;
    // The readout and what a screen reader says of the pot follow its position.
    void showValue();

private:
    friend class PanelRowBuilder;
    QSlider* bar_ = nullptr;
    QLabel* readout_ = nullptr;
};

class SwitchRow final : public ControlRow {
public:
    SwitchRow(int index, std::uint16_t address, QString offText, QString onText)
        : ControlRow(index, address), offText_(std::move(offText)), onText_(std::move(onText)) {}
    QWidget* control() const override;
    QCheckBox* box() const;
    // The words beside the switch: its off or on text.
    QLabel* stateLabel() const { return state_; }
    const QString& offText() const { return offText_; }
    const QString& onText() const { return onText_; }
    void draw(std::int32_t value) override;
    std::optional<PlayerChange> playerChange() const override;
    std::optional<std::int32_t> reported(core::ControlHandling handling, std::uint16_t value) override;
    // The state words follow the switch.
    void showState();

private:
    friend class PanelRowBuilder;
    SwitchBox* switch_ = nullptr;
    QLabel* state_ = nullptr;
    QString offText_;
    QString onText_;
};

class ButtonRow final : public ControlRow {
public:
    ButtonRow(int index, std::uint16_t address) : ControlRow(index, address) {}
    QWidget* control() const override;
    QPushButton* button() const { return button_; }
    QLabel* stateLabel() const { return state_; }
    // A button holds no value: nothing is drawn and nothing kept.
    void draw(std::int32_t) override {}
    std::optional<PlayerChange> playerChange() const override { return std::nullopt; }
    std::optional<std::int32_t> reported(core::ControlHandling handling, std::uint16_t value) override;
    // The press (or release) as a command; the row remembers it as held or not.
    PlayerChange press(bool pressed);
    bool held() const { return held_; }

private:
    friend class PanelRowBuilder;
    QPushButton* button_ = nullptr;
    QLabel* state_ = nullptr;
    bool held_ = false;
};

class MultiSwitchRow final : public ControlRow {
public:
    MultiSwitchRow(int index, std::uint16_t address, int optionCount)
        : ControlRow(index, address), optionCount_(optionCount) {}
    QWidget* control() const override;
    QComboBox* box() const { return box_; }
    int optionCount() const { return optionCount_; }
    void draw(std::int32_t value) override;
    std::optional<PlayerChange> playerChange() const override;
    std::optional<std::int32_t> reported(core::ControlHandling handling, std::uint16_t value) override;

private:
    friend class PanelRowBuilder;
    QComboBox* box_ = nullptr;
    int optionCount_;
};

// A row of a name and a choice box: the footswitch rows and the read-back rows.
struct ChoiceRow {
    QLabel* label = nullptr;
    QComboBox* box = nullptr;
};

// Lays rows out in the panel's rows area (row r at y = 25·r + 10), in reading order, so that
// Tab walks them row by row. Every widget is a direct child of the area.
class PanelRowBuilder {
public:
    // `live`: whether the controls start enabled; `log` takes the console's lines of the build.
    PanelRowBuilder(QWidget* area, bool live, RowActions actions, std::function<void(const QString&)> log);

    // One row per control of `layout`, with the parameter addresses of the algorithm's image.
    std::vector<std::unique_ptr<ControlRow>> controlRows(const core::ControlLayout& layout,
                                                         const std::vector<std::uint16_t>& addresses);
    // The line between the controls' rows and the assignment column.
    void separator(int controlCount);
    // A named row with a choice box at row `row`; `choiceName` is the box's object name.
    ChoiceRow choiceRow(const QString& name, const QStringList& choices, int row, const QString& labelName,
                        const QString& boxName);

private:
    std::unique_ptr<ControlRow> potRow(int i, const QString& name, std::uint16_t address);
    std::unique_ptr<ControlRow> twoStateRow(int i, const core::ControlLayout& layout, std::uint16_t address);
    std::unique_ptr<ControlRow> multiSwitchRow(int i, const core::ControlLayout& layout, std::uint16_t address);
    // The assignment and reverse boxes every control row ends with.
    void finishRow(ControlRow& row);
    QLabel* label(const QString& text, int row, int x, int width, const QString& objectName);
    QComboBox* choiceBox(const QStringList& choices, int row, const QString& objectName);

    QWidget* area_;
    bool live_;
    RowActions actions_;
    std::function<void(const QString&)> log_;
};

}  // namespace qeltx::app
