// The effect browser: the category and algorithm lists, the catalogue working lists, and
// placing the parameter window beside the main window.
#include "app/editor.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/window_placement.h"
#include "core/catalogue_lists.h"
#include "core/effect_browser.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "core/errors.h"
#include "resources/resource_store.h"

#include <QAction>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>

namespace qeltx::app {

namespace {

constexpr int kKeyUp = 38;
constexpr int kKeyDown = 40;

const QString kImpulseResponse = QStringLiteral("Impulse Response");
const QString kIrHowTo = QString::fromUtf8(core::kIrHowToMessage.data(), static_cast<qsizetype>(core::kIrHowToMessage.size()));

QString fromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QStringList toQStringList(const std::vector<std::string>& lines) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) out << QString::fromStdString(line);
    return out;
}

}  // namespace

std::string TformMain::loadResource(const QString& name) {
    const auto text = resources::catalogueResource(name.toStdString());
    if (!text) throw core::ConversionError("Resource " + name.toStdString() + " not found");
    return *text;
}

void TformMain::read_file_from_stream(const QString& name) {
    resourceLines = toQStringList(core::splitLines(loadResource(name)));
}

void TformMain::readIntoSizeProbe(const QString& name) {
    sizeProbeLines = toQStringList(core::splitLines(loadResource(name)));
}

QString TformMain::format_resource_name(const QString& displayName) {
    return QString::fromStdString(core::format_resource_name(displayName.toStdString()));
}

std::uint16_t TformMain::get_effect_size(const QString& displayName) {
    const QString base = format_resource_name(displayName);
    editor_.printToConsole(QStringLiteral("resource name: ") + base);
    readIntoSizeProbe(base);
    const QString line = sizeProbeLines.isEmpty() ? QString() : sizeProbeLines.first();
    return static_cast<std::uint16_t>(line.size() / 2);
}

void TformMain::create_categories() {
    categoryItems.clear();
    for (const core::Category& category : core::categories) {
        auto* item = new QListWidgetItem(fromView(category.displayName), lstCategory);
        categoryItems.push_back(item);
    }
}

void TformMain::lstCategoryClick(int row) {
    switch (row) {
        case 0: lstGainClick(); break;
        case 1: lstModulationClick(); break;
        case 2: lstSynthesisClick(); break;
        case 3: lstFilterClick(); break;
        case 4: lstDynamicClick(); break;
        case 5: lstIRClick(); break;
        case 6: lstOtherClick(); break;
        default: break;
    }
}

void TformMain::showCategory(int index, bool enableQueryButton) {
    lstEffects->clear();
    const core::Category& category = core::categories[static_cast<std::size_t>(index)];
    read_file_from_stream(fromView(category.resourceName));
    get_effects_name();
    editor_.state.selectedCategory = fromView(category.displayName);
    if (enableQueryButton) btnOpenEffect->setEnabled(true);
}

void TformMain::lstGainClick() { showCategory(0, true); }
void TformMain::lstModulationClick() { showCategory(1, true); }
void TformMain::lstSynthesisClick() { showCategory(2, true); }
void TformMain::lstFilterClick() { showCategory(3, true); }
void TformMain::lstDynamicClick() { showCategory(4, true); }
void TformMain::lstOtherClick() { showCategory(6, true); }
void TformMain::lstIRClick() {
    showCategory(5, false);
    editor_.dialogs().message(kIrHowTo);
}

void TformMain::get_effects_name() {
    // Measuring uses its own working list, so the category's lines stay as loaded.
    const QStringList lines = resourceLines;
    for (int i = 0; i < lines.size(); ++i) {
        auto* item = new QListWidgetItem(lines[i], lstEffects);
        if (editor_.state.pedalMode != kBankMode) continue;
        const std::uint16_t size = get_effect_size(lines[i]);
        if (core::exceedsBankModeLimit(size)) {
            editor_.printToConsole(QStringLiteral("size of ") + lines[i] + QStringLiteral(" exceed 5440 bytes"));
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
            // A grey row says why it is grey.
            item->setToolTip(QStringLiteral("%1 is %2 bytes: a bank holds at most %3 bytes, so it can only be uploaded "
                                            "in Preset Mode.")
                                 .arg(lines[i])
                                 .arg(size)
                                 .arg(core::kBankModeSizeLimit));
        }
    }
}

