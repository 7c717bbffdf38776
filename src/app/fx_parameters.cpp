// The parameter panel: a view of what the pedal holds, built from the current algorithm's
// control layout at every show, and the path by which the player's changes reach the pedal.
#include "app/fx_parameters.h"

#include "app/edit_history.h"
#include "app/editor.h"
#include "app/main_window.h"
#include "app/stored_compare.h"
#include "app/switch_box.h"
#include "core/commands.h"
#include "core/control_layout.h"
#include "core/effect_image.h"
#include "core/hex.h"
#include "core/parameter_block.h"
#include "core/pedal_messages.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "session/pedal_state.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace qeltx::app {

namespace {

// A choice box's caption for `code` (its index; 255 and anything outside the list: "--").
QString choiceText(const QStringList& choices, int code) {
    return code >= 0 && code < choices.size() - 1 ? choices[code] : choices.last();
}

}  // namespace

TformFXParameters::TformFXParameters(Editor& editor) : QWidget(nullptr), editor_(editor) {
    setObjectName(QStringLiteral("formFXParameters"));
    setWindowTitle(QStringLiteral("FX Parameters"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
    // Headings over the columns, the rows (scrolling when the window is shorter than they
    // are), and a status line under them. The rows keep their places inside their own area.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* headings = new QWidget(this);
    headings->setObjectName(QStringLiteral("panelHeadings"));
    headings->setFixedHeight(kHeadingHeight);
    const std::array<std::pair<const char*, int>, 4> columns{{{"Parameter", kNameX}, {"Value", kPotValueX},
                                                               {"Assign", kChoiceX}, {"Rev.", kReverseX - 6}}};
    for (const auto& [caption, x] : columns) {
        auto* heading = new QLabel(QString::fromLatin1(caption), headings);
        heading->setObjectName(QStringLiteral("heading") + QString::fromLatin1(caption).remove(QLatin1Char('.')));
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        // Wide enough for the column's heading in any look's face (a look's sheet may set the font).
        heading->setGeometry(x, 0, caption[0] == 'R' ? 44 : 96, kHeadingHeight);
    }
    headings->findChild<QLabel*>(QStringLiteral("headingRev"))
        ->setToolTip(QStringLiteral("Reverse: the assigned control of the pedal runs the other way"));
    headings->findChild<QLabel*>(QStringLiteral("headingAssign"))
        ->setToolTip(assignmentHint());
    layout->addWidget(headings);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("panelScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    // Tab goes straight to the rows' controls, not to the area around them.
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_ = new QWidget;
    area_->setObjectName(QStringLiteral("panelRows"));
    area_->resize(kPanelWidth, kRowTop);
    scroll_->setWidget(area_);
    layout->addWidget(scroll_, 1);
    // The status line, and Compare beside it.
    auto* statusBar = new QWidget(this);
    statusBar->setFixedHeight(kStatusHeight);
    auto* statusLayout = new QHBoxLayout(statusBar);
    statusLayout->setContentsMargins(0, 0, kNameX, 0);
    status_ = new QLabel(statusBar);
    status_->setObjectName(QStringLiteral("lblPanelStatus"));
    status_->setWordWrap(true);
    status_->setContentsMargins(kNameX, 2, 4, 2);
    status_->setFixedHeight(kStatusHeight);
    statusLayout->addWidget(status_, 1);
    btnCompare_ = new QPushButton(QStringLiteral("Compare"), statusBar);
    btnCompare_->setObjectName(QStringLiteral("btnCompare"));
    btnCompare_->setCheckable(true);
    btnCompare_->setEnabled(false);
    btnCompare_->setToolTip(QStringLiteral("Hear the sound stored on the pedal, then press again for the edits (") +
                            compareKeys().toString(QKeySequence::NativeText) + QLatin1Char(')'));
    // The button shows the comparison; a click asks for it, and the comparison redraws the button.
    connect(btnCompare_, &QPushButton::clicked, this, editor_.guarded([this] {
        editor_.compare().toggle();
        showCompare();
    }));
    statusLayout->addWidget(btnCompare_);
    layout->addWidget(statusBar);
    resize(kPanelWidth, windowHeight());
    // The panel draws what the pedal holds, whichever way it changed.
    session::PedalState& pedal = editor_.pedal();
    connect(&pedal, &session::PedalState::valuesReplaced, this, [this] {
        if (isBuilt() && editor_.pedal().hasValuesFor(editor_.state.currentEffectName)) showValues();
    });
    connect(&pedal, &session::PedalState::valueChanged, this, [this](int i) {
        const session::PedalState& held = editor_.pedal();
        if (!isBuilt() || !held.hasValuesFor(editor_.state.currentEffectName)) return;
        if (i >= 0 && static_cast<std::size_t>(i) < held.values().size()) drawValue(i, held.values()[static_cast<std::size_t>(i)]);
    });
    connect(&pedal, &session::PedalState::settingsReplaced, this, [this] {
        if (isBuilt() && editor_.pedal().hasValuesFor(editor_.state.currentEffectName)) showSettings();
    });
    // Undo and redo change choices and reverse flags in what the pedal holds; the boxes follow.
    connect(&pedal, &session::PedalState::assignmentsChosen, this, [this] {
        if (isBuilt()) showSettings();
    });
    connect(&pedal, &session::PedalState::reverseFlagChanged, this, [this](int i) {
        const ControlRow* row = rowAt(i);
        if (!isBuilt() || !row) return;
        const QSignalBlocker quiet(row->reverseBox());
        if (const auto on = core::reverseFlagState(editor_.pedal().reverseFlags()[static_cast<std::size_t>(i)])) {
            row->reverseBox()->setChecked(*on);
        }
    });
    for (auto signal : {&session::PedalState::valuesReplaced, &session::PedalState::storedValuesReplaced,
                        &session::PedalState::algorithmChanged}) {
        connect(&pedal, signal, this, &TformFXParameters::showDifferences);
    }
    connect(&pedal, &session::PedalState::valueChanged, this, &TformFXParameters::showDifferences);
    connect(&editor_.compare(), &StoredSoundCompare::changed, this, &TformFXParameters::showCompare);
}

void TformFXParameters::setCaption(const QString& caption) {
    caption_ = caption;
    showDifferences();
}

void TformFXParameters::showDifferences() {
    const session::PedalState& pedal = editor_.pedal();
    const bool ours = isBuilt() && pedal.hasValuesFor(editor_.state.currentEffectName);
    const std::size_t differing = ours ? pedal.differencesFromStored().size() : 0;
    setWindowTitle(differing > 0 ? caption_ + QLatin1Char('*') : caption_);
    if (editor_.compare().comparing()) return;
    const QString differ = QStringLiteral(" from the sound stored on the pedal");
    if (differing > 0) {
        status_->setText(differing == 1 ? QStringLiteral("1 parameter differs") + differ
                                        : QString::number(differing) + QStringLiteral(" parameters differ") + differ);
    } else if (status_->text().endsWith(differ)) {
        status_->setText(QStringLiteral("The values are those of the sound stored on the pedal."));
    }
    btnCompare_->setEnabled(editor_.compare().available());
}

void TformFXParameters::showCompare() {
    const bool comparing = editor_.compare().comparing();
    {
        const QSignalBlocker quiet(btnCompare_);
        btnCompare_->setChecked(comparing);
    }
    btnCompare_->setEnabled(editor_.compare().available());
    // The rows are held while the pedal plays the stored sound: an edit now would be lost on
    // the way back.
    if (comparing != comparingShown_) {
        comparingShown_ = comparing;
        area_->setEnabled(!comparing);
        if (comparing) status_->setText(QStringLiteral("Comparing with the sound stored on the pedal"));
        else status_->clear();
    }
    showDifferences();
}

void TformFXParameters::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!built_) editor_.guard([this] { OnShow(); }, Editor::Source::TimerOrNetwork);
}

void TformFXParameters::closeEvent(QCloseEvent* event) {
    // Closed from inside a conversation's wait (the user closed the window meanwhile): the rows
    // it may be filling stay until it has ended, and the window closes then.
    session::LineOwner& line = editor_.line();
    if (line.insideWait() && line.busy()) {
        event->ignore();
        if (!closePending_) {
            closePending_ = true;
            editor_.whenIdle([this] {
                closePending_ = false;
                close();
            });
        }
        return;
    }
    editor_.guard([this] { OnClose(); }, Editor::Source::TimerOrNetwork);
    QWidget::closeEvent(event);
}

void TformFXParameters::hideEvent(QHideEvent* event) {
    // Hiding the window as a whole (not minimising it) is closing it: the rows go.
    if (!isMinimized() && built_) editor_.guard([this] { OnClose(); }, Editor::Source::TimerOrNetwork);
    QWidget::hideEvent(event);
}

bool TformFXParameters::OnShow() {
    clearPanel();
    built_ = true;
    const QString name = editor_.state.currentEffectName;
    // The steps of another algorithm's values mean nothing to this one.
    editor_.history().forAlgorithm(name);
    const std::string base = core::format_resource_name(name.toStdString());
    // A missing resource raises the editor's error, which ends the build here.
    const std::string layoutText = editor_.formMain()->loadResource(QString::fromStdString(base + "_ctrls"));
    const core::ControlLayoutResult parsed = core::parseControlLayoutText(name.toStdString(), layoutText);
    if (!parsed.layout) {
        const QString reason = QString::fromStdString(parsed.error);
        editor_.printToConsole(reason);
        editor_.dialogs().message(reason, session::MessageKind::Error);
        return false;
    }
    for (const std::string& line : core::layoutLogLines(*parsed.layout, core::splitLines(layoutText).front())) {
        editor_.printToConsole(QString::fromStdString(line));
    }
    buildRows(*parsed.layout, readAddresses(base));
    DisableBypassAndPresetAssignInBankMode();
    showLastKnownValues();
    return true;
}

std::vector<std::uint16_t> TformFXParameters::readAddresses(const std::string& base) {
    const std::vector<std::string> imageLines = core::splitLines(editor_.formMain()->loadResource(QString::fromStdString(base)));
    const std::string firstLine = imageLines.empty() ? std::string() : imageLines.front();
    editor_.printToConsole(QStringLiteral("resource name: ") + QString::fromStdString(base));
    editor_.printToConsole(QStringLiteral("content: ") + QString::fromStdString(firstLine));
    editor_.printToConsole(QStringLiteral("file content size: ") + QString::number(firstLine.size() / 2));
    std::vector<std::uint16_t> addresses;
    for (const std::string& field : core::parameterAddressFields(firstLine)) {
        editor_.printToConsole(QStringLiteral("parameter address: ") + QString::fromStdString(field));
        // Four hex digits; a short image leaves the field empty.
        addresses.push_back(static_cast<std::uint16_t>(core::hexTextToNumber(field)));
    }
    return addresses;
}

void TformFXParameters::buildRows(const core::ControlLayout& layout, const std::vector<std::uint16_t>& addresses) {
    RowActions actions;
    actions.changed = [this](int i) { editor_.guard([=, this] { playerChanged(i); }); };
    actions.buttonPressed = [this](int i, bool pressed) { editor_.guard([=, this] { buttonPressed(i, pressed); }); };
    actions.assignmentChosen = [this](int i) { editor_.guard([=, this] { assignmentChosen(i); }); };
    actions.reverseClicked = [this](int i) { editor_.guard([=, this] { reverseClicked(i); }); };
    PanelRowBuilder build(area_, editor_.state.panelShowsHeldAlgorithm, std::move(actions),
                          [this](const QString& line) { editor_.printToConsole(line); });
    numPots_ = layout.counts.pots;
    numSwitches_ = layout.counts.switches;
    addresses_ = addresses;
    rows_ = build.controlRows(layout, addresses);
    for (const auto& row : rows_) {
        const auto* pot = dynamic_cast<const PotRow*>(row.get());
        if (!pot) continue;
        // A drag from press to release is one step to undo.
        const auto slot = static_cast<std::size_t>(pot->index());
        connect(pot->bar(), &QSlider::sliderPressed, this, [this, slot] { editor_.history().beginDrag(slot); });
        connect(pot->bar(), &QSlider::sliderReleased, this, [this] { editor_.history().endDrag(); });
    }
    build.separator(numControls());
    const int n = numControls();
    bypassRow_ = build.choiceRow(QStringLiteral("Bypass Toggle"), footswitchChoices, n, QStringLiteral("bypassLabel"),
                                 QStringLiteral("bypassAssignBox"));
    presetRow_ = build.choiceRow(QStringLiteral("Preset Change"), footswitchChoices, n + 1, QStringLiteral("presetLabel"),
                                 QStringLiteral("presetAssignBox"));
    connect(bypassRow_.box, &QComboBox::currentIndexChanged, this, editor_.guarded([this] { footswitchAssignmentChosen(true); }));
    connect(presetRow_.box, &QComboBox::currentIndexChanged, this, editor_.guarded([this] { footswitchAssignmentChosen(false); }));
    for (int j = 0; j < layout.counts.readbacks; ++j) {
        const QString number = QString::number(j);
        readbackRows_.push_back(build.choiceRow(QString::fromStdString(layout.readbackNames[static_cast<std::size_t>(j)]),
                                                readbackChoices, n + 2 + j, QStringLiteral("readbackLabels") + number,
                                                QStringLiteral("readbackAssignBoxes") + number));
        connect(readbackRows_.back().box, &QComboBox::currentIndexChanged, this,
                editor_.guarded([this, j] { readbackAssignmentChosen(j); }));
    }
    area_->resize(kPanelWidth, panelHeight());
}

void TformFXParameters::showLastKnownValues() {
    // The values the editor last read (or applied) for this very algorithm, rather than zeros.
    if (!editor_.pedal().hasValuesFor(editor_.state.currentEffectName)) {
        status_->clear();
        return;
    }
    showValues();
    showSettings();
    status_->setText(QStringLiteral("Showing the values last read from the pedal."));
}

void TformFXParameters::showReadBackHint() {
    status_->setText(
        QStringLiteral("The controls stay grey until Request (main window) reads the pedal's values into this window."));
}

void TformFXParameters::showPreviewNote(const QString& stored) {
    status_->setText(stored.isEmpty()
                         ? QStringLiteral("Preview only: Upload Selected Effect puts this algorithm on the pedal.")
                         : QStringLiteral("Preview only: the pedal holds ") + stored +
                               QStringLiteral(". Upload Selected Effect puts this algorithm on it."));
}

void TformFXParameters::showStatus(const QString& text) { status_->setText(text); }

QString TformFXParameters::statusText() const { return status_->text(); }

void TformFXParameters::clearPanel() {
    // Every generated control goes, and every reference with it, so nothing that arrives later
    // (a pedal report, a read-back) reaches a destroyed control.
    rows_.clear();
    readbackRows_.clear();
    bypassRow_ = presetRow_ = ChoiceRow{};
    for (QWidget* child : area_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) delete child;
    area_->resize(kPanelWidth, kRowTop);
    reverseUnconfirmed_.fill(false);
    addresses_.clear();
    numPots_ = numSwitches_ = 0;
    built_ = false;
}

void TformFXParameters::OnClose() {
    // The pedal goes back to the edits before the rows go.
    editor_.compare().finish();
    clearPanel();
    TformMain* main = editor_.formMain();
    main->btnRequest->setEnabled(false);
    main->btnAssign->setEnabled(false);
}

void TformFXParameters::EnableDisableControls(bool AEnable) {
    for (QWidget* child : area_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) child->setEnabled(AEnable);
    if (AEnable) takeKeysIfNone();
}

void TformFXParameters::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The editor holds the whole window while it talks to the pedal.
    if (event->type() == QEvent::EnabledChange && isEnabled()) takeKeysIfNone();
}

