// The parameter panel's rows and their builder: where each widget sits, what it draws and what
// the player's use of it means for the pedal.
#include "app/panel_rows.h"

#include "app/switch_box.h"
#include "core/control_layout.h"
#include "core/parameter_block.h"
#include "core/pedal_messages.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

namespace qeltx::app {

namespace {

constexpr int kNameWidth = 150;
// Pot and two-state rows share their name column with the value readout or the state label,
// so their names stop where those begin.
constexpr int kShortNameWidth = 110;
constexpr int kMultiNameWidth = 100;
constexpr int kStateX = 120;
// The state label ends where the switch or button begins: it must never lie over the control.
constexpr int kStateWidth = 70;
constexpr int kPotValueWidth = 36;
constexpr int kValueX = 160;
constexpr int kSwitchX = 190;
constexpr int kSeparatorX = 280;
constexpr int kRowHeight = 20;
const QString kReverseHint = QStringLiteral("Toggle the Reverse function for the current parameter");

int rowTop(int row) { return kRowPitch * row + kRowTop; }

// What a screen reader says of a box that assigns `what`: "Drive assignment".
void nameAssignment(QWidget* box, const QString& what) {
    box->setAccessibleName(what + QStringLiteral(" assignment"));
    box->setAccessibleDescription(assignmentHint());
}

QString sentLine(const char* kind, int i, const core::PedalCommand& command) {
    return QStringLiteral("data sent ") + QLatin1String(kind) + QLatin1Char(' ') + QString::number(i) +
           QStringLiteral(": ") + QString::fromStdString(command.text);
}

}  // namespace

QString assignmentHint() {
    return QStringLiteral("The knob, button, footswitch or expression input of the pedal that drives the parameter "
                          "(sent with Assign)");
}

std::uint8_t assignCodeOf(const QComboBox* box) {
    const int index = box ? box->currentIndex() : -1;
    return index >= 0 && index < assignChoices.size() - 1 ? static_cast<std::uint8_t>(index) : kNoAssignment;
}

std::uint8_t readbackCodeOf(const QComboBox* box) {
    const int index = box ? box->currentIndex() : -1;
    return index >= 0 && index < readbackChoices.size() - 1 ? static_cast<std::uint8_t>(index) : kNoAssignment;
}

std::uint8_t footswitchCodeOf(const QComboBox* box) {
    const int index = box ? box->currentIndex() : -1;
    return index >= 0 && index < footswitchChoices.size() - 1 ? static_cast<std::uint8_t>(index + kFootswitchCodeOffset)
                                                              : kNoAssignment;
}

// Pots.

QWidget* PotRow::control() const { return bar_; }

void PotRow::draw(std::int32_t value) {
    const QSignalBlocker quiet(bar_);
    bar_->setValue(core::potPositionFromValue(value));
    showValue();
}

void PotRow::showValue() {
    readout_->setNum(bar_->value());
    bar_->setAccessibleDescription(nameLabel()->text() + QStringLiteral(": ") + QString::number(bar_->value()) +
                                   QStringLiteral(" of ") + QString::number(bar_->maximum()));
}

std::optional<PlayerChange> PotRow::playerChange() const {
    const int value = bar_->value();
    const core::PedalCommand command = core::potCommand(address(), value);
    return PlayerChange{value, command, sentLine("pot", index(), command)};
}

std::optional<std::int32_t> PotRow::reported(core::ControlHandling handling, std::uint16_t value) {
    if (handling == core::ControlHandling::Continuous) return static_cast<std::int32_t>(value);
    return std::nullopt;
}

// Switches.

QWidget* SwitchRow::control() const { return switch_; }
QCheckBox* SwitchRow::box() const { return switch_; }

void SwitchRow::draw(std::int32_t value) {
    {
        const QSignalBlocker quiet(switch_);
        if (const auto on = core::switchStateFromValue(value)) switch_->setChecked(*on);
    }
    showState();
}

std::optional<PlayerChange> SwitchRow::playerChange() const {
    const bool on = switch_->isChecked();
    const core::PedalCommand command = core::switchCommand(address(), on);
    return PlayerChange{on ? static_cast<std::int32_t>(core::kOnValue) : 0, command, sentLine("switch", index(), command)};
}

std::optional<std::int32_t> SwitchRow::reported(core::ControlHandling handling, std::uint16_t value) {
    if (handling != core::ControlHandling::OnOff) return std::nullopt;
    return core::onOffFromReport(value) ? static_cast<std::int32_t>(core::kOnValue) : 0;
}

void SwitchRow::showState() {
    const QString& words = switch_->isChecked() ? onText_ : offText_;
    state_->setText(words);
    // The state words, as the screen reader says them; the check box announces the change.
    switch_->setAccessibleDescription(nameLabel()->text() + QStringLiteral(": ") + words + QStringLiteral(" (") + offText_ +
                                      QStringLiteral(" or ") + onText_ + QLatin1Char(')'));
}

// Buttons.

QWidget* ButtonRow::control() const { return button_; }

std::optional<std::int32_t> ButtonRow::reported(core::ControlHandling handling, std::uint16_t value) {
    // The press is shown as the pedal's button is held, and kept nowhere.
    if (handling == core::ControlHandling::OnOff) button_->setDown(core::onOffFromReport(value));
    return std::nullopt;
}

PlayerChange ButtonRow::press(bool pressed) {
    held_ = pressed;
    const core::PedalCommand command = core::buttonCommand(address(), pressed);
    return PlayerChange{pressed ? 1 : 0, command, sentLine("button", index(), command)};
}

// Multi-switches.

QWidget* MultiSwitchRow::control() const { return box_; }

void MultiSwitchRow::draw(std::int32_t value) {
    const QSignalBlocker quiet(box_);
    box_->setCurrentIndex(core::multiSwitchOptionFromValue(value, optionCount_).value_or(-1));
}

std::optional<PlayerChange> MultiSwitchRow::playerChange() const {
    const int option = box_->currentIndex();
    const auto command = core::multiSwitchCommand(address(), optionCount_, option);
    if (!command) return std::nullopt;  // no option chosen
    const auto step = core::multiSwitchStep(optionCount_);
    return PlayerChange{static_cast<std::int32_t>(step.value_or(0)) * option, *command,
                        sentLine("multiswitch", index(), *command)};
}

std::optional<std::int32_t> MultiSwitchRow::reported(core::ControlHandling handling, std::uint16_t value) {
    // The pedal reports the knob's position, which the row shows as its option.
    if (handling == core::ControlHandling::Continuous && core::multiSwitchOptionFromReport(value, optionCount_)) {
        return static_cast<std::int32_t>(value);
    }
    return std::nullopt;
}

// The builder.

PanelRowBuilder::PanelRowBuilder(QWidget* area, bool live, RowActions actions, std::function<void(const QString&)> log)
    : area_(area), live_(live), actions_(std::move(actions)), log_(std::move(log)) {}

QLabel* PanelRowBuilder::label(const QString& text, int row, int x, int width, const QString& objectName) {
    auto* label = new QLabel(text, area_);
    label->setObjectName(objectName);
    label->setGeometry(x, rowTop(row), width, kRowHeight);
    label->setToolTip(text);
    label->show();
    return label;
}

QComboBox* PanelRowBuilder::choiceBox(const QStringList& choices, int row, const QString& objectName) {
    auto* box = new QComboBox(area_);
    box->setObjectName(objectName);
    box->setGeometry(kChoiceX, rowTop(row), 70, kRowHeight);
    box->addItems(choices);
    box->setCurrentIndex(-1);
    box->setEnabled(live_);
    box->show();
    return box;
}

std::vector<std::unique_ptr<ControlRow>> PanelRowBuilder::controlRows(const core::ControlLayout& layout,
                                                                      const std::vector<std::uint16_t>& addresses) {
    const int pots = layout.counts.pots;
    const int twoState = layout.counts.switches;
    std::vector<std::unique_ptr<ControlRow>> rows;
    for (int i = 0; i < layout.counts.controls(); ++i) {
        const std::uint16_t address = static_cast<std::size_t>(i) < addresses.size() ? addresses[static_cast<std::size_t>(i)] : 0;
        std::unique_ptr<ControlRow> row;
        if (i < pots) row = potRow(i, QString::fromStdString(layout.controlLines[static_cast<std::size_t>(i)]), address);
        else if (i < pots + twoState) row = twoStateRow(i, layout, address);
        else row = multiSwitchRow(i, layout, address);
        finishRow(*row);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::unique_ptr<ControlRow> PanelRowBuilder::potRow(int i, const QString& name, std::uint16_t address) {
    auto row = std::make_unique<PotRow>(i, address);
    row->name_ = label(name, i, kNameX, kShortNameWidth, QStringLiteral("nameLabels") + QString::number(i));
    QLabel* readout = label(QStringLiteral("0"), i, kPotValueX, kPotValueWidth, QStringLiteral("potValueLabels") + QString::number(i));
    readout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    readout->setToolTip(QString());
    row->readout_ = readout;
    auto* bar = new QSlider(Qt::Horizontal, area_);
    bar->setObjectName(QStringLiteral("potTrackBars") + QString::number(i));
    bar->setGeometry(kValueX, rowTop(i), 100, kRowHeight);
    bar->setRange(0, static_cast<int>(core::kPotMax));
    bar->setEnabled(live_);
    bar->setAccessibleName(name);
    row->name_->setBuddy(bar);
    row->bar_ = bar;
    // The readout follows the slider whoever moves it: the player, a read-back, the pedal.
    QObject::connect(bar, &QSlider::valueChanged, readout, [pot = row.get()] { pot->showValue(); });
    QObject::connect(bar, &QSlider::valueChanged, bar, [changed = actions_.changed, i] { changed(i); });
    bar->show();
    row->showValue();
    return row;
}

std::unique_ptr<ControlRow> PanelRowBuilder::twoStateRow(int i, const core::ControlLayout& layout, std::uint16_t address) {
    const core::TwoStateRow& line = layout.twoStateRows[static_cast<std::size_t>(i - layout.counts.pots)];
    const QString name = QString::fromStdString(line.name);
    const QString number = QString::number(i);
    QLabel* nameLabel = label(name, i, kNameX, kShortNameWidth, QStringLiteral("nameLabels") + number);
    if (line.isButton) {
        auto row = std::make_unique<ButtonRow>(i, address);
        row->name_ = nameLabel;
        row->state_ = label(QString(), i, kStateX, kStateWidth, QStringLiteral("stateLabels") + number);
        auto* button = new QPushButton(name, area_);
        button->setObjectName(QStringLiteral("paramButtons") + number);
        button->setGeometry(kSwitchX, rowTop(i), 50, kRowHeight);
        button->setEnabled(live_);
        // A click leaves the keyboard where it was, so Space held for the pedal's button is never
        // pressed again by accident; Tab still reaches it, and it keeps the focus after Space.
        button->setFocusPolicy(Qt::TabFocus);
        QObject::connect(button, &QPushButton::pressed, button, [pressed = actions_.buttonPressed, i] { pressed(i, true); });
        QObject::connect(button, &QPushButton::released, button, [pressed = actions_.buttonPressed, i] { pressed(i, false); });
        button->setAccessibleName(name);
        button->setAccessibleDescription(name + QStringLiteral(": held on the pedal while pressed"));
        nameLabel->setBuddy(button);
        button->show();
        row->button_ = button;
        return row;
    }
    auto row = std::make_unique<SwitchRow>(i, address, QString::fromStdString(line.offLabel), QString::fromStdString(line.onLabel));
    log_(row->offText());
    log_(row->onText());
    row->name_ = nameLabel;
    row->state_ = label(row->offText(), i, kStateX, kStateWidth, QStringLiteral("stateLabels") + number);
    row->state_->setToolTip(QString());
    auto* sw = new SwitchBox(area_);
    sw->setObjectName(QStringLiteral("paramSwitches") + number);
    sw->setGeometry(kSwitchX, rowTop(i), 40, kRowHeight);
    sw->setEnabled(live_);
    QObject::connect(sw, &QCheckBox::clicked, sw, [changed = actions_.changed, i] { changed(i); });
    sw->setAccessibleName(name);
    nameLabel->setBuddy(sw);
    sw->show();
    row->switch_ = sw;
    row->showState();
    clickThrough(row->state_, sw);
    return row;
}

std::unique_ptr<ControlRow> PanelRowBuilder::multiSwitchRow(int i, const core::ControlLayout& layout, std::uint16_t address) {
    const auto& line = layout.multiSwitchRows[static_cast<std::size_t>(i - layout.counts.pots - layout.counts.switches)];
    auto row = std::make_unique<MultiSwitchRow>(i, address, static_cast<int>(line.options.size()));
    QLabel* name = label(QString::fromStdString(line.name), i, kNameX, kMultiNameWidth, QStringLiteral("nameLabels") + QString::number(i));
    name->setWordWrap(true);
    row->name_ = name;
    auto* box = new QComboBox(area_);
    box->setObjectName(QStringLiteral("multiSwitchBoxes") + QString::number(i));
    box->setGeometry(kValueX, rowTop(i), 100, kRowHeight);
    box->setEnabled(live_);
    for (const std::string& option : line.options) {
        box->addItem(QString::fromStdString(option));
        log_(QString::fromStdString(option));
    }
    box->setCurrentIndex(-1);
    box->setAccessibleName(name->text());
    QStringList options;
    for (int k = 0; k < box->count(); ++k) options << box->itemText(k);
    box->setAccessibleDescription(name->text() + QStringLiteral(": one of ") + options.join(QStringLiteral(", ")));
    name->setBuddy(box);
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [changed = actions_.changed, i] { changed(i); });
    box->show();
    row->box_ = box;
    return row;
}

void PanelRowBuilder::finishRow(ControlRow& row) {
    const int i = row.index();
    QComboBox* assign = choiceBox(assignChoices, i, QStringLiteral("assignBoxes") + QString::number(i));
    QObject::connect(assign, &QComboBox::currentIndexChanged, assign, [chosen = actions_.assignmentChosen, i] { chosen(i); });
    nameAssignment(assign, row.nameLabel()->text());
    row.assign_ = assign;
    auto* reverse = new SwitchBox(area_);
    reverse->setObjectName(QStringLiteral("reverseCheckBoxes") + QString::number(i));
    reverse->setGeometry(kReverseX, rowTop(i), 20, kRowHeight);
    reverse->setToolTip(kReverseHint);
    reverse->setEnabled(false);
    reverse->setAccessibleName(row.nameLabel()->text() + QStringLiteral(" reverse"));
    reverse->setAccessibleDescription(kReverseHint);
    QObject::connect(reverse, &QCheckBox::toggled, reverse, [clicked = actions_.reverseClicked, i] { clicked(i); });
    reverse->show();
    row.reverse_ = reverse;
}

void PanelRowBuilder::separator(int controlCount) {
    auto* line = new QFrame(area_);
    line->setObjectName(QStringLiteral("separatorLine"));
    line->setFrameShape(QFrame::VLine);
    line->setGeometry(kSeparatorX, kRowTop, 1, static_cast<int>(controlCount * 24.5));
    line->show();
}

ChoiceRow PanelRowBuilder::choiceRow(const QString& name, const QStringList& choices, int row, const QString& labelName,
                                     const QString& boxName) {
    ChoiceRow made;
    made.label = label(name, row, kNameX, kNameWidth, labelName);
    made.box = choiceBox(choices, row, boxName);
    nameAssignment(made.box, name);
    made.label->setBuddy(made.box);
    return made;
}

}  // namespace qeltx::app