void TformMain::effectListItemClicked(QListWidgetItem* item) {
    if (!item) return;
    if (editor_.state.pedalMode == kBankMode && !(item->flags() & Qt::ItemIsEnabled)) {
        editor_.formFXParameters()->close();
        btnUpload->setEnabled(false);
        btnStoreSettingsOnPedal->setEnabled(false);
        return;
    }
    editor_.printToConsole(QStringLiteral("efx index :") + QString::number(lstEffects->currentRow()));
    EditorState& state = editor_.state;
    state.currentEffectName = item->text();
    editor_.printToConsole(QStringLiteral("selected effect name: ") + state.currentEffectName);
    state.panelShowsHeldAlgorithm = state.currentEffectName == heldEffectName();
    if (state.panelShowsHeldAlgorithm) {
        btnRequest->setEnabled(true);
    } else {
        btnRequest->setEnabled(false);
        btnAssign->setEnabled(false);
        btnStoreSettingsOnPedal->setEnabled(false);
    }
    // Another algorithm than the pedal's is only shown, greyed with its starting values.
    show_parameter_window(state.panelShowsHeldAlgorithm ? state.currentEffectName
                                             : state.currentEffectName + QStringLiteral(" (preview)"),
                          true);
    if (state.panelShowsHeldAlgorithm) btnRequest->setEnabled(true);
    else editor_.formFXParameters()->showPreviewNote(heldEffectName());
    // Upload follows the algorithm selected now: a grey row chosen before does not keep it off.
    btnUpload->setEnabled(menuDisconnect->isEnabled() && !menuStartFirmwareUpgrade->isEnabled());
    menuLoadIR->setEnabled(state.selectedCategory == kImpulseResponse);
    btnOpenEffect->setEnabled(true);
}

void TformMain::move_up_or_down(int key) {
    const int row = lstEffects->currentRow();
    if (key == kKeyUp) {
        editor_.printToConsole(QStringLiteral("arrow up pressed"));
        if (row > 0) lstEffects->setCurrentRow(row - 1);
    } else if (key == kKeyDown) {
        editor_.printToConsole(QStringLiteral("arrow down pressed"));
        if (row < lstEffects->count() - 1) lstEffects->setCurrentRow(row + 1);
    }
}

bool TformMain::search_effect_name(int category) {
    const int found = resourceLines.indexOf(heldEffectName());
    if (found < 0) return false;
    lstCategory->setCurrentRow(category);
    foundEffectRow_ = found;
    return true;
}

bool TformMain::locate_effect() {
    for (int c = 0; c < static_cast<int>(core::categories.size()); ++c) {
        lstEffects->clear();
        const QString list = format_resource_name(fromView(core::categories[static_cast<std::size_t>(c)].displayName));
        read_file_from_stream(list);
        if (search_effect_name(c)) {
            read_file_from_stream(list);
            get_effects_name();
            lstEffects->setCurrentRow(foundEffectRow_);
            return true;
        }
    }
    return false;
}

void TformMain::show_parameter_window(const QString& caption, bool setWidth) {
    TformFXParameters* panel = editor_.formFXParameters();
    if (panel->isVisible()) panel->close();
    panel->setCaption(caption);
    panel->show();
    placePanel(setWidth ? kPanelWidth : panel->width());
}

void TformMain::placePanel(int width) {
    // Beside the main window, tops level, and wholly on the screen: a panel taller than the
    // screen gets the screen's height and scrolls; one that would leave the screen on the right
    // moves left (over the main window if it must).
    TformFXParameters* panel = editor_.formFXParameters();
    const QRect mainFrame = frameGeometry();
    const QMargins frame = decorationOf(*panel, this);
    const QRect area = availableArea(*this);
    const int height = std::min(panel->windowHeight(), area.height() - frame.top() - frame.bottom());
    const QRect wanted(mainFrame.topRight() + QPoint(1, 0), QSize(width, height).grownBy(frame));
    const QPoint kept = keptInside(wanted, area);
    panel->setGeometry(kept.x() + frame.left(), kept.y() + frame.top(), width, height);
}

bool TformMain::eventFilterForLists(QObject* watched, QKeyEvent* key) {
    if (watched != lstEffects && watched != lstCategory) return false;
    if (watched == lstEffects && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        editor_.guard([&] { move_up_or_down(key->key() == Qt::Key_Up ? kKeyUp : kKeyDown); });
        return true;
    }
    // The arrows only move the highlight; Enter or Space chooses the highlighted row as a click
    // does, so a player without a mouse reaches every category and algorithm.
    const bool choose = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space;
    if (!choose || key->modifiers() & ~Qt::KeypadModifier) return false;
    auto* list = static_cast<QListWidget*>(watched);
    QListWidgetItem* item = list->currentItem();
    if (!item || !(item->flags() & Qt::ItemIsEnabled)) return true;
    if (list == lstCategory) {
        editor_.guard([this, item] { lstCategoryClick(lstCategory->row(item)); });
    } else {
        editor_.guard([this, item] { effectListItemClicked(item); });
    }
    return true;
}

}  // namespace qeltx::app

namespace qeltx::app {

std::uint32_t TformMain::catalogueNumberOf(const QString& name) {
    const auto list = resources::catalogueResource(core::kEffectListResource);
    const auto number = list ? core::effectNumberByName(core::splitLines(*list), name.toStdString()) : std::nullopt;
    return number.value_or(0);
}

}  // namespace qeltx::app