void TformFXParameters::takeKeysIfNone() {
    // A window shown with every control grey had nothing to give the keys to: once they are live,
    // the first control takes them, so the arrows move a pot without a click first.
    if (!focusWidget()) focusNextChild();
}

bool TformFXParameters::bypass(bool setBypass) { return sendLive(core::bypassCommand(setBypass)); }

bool TformFXParameters::sendLive(const core::PedalCommand& command, const QString& sentLine) {
    const auto talk = editor_.line().begin(session::ConversationKind::LiveEdit);
    if (!talk) return false;
    if (!editor_.exchange().send(command)) {
        editor_.tellNotSent(QStringLiteral("The change on the panel"));
        return false;
    }
    if (!sentLine.isEmpty()) editor_.printToConsole(sentLine);
    return true;
}

ControlRow* TformFXParameters::rowAt(int i) const {
    return i >= 0 && i < numControls() ? rows_[static_cast<std::size_t>(i)].get() : nullptr;
}

QSlider* TformFXParameters::potTrackBar(int i) const {
    const PotRow* pot = rowOf<PotRow>(i);
    return pot ? pot->bar() : nullptr;
}

QLabel* TformFXParameters::potValueLabel(int i) const {
    const PotRow* pot = rowOf<PotRow>(i);
    return pot ? pot->readout() : nullptr;
}

