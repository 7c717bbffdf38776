// The parameter panel: built from the current algorithm's control layout at every show, and
// the live messages its controls send.
#include "app/fx_parameters.h"

#include "app/editor.h"
#include "app/main_window.h"
#include "app/switch_box.h"
#include "core/commands.h"
#include "core/control_layout.h"
#include "core/effect_image.h"
#include "core/text_lines.h"
#include "core/resource_names.h"
#include "core/hex.h"
#include "core/parameter_block.h"
#include "core/pedal_messages.h"
#include "session/pedal_state.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QSlider>

namespace qeltx::app {

namespace {

constexpr int kNameX = 10;
constexpr int kNameWidth = 150;
// Pot and two-state rows share their name column with the value readout or the state label,
// so their names stop where those begin.
constexpr int kShortNameWidth = 110;
constexpr int kMultiNameWidth = 100;
constexpr int kStateX = 120;
// The state label ends where the switch or button begins: it must never lie over the control.
constexpr int kStateWidth = 70;
constexpr int kPotValueX = 120;
constexpr int kPotValueWidth = 36;
constexpr int kValueX = 160;
constexpr int kSwitchX = 190;
constexpr int kSeparatorX = 280;
constexpr int kChoiceX = 300;
constexpr int kReverseX = 380;
constexpr int kRowHeight = 20;
constexpr std::uint8_t kNoAssignment = 255;
constexpr int kFootswitchCodeOffset = 8;
const QString kReverseHint = QStringLiteral("Toggle the Reverse function for the current parameter");

int rowTop(int row) { return kRowPitch * row + kRowTop; }

template <typename T, std::size_t N>
int indexOf(const std::array<T*, N>& table, QObject* sender, int first, int last) {
    for (int i = first; i <= last && i < static_cast<int>(N); ++i) {
        if (table[static_cast<std::size_t>(i)] == sender) return i;
    }
    return -1;
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
        ->setToolTip(QStringLiteral("The knob, button, footswitch or expression input of the pedal that drives the "
                                    "parameter (sent with Assign)"));
    layout->addWidget(headings);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("panelScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    rows_ = new QWidget;
    rows_->setObjectName(QStringLiteral("panelRows"));
    rows_->resize(kPanelWidth, kRowTop);
    scroll_->setWidget(rows_);
    layout->addWidget(scroll_, 1);
    lblPanelStatus = new QLabel(this);
    lblPanelStatus->setObjectName(QStringLiteral("lblPanelStatus"));
    lblPanelStatus->setWordWrap(true);
    lblPanelStatus->setContentsMargins(kNameX, 2, kNameX, 2);
    lblPanelStatus->setFixedHeight(kStatusHeight);
    layout->addWidget(lblPanelStatus);
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

QLabel* TformFXParameters::addLabel(const QString& text, int row, int x, int width, const QString& table, int index) {
    auto* label = new QLabel(text, rows_);
    label->setObjectName(table + QString::number(index));
    label->setGeometry(x, rowTop(row), width, kRowHeight);
    label->setToolTip(text);
    label->show();
    return label;
}

QComboBox* TformFXParameters::addChoiceBox(const QStringList& choices, int row, const QString& table, int index) {
    auto* box = new QComboBox(rows_);
    box->setObjectName(table + QString::number(index));
    box->setGeometry(kChoiceX, rowTop(row), 70, kRowHeight);
    box->addItems(choices);
    box->setCurrentIndex(-1);
    box->setEnabled(editor_.state.panelShowsHeldAlgorithm);
    box->show();
    return box;
}

bool TformFXParameters::OnShow() {
    clearPanel();
    built_ = true;
    const QString name = editor_.state.currentEffectName;
    const std::string base = core::format_resource_name(name.toStdString());

    // The layout.
    // A missing resource raises the editor's error, which ends the build here.
    const std::string layoutText = editor_.formMain()->loadResource(QString::fromStdString(base + "_ctrls"));
    const core::ControlLayoutResult parsed = core::parseControlLayoutText(name.toStdString(), layoutText);
    if (!parsed.layout) {
        const QString reason = QString::fromStdString(parsed.error);
        editor_.printToConsole(reason);
        editor_.dialogs().message(reason, session::MessageKind::Error);
        return false;
    }
    const core::ControlLayout& layout = *parsed.layout;
    numPots = layout.counts.pots;
    numSwitches = layout.counts.switches;
    numMultiSwitches = layout.counts.multiSwitches;
    numControls = layout.counts.controls();
    numReadbacks = layout.counts.readbacks;
    const std::vector<std::string> layoutLines = core::splitLines(layoutText);
    for (const std::string& line : core::layoutLogLines(layout, layoutLines.front())) {
        editor_.printToConsole(QString::fromStdString(line));
    }
    for (int i = 0; i < numControls; ++i) {
        controlLines[static_cast<std::size_t>(i)] = QString::fromStdString(layout.controlLines[static_cast<std::size_t>(i)]);
    }
    for (int j = 0; j < numReadbacks; ++j) {
        readbackNames[static_cast<std::size_t>(j)] = QString::fromStdString(layout.readbackNames[static_cast<std::size_t>(j)]);
    }

    // The parameter addresses from the image's header.
    const std::vector<std::string> imageLines = core::splitLines(editor_.formMain()->loadResource(QString::fromStdString(base)));
    const std::string firstLine = imageLines.empty() ? std::string() : imageLines.front();
    editor_.printToConsole(QStringLiteral("resource name: ") + QString::fromStdString(base));
    editor_.printToConsole(QStringLiteral("content: ") + QString::fromStdString(firstLine));
    editor_.printToConsole(QStringLiteral("file content size: ") + QString::number(firstLine.size() / 2));
    const auto addresses = core::parameterAddressFields(firstLine);
    for (int i = 0; i < kPanelSlots; ++i) {
        paramAddresses[static_cast<std::size_t>(i)] = QString::fromStdString(addresses[static_cast<std::size_t>(i)]);
        editor_.printToConsole(QStringLiteral("parameter address: ") + paramAddresses[static_cast<std::size_t>(i)]);
    }

    const bool live = editor_.state.panelShowsHeldAlgorithm;
    // Pots.
    for (int i = 0; i < numPots; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        auto* bar = new QSlider(Qt::Horizontal, rows_);
        bar->setObjectName(QStringLiteral("potTrackBars") + QString::number(i));
        bar->setGeometry(kValueX, rowTop(i), 100, kRowHeight);
        bar->setRange(0, static_cast<int>(core::kPotMax));
        bar->setEnabled(live);
        nameLabels[slot] = addLabel(controlLines[slot], i, kNameX, kShortNameWidth, QStringLiteral("nameLabels"), i);
        QLabel* readout = addLabel(QStringLiteral("0"), i, kPotValueX, kPotValueWidth, QStringLiteral("potValueLabels"), i);
        readout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        readout->setToolTip(QString());
        potValueLabels[slot] = readout;
        // The readout follows the slider whoever moves it: the player, a read-back, the pedal.
        connect(bar, &QSlider::valueChanged, readout, [readout](int value) { readout->setNum(value); });
        connect(bar, &QSlider::valueChanged, this, editor_.guarded([this, bar] { PotParameterChange(bar); }));
        bar->show();
        potTrackBars[slot] = bar;
    }
    isButton.fill(false);
    buttonStates.fill(0);
    // Switches and buttons.
    for (int i = numPots; i < numPots + numSwitches; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const core::TwoStateRow& row = layout.twoStateRows[static_cast<std::size_t>(i - numPots)];
        nameLabels[slot] = addLabel(QString::fromStdString(row.name), i, kNameX, kShortNameWidth, QStringLiteral("nameLabels"), i);
        if (row.isButton) {
            isButton[slot] = true;
            auto* button = new QPushButton(QString::fromStdString(row.name), rows_);
            button->setObjectName(QStringLiteral("paramButtons") + QString::number(i));
            button->setGeometry(kSwitchX, rowTop(i), 50, kRowHeight);
            button->setEnabled(live);
            connect(button, &QPushButton::pressed, this, editor_.guarded([this, button] { ButtonParameterPress(button, true); }));
            connect(button, &QPushButton::released, this, editor_.guarded([this, button] { ButtonParameterPress(button, false); }));
            button->show();
            paramButtons[slot] = button;
            stateLabels[slot] = addLabel(QString(), i, kStateX, kStateWidth, QStringLiteral("stateLabels"), i);
        } else {
            offTexts[slot] = QString::fromStdString(row.offLabel);
            onTexts[slot] = QString::fromStdString(row.onLabel);
            editor_.printToConsole(offTexts[slot]);
            editor_.printToConsole(onTexts[slot]);
            auto* sw = new SwitchBox(rows_);
            sw->setObjectName(QStringLiteral("paramSwitches") + QString::number(i));
            sw->setGeometry(kSwitchX, rowTop(i), 40, kRowHeight);
            sw->setEnabled(live);
            connect(sw, &QCheckBox::clicked, this, editor_.guarded([this, sw] { SwitchParameterClick(sw); }));
            sw->show();
            paramSwitches[slot] = sw;
            stateLabels[slot] = addLabel(offTexts[slot], i, kStateX, kStateWidth, QStringLiteral("stateLabels"), i);
            stateLabels[slot]->setToolTip(QString());
            clickThrough(stateLabels[slot], sw);
        }
    }
    // Multi-switches.
    for (int i = numPots + numSwitches; i < numControls; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const core::MultiSwitchRow& row = layout.multiSwitchRows[static_cast<std::size_t>(i - numPots - numSwitches)];
        auto* box = new QComboBox(rows_);
        box->setObjectName(QStringLiteral("multiSwitchBoxes") + QString::number(i));
        box->setGeometry(kValueX, rowTop(i), 100, kRowHeight);
        box->setEnabled(live);
        optionCounts[slot] = static_cast<int>(row.options.size());
        for (const std::string& option : row.options) {
            box->addItem(QString::fromStdString(option));
            editor_.printToConsole(QString::fromStdString(option));
        }
        box->setCurrentIndex(-1);
        connect(box, &QComboBox::currentIndexChanged, this, editor_.guarded([this, box] { MultiSwitchOnChange(box); }));
        box->show();
        multiSwitchBoxes[slot] = box;
        QLabel* label = addLabel(QString::fromStdString(row.name), i, kNameX, kMultiNameWidth, QStringLiteral("nameLabels"), i);
        label->setWordWrap(true);
        nameLabels[slot] = label;
    }
    // Assignment boxes, the separator, the footswitch rows and the read-back rows.
    for (int i = 0; i < numControls; ++i) {
        QComboBox* box = addChoiceBox(assignChoices, i, QStringLiteral("assignBoxes"), i);
        connect(box, &QComboBox::currentIndexChanged, this, editor_.guarded([this, box] { boxAssignOnChange(box); }));
        assignBoxes[static_cast<std::size_t>(i)] = box;
    }
    separatorLine = new QFrame(rows_);
    separatorLine->setObjectName(QStringLiteral("separatorLine"));
    separatorLine->setFrameShape(QFrame::VLine);
    separatorLine->setGeometry(kSeparatorX, kRowTop, 1, static_cast<int>(numControls * 24.5));
    separatorLine->show();
    bypassAssignBox = addChoiceBox(footswitchChoices, numControls, QStringLiteral("bypassAssignBox"), 0);
    bypassAssignBox->setObjectName(QStringLiteral("bypassAssignBox"));
    bypassLabel = addLabel(QStringLiteral("Bypass Toggle"), numControls, kNameX, kNameWidth, QStringLiteral("bypassLabel"), 0);
    bypassLabel->setObjectName(QStringLiteral("bypassLabel"));
    presetAssignBox = addChoiceBox(footswitchChoices, numControls + 1, QStringLiteral("presetAssignBox"), 0);
    presetAssignBox->setObjectName(QStringLiteral("presetAssignBox"));
    presetLabel = addLabel(QStringLiteral("Preset Change"), numControls + 1, kNameX, kNameWidth, QStringLiteral("presetLabel"), 0);
    presetLabel->setObjectName(QStringLiteral("presetLabel"));
    connect(bypassAssignBox, &QComboBox::currentIndexChanged, this, editor_.guarded([this] { boxAssignBypassOnChange(); }));
    connect(presetAssignBox, &QComboBox::currentIndexChanged, this, editor_.guarded([this] { boxAssignPresetOnChange(); }));
    for (int j = 0; j < numReadbacks; ++j) {
        const auto slot = static_cast<std::size_t>(j);
        readbackAssignBoxes[slot] = addChoiceBox(readbackChoices, numControls + 2 + j, QStringLiteral("readbackAssignBoxes"), j);
        readbackLabels[slot] = addLabel(readbackNames[slot], numControls + 2 + j, kNameX, kNameWidth, QStringLiteral("readbackLabels"), j);
        QComboBox* box = readbackAssignBoxes[slot];
        connect(box, &QComboBox::currentIndexChanged, this, editor_.guarded([this, box] { boxAssignRdbcksOnChange(box); }));
    }
    for (int i = 0; i < numControls; ++i) {
        auto* box = new SwitchBox(rows_);
        box->setObjectName(QStringLiteral("reverseCheckBoxes") + QString::number(i));
        box->setGeometry(kReverseX, rowTop(i), 20, kRowHeight);
        box->setToolTip(kReverseHint);
        box->setEnabled(false);
        connect(box, &QCheckBox::toggled, this, editor_.guarded([this, box] { ReverseCheckBoxOnClick(box); }));
        box->show();
        reverseCheckBoxes[static_cast<std::size_t>(i)] = box;
    }
    rows_->resize(kPanelWidth, panelHeight());
    DisableBypassAndPresetAssignInBankMode();
    showLastKnownValues();
    return true;
}

void TformFXParameters::showLastKnownValues() {
    // The values the editor last read (or applied) for this very algorithm, rather than zeros.
    if (!editor_.pedal().hasValuesFor(editor_.state.currentEffectName)) {
        lblPanelStatus->clear();
        return;
    }
    showValues();
    showSettings();
    lblPanelStatus->setText(QStringLiteral("Showing the values last read from the pedal."));
}

void TformFXParameters::showReadBackHint() {
    lblPanelStatus->setText(
        QStringLiteral("The controls stay grey until Request (main window) reads the pedal's values into this window."));
}

void TformFXParameters::showPreviewNote(const QString& stored) {
    lblPanelStatus->setText(stored.isEmpty()
                                ? QStringLiteral("Preview only: Upload Selected Effect puts this algorithm on the pedal.")
                                : QStringLiteral("Preview only: the pedal holds ") + stored +
                                      QStringLiteral(". Upload Selected Effect puts this algorithm on it."));
}

void TformFXParameters::clearPanel() {
    // Every generated control goes, and every reference with it, so nothing that arrives later
    // (a pedal report, a read-back) reaches a destroyed control.
    for (QWidget* child : rows_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) delete child;
    rows_->resize(kPanelWidth, kRowTop);
    potTrackBars.fill(nullptr);
    potValueLabels.fill(nullptr);
    paramSwitches.fill(nullptr);
    paramButtons.fill(nullptr);
    multiSwitchBoxes.fill(nullptr);
    nameLabels.fill(nullptr);
    stateLabels.fill(nullptr);
    assignBoxes.fill(nullptr);
    reverseCheckBoxes.fill(nullptr);
    reverseUnconfirmed.fill(false);
    readbackAssignBoxes.fill(nullptr);
    readbackLabels.fill(nullptr);
    bypassAssignBox = presetAssignBox = nullptr;
    bypassLabel = presetLabel = nullptr;
    separatorLine = nullptr;
    numPots = numSwitches = numMultiSwitches = numControls = numReadbacks = 0;
    built_ = false;
}

void TformFXParameters::OnClose() {
    clearPanel();
    TformMain* main = editor_.formMain();
    main->btnRequest->setEnabled(false);
    main->btnAssign->setEnabled(false);
}

void TformFXParameters::EnableDisableControls(bool AEnable) {
    for (QWidget* child : rows_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) child->setEnabled(AEnable);
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

namespace {
std::uint16_t addressOf(const QString& field) {
    // An address field is four hex digits from the image header; a short image leaves it empty.
    return static_cast<std::uint16_t>(core::hexTextToNumber(field.toStdString()));
}
}  // namespace

bool TformFXParameters::changeValue(int i, std::int32_t value, const core::PedalCommand& command,
                                    const QString& sentLine) {
    session::PedalState& pedal = editor_.pedal();
    const auto slot = static_cast<std::size_t>(i);
    bool sent = false;
    if (const auto talk = editor_.line().begin(session::ConversationKind::LiveEdit)) {
        sent = pedal.change(slot, value, command);
        if (sent) editor_.printToConsole(sentLine);
        else editor_.tellNotSent(QStringLiteral("The change on the panel"));
    }
    // Not sent: the control goes back to what the pedal holds.
    if (!sent && pedal.hasValuesFor(editor_.state.currentEffectName) && slot < pedal.values().size()) {
        drawValue(i, pedal.values()[slot]);
    }
    return sent;
}

void TformFXParameters::SendPotValue(int i) {
    const auto slot = static_cast<std::size_t>(i);
    const int value = potTrackBars[slot]->value();
    const core::PedalCommand command = core::potCommand(addressOf(paramAddresses[slot]), value);
    changeValue(i, value, command,
                QStringLiteral("data sent pot ") + QString::number(i) + QStringLiteral(": ") + QString::fromStdString(command.text));
}

void TformFXParameters::SendSwitchValue(int i) {
    const auto slot = static_cast<std::size_t>(i);
    const bool on = paramSwitches[slot]->isChecked();
    const core::PedalCommand command = core::switchCommand(addressOf(paramAddresses[slot]), on);
    changeValue(i, on ? static_cast<std::int32_t>(core::kOnValue) : 0, command,
                QStringLiteral("data sent switch ") + QString::number(i) + QStringLiteral(": ") +
                    QString::fromStdString(command.text));
}

void TformFXParameters::SendButtonValue(int i, bool pressed) {
    const auto slot = static_cast<std::size_t>(i);
    buttonStates[slot] = pressed ? 1 : 0;
    // A press is an action, not a setting: nothing of it is kept.
    const core::PedalCommand command = core::buttonCommand(addressOf(paramAddresses[slot]), pressed);
    sendLive(command, QStringLiteral("data sent button ") + QString::number(i) + QStringLiteral(": ") +
                          QString::fromStdString(command.text));
}

void TformFXParameters::SendMultiSwitchValue(int i) {
    const auto slot = static_cast<std::size_t>(i);
    const int option = multiSwitchBoxes[slot]->currentIndex();
    const auto command = core::multiSwitchCommand(addressOf(paramAddresses[slot]), optionCounts[slot], option);
    if (!command) return;  // no option selected
    const auto step = core::multiSwitchStep(optionCounts[slot]);
    changeValue(i, static_cast<std::int32_t>(step.value_or(0)) * option, *command,
                QStringLiteral("data sent multiswitch ") + QString::number(i) + QStringLiteral(": ") +
                    QString::fromStdString(command->text));
}

void TformFXParameters::UpdateSwitchStateLabel(int i) {
    const auto slot = static_cast<std::size_t>(i);
    stateLabels[slot]->setText(paramSwitches[slot]->isChecked() ? onTexts[slot] : offTexts[slot]);
}

// The handlers below are the player's only: the panel draws with its controls' signals blocked,
// so a value from the pedal or from a read-back never comes back here to be sent.
void TformFXParameters::PotParameterChange(QObject* sender) {
    const int i = indexOf(potTrackBars, sender, 0, numPots - 1);
    if (i >= 0) SendPotValue(i);
}

void TformFXParameters::SwitchParameterClick(QObject* sender) {
    const int i = indexOf(paramSwitches, sender, numPots, numPots + numSwitches - 1);
    if (i < 0) return;
    SendSwitchValue(i);
    UpdateSwitchStateLabel(i);
}

void TformFXParameters::ButtonParameterPress(QObject* sender, bool pressed) {
    const int i = indexOf(paramButtons, sender, numPots, numPots + numSwitches - 1);
    if (i < 0) return;
    SendButtonValue(i, pressed);
    if (!pressed) paramButtons[static_cast<std::size_t>(i)]->clearFocus();
}

void TformFXParameters::MultiSwitchOnChange(QObject* sender) {
    const int i = indexOf(multiSwitchBoxes, sender, numPots + numSwitches, numControls - 1);
    if (i >= 0) SendMultiSwitchValue(i);
}

void TformFXParameters::ReverseCheckBoxOnClick(QObject* sender) {
    const int i = indexOf(reverseCheckBoxes, sender, 0, numControls - 1);
    if (i >= 0) sendReverse(i, reverseCheckBoxes[static_cast<std::size_t>(i)]->isChecked());
}

void TformFXParameters::sendReverse(int i, bool on) {
    QCheckBox* box = reverseCheckBoxes[static_cast<std::size_t>(i)];
    const auto command = core::reverseCommand(on, i);
    if (!command) return;
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
    reverseUnconfirmed[static_cast<std::size_t>(i)] = on;
}

void TformFXParameters::update_FXParameters(const core::ParameterBlock& block) {
    editor_.pedal().takeReadBack(editor_.state.currentEffectName, block, static_cast<std::size_t>(numControls),
                                 static_cast<std::size_t>(numReadbacks));
    setItems();
}

void TformFXParameters::setItems() {
    showValues();
    editor_.formMain()->btnRequest->setEnabled(true);
}

void TformFXParameters::showValues() {
    const std::vector<std::int32_t>& values = editor_.pedal().values();
    const auto count = std::min<std::size_t>(values.size(), static_cast<std::size_t>(numControls));
    for (std::size_t slot = 0; slot < count; ++slot) drawValue(static_cast<int>(slot), values[slot]);
}

void TformFXParameters::drawValue(int i, std::int32_t value) {
    if (i < 0 || i >= numControls) return;
    const auto slot = static_cast<std::size_t>(i);
    if (i < numPots) {
        if (QSlider* bar = potTrackBars[slot]) {
            const QSignalBlocker quiet(bar);
            bar->setValue(core::potPositionFromValue(value));
            if (potValueLabels[slot]) potValueLabels[slot]->setNum(bar->value());
        }
    } else if (i < numPots + numSwitches) {
        if (isButton[slot] || !paramSwitches[slot]) return;
        const QSignalBlocker quiet(paramSwitches[slot]);
        if (const auto on = core::switchStateFromValue(value)) paramSwitches[slot]->setChecked(*on);
        UpdateSwitchStateLabel(i);
    } else if (QComboBox* box = multiSwitchBoxes[slot]) {
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(core::multiSwitchOptionFromValue(value, optionCounts[slot]).value_or(-1));
    }
}

std::optional<std::int32_t> TformFXParameters::reportedValue(int i, core::ControlHandling handling,
                                                             std::uint16_t reported) const {
    if (i < 0 || i >= numControls) return std::nullopt;
    const auto slot = static_cast<std::size_t>(i);
    switch (handling) {
        case core::ControlHandling::Continuous:
            if (i < numPots) return static_cast<std::int32_t>(reported);
            // A multi-switch holds the knob's position, which the panel shows as its option.
            if (i >= numPots + numSwitches && core::multiSwitchOptionFromReport(reported, optionCounts[slot])) {
                return static_cast<std::int32_t>(reported);
            }
            return std::nullopt;
        case core::ControlHandling::OnOff:
            // A button's press is shown as the pedal's button is held, and kept nowhere.
            if (paramButtons[slot]) paramButtons[slot]->setDown(core::onOffFromReport(reported));
            if (i >= numPots && i < numPots + numSwitches && !isButton[slot]) {
                return core::onOffFromReport(reported) ? static_cast<std::int32_t>(core::kOnValue) : 0;
            }
            return std::nullopt;
        case core::ControlHandling::None:
            return std::nullopt;
    }
    return std::nullopt;
}

void TformFXParameters::receive_assignments_from_device(const core::ParameterBlock&) {
    // What the pedal reports is confirmed; nothing is left for a declined Assign to take back.
    reverseUnconfirmed.fill(false);
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
    for (int i = 0; i < numControls; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        // A code outside the list selects nothing; the stored code is the byte itself.
        const std::uint8_t code = pedal.assignments()[slot];
        select(assignBoxes[slot], code == kNoAssignment ? assignChoices.size() - 1 : code, assignChoices.size());
        if (QCheckBox* reverse = reverseCheckBoxes[slot]) {
            const QSignalBlocker quiet(reverse);
            if (const auto on = core::reverseFlagState(pedal.reverseFlags()[slot])) reverse->setChecked(*on);
        }
    }
    auto footswitchIndex = [](std::uint8_t code) {
        return code == kNoAssignment ? footswitchChoices.size() - 1 : code - kFootswitchCodeOffset;
    };
    select(bypassAssignBox, footswitchIndex(pedal.bypassAssignment()), footswitchChoices.size());
    select(presetAssignBox, footswitchIndex(pedal.presetAssignment()), footswitchChoices.size());
    for (int j = 0; j < numReadbacks; ++j) {
        const std::uint8_t code = pedal.readbackAssignments()[static_cast<std::size_t>(j)];
        select(readbackAssignBoxes[static_cast<std::size_t>(j)], code == kNoAssignment ? readbackChoices.size() - 1 : code,
               readbackChoices.size());
    }
}

std::uint8_t TformFXParameters::assignCodeOf(const QComboBox* box) {
    const int index = box ? box->currentIndex() : -1;
    return index >= 0 && index < assignChoices.size() - 1 ? static_cast<std::uint8_t>(index) : kNoAssignment;
}

std::uint8_t TformFXParameters::readbackCodeOf(const QComboBox* box) {
    const int index = box ? box->currentIndex() : -1;
    return index >= 0 && index < readbackChoices.size() - 1 ? static_cast<std::uint8_t>(index) : kNoAssignment;
}

std::uint8_t TformFXParameters::footswitchCodeOf(const QComboBox* box) {
    const int index = box ? box->currentIndex() : -1;
    return index >= 0 && index < footswitchChoices.size() - 1 ? static_cast<std::uint8_t>(index + kFootswitchCodeOffset)
                                                              : kNoAssignment;
}

void TformFXParameters::boxAssignOnChange(QObject* sender) {
    const int i = indexOf(assignBoxes, sender, 0, numControls - 1);
    if (i >= 0) AssignBoxChanged(i);
}

void TformFXParameters::boxAssignRdbcksOnChange(QObject* sender) {
    const int j = indexOf(readbackAssignBoxes, sender, 0, numReadbacks - 1);
    if (j >= 0) ReadbackAssignChanged(j);
}

void TformFXParameters::boxAssignBypassOnChange() { FootswitchAssignChanged(true); }
void TformFXParameters::boxAssignPresetOnChange() { FootswitchAssignChanged(false); }

void TformFXParameters::AssignBoxChanged(int i) {
    const auto slot = static_cast<std::size_t>(i);
    const std::uint8_t code = assignCodeOf(assignBoxes[slot]);
    editor_.pedal().chooseAssignment(slot, code);
    QCheckBox* reverse = reverseCheckBoxes[slot];
    if (!reverse) return;  // the reverse boxes are built after the assignment boxes
    if (code == kNoAssignment) {
        reverse->setEnabled(false);
        if (reverse->isChecked()) reverse->setChecked(false);  // the player's change: sends 08 FF i
    } else {
        reverse->setEnabled(true);
    }
}

void TformFXParameters::takeBackUnconfirmedReverse() {
    for (int i = 0; i < numControls; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        QCheckBox* reverse = reverseCheckBoxes[slot];
        // The box is cleared and 08 FF i sent; the box stays usable.
        if (reverseUnconfirmed[slot] && reverse && reverse->isChecked()) {
            {
                const QSignalBlocker quiet(reverse);
                reverse->setChecked(false);
            }
            sendReverse(i, false);
        }
        reverseUnconfirmed[slot] = false;
    }
}

void TformFXParameters::confirmReverse() { reverseUnconfirmed.fill(false); }

void TformFXParameters::ReadbackAssignChanged(int j) {
    const auto slot = static_cast<std::size_t>(j);
    const std::uint8_t code = readbackCodeOf(readbackAssignBoxes[slot]);
    editor_.pedal().chooseReadbackAssignment(slot, code);
    editor_.printToConsole(QString::fromStdString(core::byteToHex(code)));
}

void TformFXParameters::FootswitchAssignChanged(bool bypassBox) {
    if (bypassBox) {
        const std::uint8_t code = footswitchCodeOf(bypassAssignBox);
        editor_.pedal().chooseBypassAssignment(code);
        editor_.printToConsole(QStringLiteral("BypassAssignment: ") + QString::fromStdString(core::byteToHex(code)));
    } else {
        const std::uint8_t code = footswitchCodeOf(presetAssignBox);
        editor_.pedal().choosePresetAssignment(code);
        editor_.printToConsole(QStringLiteral("PresetAssignment: ") + QString::fromStdString(core::byteToHex(code)));
    }
}

void TformFXParameters::DisableBypassAndPresetAssignInBankMode() {
    if (editor_.state.pedalMode != kBankMode || !bypassAssignBox || !presetAssignBox) return;
    bypassAssignBox->setCurrentIndex(footswitchChoices.indexOf(QStringLiteral("FS")));
    presetAssignBox->setCurrentIndex(footswitchChoices.indexOf(QStringLiteral("FL")));
    bypassAssignBox->setEnabled(false);
    presetAssignBox->setEnabled(false);
}

void TformFXParameters::EnableRevCheckBoxes() {
    for (int i = 0; i < numControls; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const bool usable = assignBoxes[slot] && assignCodeOf(assignBoxes[slot]) != kNoAssignment;
        if (reverseCheckBoxes[slot]) reverseCheckBoxes[slot]->setEnabled(usable || reverseCheckBoxes[slot]->isChecked());
        editor_.printToConsole(usable ? QStringLiteral("True") : QStringLiteral("False"));
    }
}

}  // namespace qeltx::app