QCheckBox* TformFXParameters::paramSwitch(int i) const {
    const SwitchRow* sw = rowOf<SwitchRow>(i);
    return sw ? sw->box() : nullptr;
}

QPushButton* TformFXParameters::paramButton(int i) const {
    const ButtonRow* button = rowOf<ButtonRow>(i);
    return button ? button->button() : nullptr;
}

QComboBox* TformFXParameters::multiSwitchBox(int i) const {
    const MultiSwitchRow* multi = rowOf<MultiSwitchRow>(i);
    return multi ? multi->box() : nullptr;
}

QLabel* TformFXParameters::nameLabel(int i) const { return rowAt(i) ? rowAt(i)->nameLabel() : nullptr; }

QLabel* TformFXParameters::stateLabel(int i) const {
    if (const SwitchRow* sw = rowOf<SwitchRow>(i)) return sw->stateLabel();
    if (const ButtonRow* button = rowOf<ButtonRow>(i)) return button->stateLabel();
    return nullptr;
}

QComboBox* TformFXParameters::assignBox(int i) const { return rowAt(i) ? rowAt(i)->assignBox() : nullptr; }

QCheckBox* TformFXParameters::reverseCheckBox(int i) const { return rowAt(i) ? rowAt(i)->reverseBox() : nullptr; }

QComboBox* TformFXParameters::readbackAssignBox(int j) const {
    return j >= 0 && j < numReadbacks() ? readbackRows_[static_cast<std::size_t>(j)].box : nullptr;
}

QLabel* TformFXParameters::readbackLabel(int j) const {
    return j >= 0 && j < numReadbacks() ? readbackRows_[static_cast<std::size_t>(j)].label : nullptr;
}

std::uint16_t TformFXParameters::parameterAddress(int i) const {
    return i >= 0 && static_cast<std::size_t>(i) < addresses_.size() ? addresses_[static_cast<std::size_t>(i)] : 0;
}

int TformFXParameters::optionCount(int i) const {
    const MultiSwitchRow* multi = rowOf<MultiSwitchRow>(i);
    return multi ? multi->optionCount() : 0;
}

bool TformFXParameters::buttonHeld(int i) const {
    const ButtonRow* button = rowOf<ButtonRow>(i);
    return button && button->held();
}

QString TformFXParameters::offText(int i) const {
    const SwitchRow* sw = rowOf<SwitchRow>(i);
    return sw ? sw->offText() : QString();
}

QString TformFXParameters::onText(int i) const {
    const SwitchRow* sw = rowOf<SwitchRow>(i);
    return sw ? sw->onText() : QString();
}

// The handlers below are the player's only: the panel draws with its controls' signals blocked,
// so a value from the pedal or from a read-back never comes back here to be sent.
void TformFXParameters::playerChanged(int i) {
    ControlRow* row = rowAt(i);
    if (!row) return;
    const std::optional<PlayerChange> change = row->playerChange();
    if (!change) return;
    session::PedalState& pedal = editor_.pedal();
    const auto slot = static_cast<std::size_t>(i);
    const bool known = pedal.hasValuesFor(editor_.state.currentEffectName) && slot < pedal.values().size();
    const std::int32_t before = known ? pedal.values()[slot] : 0;
    bool sent = false;
    if (const auto talk = editor_.line().begin(session::ConversationKind::LiveEdit)) {
        sent = pedal.change(slot, change->value, change->command);
        if (sent) editor_.printToConsole(change->sentLine);
        else editor_.tellNotSent(QStringLiteral("The change on the panel"));
    }
    // A step to undo, when the value it replaced is known.
    const auto undoCommand = known ? commandForValue(i, before) : std::nullopt;
    if (sent && undoCommand && before != change->value) {
        const bool pot = i < numPots_;
        editor_.history().recordValues(pot ? parameterName(i)
                                           : parameterName(i) + QLatin1Char(' ') + valueText(i, before) +
                                                 QStringLiteral(" → ") + valueText(i, change->value),
                                       {{slot, before, change->value, *undoCommand, change->command}},
                                       pot ? std::optional<std::size_t>(slot) : std::nullopt);
    }
    // Not sent: the control goes back to what the pedal holds.
    if (!sent && pedal.hasValuesFor(editor_.state.currentEffectName) && slot < pedal.values().size()) {
        drawValue(i, pedal.values()[slot]);
    }
    if (auto* sw = dynamic_cast<SwitchRow*>(row)) sw->showState();
}

std::optional<core::PedalCommand> TformFXParameters::commandForValue(int i, std::int32_t value) const {
    const ControlRow* row = rowAt(i);
    if (!row) return std::nullopt;
    if (dynamic_cast<const PotRow*>(row)) return core::potCommand(row->address(), core::potPositionFromValue(value));
    if (dynamic_cast<const SwitchRow*>(row)) {
        const auto on = core::switchStateFromValue(value);
        return on ? std::optional(core::switchCommand(row->address(), *on)) : std::nullopt;
    }
    if (const auto* multi = dynamic_cast<const MultiSwitchRow*>(row)) {
        const auto option = core::multiSwitchOptionFromValue(value, multi->optionCount());
        return option ? core::multiSwitchCommand(row->address(), multi->optionCount(), *option) : std::nullopt;
    }
    return std::nullopt;  // a button holds no value
}

QString TformFXParameters::valueText(int i, std::int32_t value) const {
    const ControlRow* row = rowAt(i);
    if (dynamic_cast<const PotRow*>(row)) return QString::number(core::potPositionFromValue(value));
    if (const auto* sw = dynamic_cast<const SwitchRow*>(row)) {
        const bool on = core::switchStateFromValue(value).value_or(false);
        const QString& text = on ? sw->onText() : sw->offText();
        return !text.isEmpty() ? text : on ? QStringLiteral("On") : QStringLiteral("Off");
    }
    if (const auto* multi = dynamic_cast<const MultiSwitchRow*>(row)) {
        if (const auto option = core::multiSwitchOptionFromValue(value, multi->optionCount())) return multi->box()->itemText(*option);
    }
    return QString::number(value);
}

QString TformFXParameters::parameterName(int i) const {
    QLabel* label = nameLabel(i);
    return label ? label->text() : QStringLiteral("Parameter ") + QString::number(i + 1);
}

void TformFXParameters::buttonPressed(int i, bool pressed) {
    auto* button = rowOf<ButtonRow>(i);
    if (!button) return;
    // A press is an action, not a setting: nothing of it is kept.
    const PlayerChange press = button->press(pressed);
    sendLive(press.command, press.sentLine);
}

void TformFXParameters::reverseClicked(int i) {
    if (const ControlRow* row = rowAt(i)) sendReverse(i, row->reverseBox()->isChecked());
}

void TformFXParameters::sendReverse(int i, bool on) {
    QCheckBox* box = reverseCheckBox(i);
    const auto command = core::reverseCommand(on, i);
    if (!command || !box) return;
    editor_.printToConsole(QString::fromStdString(command->text));
    bool sent = false;
    if (const auto talk = editor_.line().begin(session::ConversationKind::LiveEdit)) {
        sent = editor_.pedal().changeReverse(static_cast<std::size_t>(i), on, *command);
        if (!sent) editor_.tellNotSent(QStringLiteral("The change on the panel"));
    }
    if (!sent) {
        const QSignalBlocker quiet(box);
        box->setChecked(!on);
        return;
    }
    // Ticked for an Assign that is still to be confirmed: a declined Assign takes it back.
    reverseUnconfirmed_[static_cast<std::size_t>(i)] = on;
    editor_.history().recordReverse(parameterName(i) + (on ? QStringLiteral(" reverse on") : QStringLiteral(" reverse off")),
                                    static_cast<std::size_t>(i), on);
}

void TformFXParameters::update_FXParameters(const core::ParameterBlock& block) {
    editor_.pedal().takeReadBack(editor_.state.currentEffectName, block, static_cast<std::size_t>(numControls()),
                                 static_cast<std::size_t>(numReadbacks()));
    showValues();
    editor_.formMain()->btnRequest->setEnabled(true);
}

void TformFXParameters::showValues() {
    const std::vector<std::int32_t>& values = editor_.pedal().values();
    const auto count = std::min<std::size_t>(values.size(), rows_.size());
    for (std::size_t slot = 0; slot < count; ++slot) rows_[slot]->draw(values[slot]);
}

void TformFXParameters::drawValue(int i, std::int32_t value) {
    if (ControlRow* row = rowAt(i)) row->draw(value);
}

std::optional<std::int32_t> TformFXParameters::reportedValue(int i, core::ControlHandling handling,
                                                             std::uint16_t reported) const {
    ControlRow* row = rowAt(i);
    return row ? row->reported(handling, reported) : std::nullopt;
}

void TformFXParameters::receive_assignments_from_device(const core::ParameterBlock&) {
    // What the pedal reports is confirmed; nothing is left for a declined Assign to take back.
    reverseUnconfirmed_.fill(false);
    showSettings();
}

void TformFXParameters::receive_reverse_data_from_device(const core::ParameterBlock&) { showSettings(); }

void TformFXParameters::showSettings() {
    const session::PedalState& pedal = editor_.pedal();
    auto select = [](QComboBox* box, int index, int count) {
        if (!box) return;
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(index >= 0 && index < count ? index : -1);
    };
    for (const auto& row : rows_) {
        const auto slot = static_cast<std::size_t>(row->index());
        // A code outside the list selects nothing; the stored code is the byte itself.
        const std::uint8_t code = pedal.assignments()[slot];
        select(row->assignBox(), code == kNoAssignment ? assignChoices.size() - 1 : code, assignChoices.size());
        QCheckBox* reverse = row->reverseBox();
        const QSignalBlocker quiet(reverse);
        if (const auto on = core::reverseFlagState(pedal.reverseFlags()[slot])) reverse->setChecked(*on);
    }
    auto footswitchIndex = [](std::uint8_t code) {
        return code == kNoAssignment ? footswitchChoices.size() - 1 : code - kFootswitchCodeOffset;
    };
    select(bypassRow_.box, footswitchIndex(pedal.bypassAssignment()), footswitchChoices.size());
    select(presetRow_.box, footswitchIndex(pedal.presetAssignment()), footswitchChoices.size());
    for (int j = 0; j < numReadbacks(); ++j) {
        const std::uint8_t code = pedal.readbackAssignments()[static_cast<std::size_t>(j)];
        select(readbackAssignBox(j), code == kNoAssignment ? readbackChoices.size() - 1 : code, readbackChoices.size());
    }
}

void TformFXParameters::assignmentChosen(int i) {
    const ControlRow* row = rowAt(i);
    if (!row) return;
    const auto slot = static_cast<std::size_t>(i);
    const std::uint8_t code = assignCodeOf(row->assignBox());
    session::PedalState& pedal = editor_.pedal();
    const std::uint8_t before = pedal.assignments()[slot];
    pedal.chooseAssignment(slot, code);
    QCheckBox* reverse = row->reverseBox();
    // The choice and the reverse flag it clears are one step.
    EditHistory& history = editor_.history();
    const QString text = parameterName(i) + QStringLiteral(" assignment ") + choiceText(assignChoices, before) +
                         QStringLiteral(" → ") + choiceText(assignChoices, code);
    const bool clearsReverse = code == kNoAssignment && reverse->isChecked();
    if (clearsReverse) history.beginStep(text);
    history.recordChoice(text, [&pedal, slot](std::uint8_t c) { pedal.chooseAssignment(slot, c); }, before, code);
    if (code == kNoAssignment) {
        reverse->setEnabled(false);
        if (reverse->isChecked()) reverse->setChecked(false);  // the player's change: sends 08 FF i
    } else {
        reverse->setEnabled(true);
    }
    if (clearsReverse) history.endStep();
}

void TformFXParameters::chooseShownAssignments() {
    session::PedalState& pedal = editor_.pedal();
    for (const auto& row : rows_) pedal.chooseAssignment(static_cast<std::size_t>(row->index()), assignCodeOf(row->assignBox()));
    for (int j = 0; j < numReadbacks(); ++j) pedal.chooseReadbackAssignment(static_cast<std::size_t>(j), readbackCodeOf(readbackAssignBox(j)));
}

void TformFXParameters::takeBackUnconfirmedReverse() {
    for (const auto& row : rows_) {
        const int i = row->index();
        const auto slot = static_cast<std::size_t>(i);
        QCheckBox* reverse = row->reverseBox();
        // The box is cleared and 08 FF i sent; the box stays usable.
        if (reverseUnconfirmed_[slot] && reverse->isChecked()) {
            {
                const QSignalBlocker quiet(reverse);
                reverse->setChecked(false);
            }
            sendReverse(i, false);
        }
        reverseUnconfirmed_[slot] = false;
    }
}

void TformFXParameters::confirmReverse() { reverseUnconfirmed_.fill(false); }

void TformFXParameters::readbackAssignmentChosen(int j) {
    const auto slot = static_cast<std::size_t>(j);
    const std::uint8_t code = readbackCodeOf(readbackAssignBox(j));
    session::PedalState& pedal = editor_.pedal();
    const std::uint8_t before = pedal.readbackAssignments()[slot];
    pedal.chooseReadbackAssignment(slot, code);
    editor_.history().recordChoice(readbackLabel(j)->text() + QStringLiteral(" assignment ") + choiceText(readbackChoices, before) +
                                       QStringLiteral(" → ") + choiceText(readbackChoices, code),
                                   [&pedal, slot](std::uint8_t c) { pedal.chooseReadbackAssignment(slot, c); }, before, code);
    editor_.printToConsole(QString::fromStdString(core::byteToHex(code)));
}

void TformFXParameters::footswitchAssignmentChosen(bool bypassBox) {
    session::PedalState& pedal = editor_.pedal();
    const std::uint8_t before = bypassBox ? pedal.bypassAssignment() : pedal.presetAssignment();
    const std::uint8_t code = footswitchCodeOf(bypassBox ? bypassRow_.box : presetRow_.box);
    if (bypassBox) {
        pedal.chooseBypassAssignment(code);
        editor_.printToConsole(QStringLiteral("BypassAssignment: ") + QString::fromStdString(core::byteToHex(code)));
    } else {
        pedal.choosePresetAssignment(code);
        editor_.printToConsole(QStringLiteral("PresetAssignment: ") + QString::fromStdString(core::byteToHex(code)));
    }
    if (settingBankFootswitches_) return;
    auto footswitchText = [](std::uint8_t c) {
        return c == kNoAssignment ? footswitchChoices.last() : choiceText(footswitchChoices, c - kFootswitchCodeOffset);
    };
    editor_.history().recordChoice(
        (bypassBox ? QStringLiteral("Bypass Toggle ") : QStringLiteral("Preset Change ")) + footswitchText(before) +
            QStringLiteral(" → ") + footswitchText(code),
        [&pedal, bypassBox](std::uint8_t c) {
            if (bypassBox) pedal.chooseBypassAssignment(c);
            else pedal.choosePresetAssignment(c);
        },
        before, code);
}

void TformFXParameters::DisableBypassAndPresetAssignInBankMode() {
    if (editor_.state.pedalMode != kBankMode || !bypassRow_.box || !presetRow_.box) return;
    settingBankFootswitches_ = true;
    bypassRow_.box->setCurrentIndex(footswitchChoices.indexOf(QStringLiteral("FS")));
    presetRow_.box->setCurrentIndex(footswitchChoices.indexOf(QStringLiteral("FL")));
    settingBankFootswitches_ = false;
    bypassRow_.box->setEnabled(false);
    presetRow_.box->setEnabled(false);
}

void TformFXParameters::EnableRevCheckBoxes() {
    for (const auto& row : rows_) {
        const bool usable = assignCodeOf(row->assignBox()) != kNoAssignment;
        row->reverseBox()->setEnabled(usable || row->reverseBox()->isChecked());
        editor_.printToConsole(usable ? QStringLiteral("True") : QStringLiteral("False"));
    }
}

}  // namespace qeltx::app
