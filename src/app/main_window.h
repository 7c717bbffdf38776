// TformMain: the main window "Qelt X Editor" — its controls and menus, start-up, the
// console shortcut and Support. Listing and linking are in communication.cpp.
#pragma once

#include "core/commands.h"
#include "core/impulse_response.h"
#include "core/ir_preparation.h"
#include "core/pedal_messages.h"
#include "core/support_report.h"
#include "ir_plot/ir_plot.h"
#include "session/audio_file.h"
#include "session/line_owner.h"

#include <QMainWindow>
#include <QThread>
#include <QTimer>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QGroupBox;
class QLabel;
class QKeyEvent;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QRadioButton;
class QCheckBox;
class QMimeData;


namespace qeltx::core {
struct ControlLayout;
struct ImageHeader;
struct ParameterBlock;
struct PresetFile;
struct PresetLoadPlan;
}

namespace qeltx::app {

class Editor;
struct ValueChange;
class TformPresetLibrary;

class TformMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TformMain(Editor& editor);
    ~TformMain() override;

    // Start-up, run once when the window is created.
    void FormCreate();
    // Ctrl+Shift+P shows the debug console; returns true when the key was consumed.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void menuSupportClick();
    // Underlined letters, shortcuts, the button entries, F10 (main_window_keys.cpp).
    void setUpKeyboard();
    // The Edit menu: Undo and Redo naming their step, and Compare (main_window_edit.cpp).
    void buildEditMenu();
    void showEditMenu();
    // "Parameter Window" (F6): the parameter window forward, or from it back to this one.
    void menuParameterWindowClick();
    // Info ▸ "Save Support Report…" (main_window_support.cpp).
    void menuSaveSupportReportClick();
    // Writes the support report to `path`; false (said) when it could not.
    bool saveSupportReport(const QString& path);
    // The editor's own settings as the report lists them: look, mode, resampling, automatic
    // reading, the new-version notice.
    std::vector<core::ReportSetting> editorSettingsForReport() const;
    void OpenURL(const QString& address);
    void BuildMIDIChannelMenu();

    // Listing and linking (communication.cpp).
    void ScanAtStartup();
    void ScanDevices();
    bool LinkDevice();
    void menuScanClick();
    void menuConnectClick();
    void menuDisconnectClick();

    // Preferences and look (main_window_preferences.cpp).
    void CreateDataFolder(const QString& name);
    void CreateDataSubfolder(const QString& name, const QString& sub);
    void ReadStartupPreferences();
    void BuildLookMenu();
    void ApplySavedStyle();
    void menuLookClickItem(QAction* item);
    // Applies "Style_<number>"; false (and the look unchanged) when there is no such style.
    bool applyStyle(int number);
    QString makerFolder() const;
    QString productFolder() const;

    // The catalogue's working lists and the browser (main_window_browser.cpp).
    // A missing resource raises the editor's error, which ends the handler that asked.
    std::string loadResource(const QString& name);
    void read_file_from_stream(const QString& name);
    void readIntoSizeProbe(const QString& name);
    static QString format_resource_name(const QString& displayName);
    std::uint16_t get_effect_size(const QString& displayName);
    void create_categories();
    void lstCategoryClick(int row);
    void lstGainClick();
    void lstModulationClick();
    void lstSynthesisClick();
    void lstFilterClick();
    void lstDynamicClick();
    void lstIRClick();
    void lstOtherClick();
    void get_effects_name();
    void effectListItemClicked(QListWidgetItem* item);
    void move_up_or_down(int key);
    bool search_effect_name(int category);
    bool locate_effect();
    // The catalogue's number of the algorithm called `name` (0 when it has none).
    static std::uint32_t catalogueNumberOf(const QString& name);
    void show_parameter_window(const QString& caption, bool setWidth);
    // Puts the shown panel beside this window, fully on the screen.
    void placePanel(int width);

    // Which algorithm the pedal holds (main_window_query.cpp).
    void btnOpenEffectClick();
    // Asks the pedal which algorithm it holds and shows it. With `readValues` (Link) and the
    // values read automatically, Request follows at once and the panel is built while the pedal
    // answers it; true when Request ran.
    bool query_stored_effect(bool readValues = false);
    // Makes the catalogue's algorithm `number` the pedal's held one and the current one.
    void show_stored_effect(std::uint32_t number, std::optional<std::uint32_t> version);
    // The name of the algorithm the pedal holds (empty: none known).
    QString heldEffectName() const;
    // The pedal holds nothing the editor showed (erased, or no algorithm): the panel and its
    // values go, and Request waits for the next algorithm.
    void forgetHeldAlgorithm();

    // Upload (main_window_upload.cpp).
    void btnUploadClick();
    // The image text Upload sends, or nothing (with the reason shown) when there is none.
    std::optional<QString> imageToUpload();
    // Where Upload puts an algorithm: the pedal's preset, or in bank mode the chosen bank;
    // nothing (with the reason shown) when no bank is chosen.
    std::optional<core::UploadTarget> chosenUploadTarget();

    // Impulse responses (main_window_ir.cpp): merge a file's impulse response into irImage.
    void menuLoadIRClick();
    void loadImpulseResponse();
    // How long Load IR reads and resamples before its cancellable progress window shows (the
    // busy cursor shows from the start).
    int irProgressDelayMs = 700;
    // Settings ▸ "Resample IR to 48 kHz": kept in the preferences folder.
    void menuResampleIRClick();
    void menuReadValuesAutomaticallyClick();
    // After Link and after "Upload complete": Request by itself when the setting is on, else
    // the panel says how its values are read.
    void readPedalValuesAutomatically();
    void readImpulseResponsePreferences();
    // File ▸ "Impulse Response": the window that shows the loaded response.
    void menuImpulseResponseClick();
    // Merges the loaded response again with the fade and normalisation now chosen.
    void reshapeImpulseResponse();
    // The window shows the loaded response (when it exists).
    void refreshImpulseResponseView();

    // The pedal's settings (main_window_settings.cpp).
    void btnRequestClick();
    // Reads the pedal's parameter block for the current algorithm into the panel; `meanwhile`
    // runs while the pedal answers (the panel is built then, for an algorithm just queried).
    void RequestParameters(const std::function<void()>& meanwhile = {});
    void receive_mode(const core::ParameterBlock& block);
    void UpdateMidiChannelMenu(std::uint8_t channel);
    void SetBankMode();
    void SetPresetMode();
    void btnAssignClick();
    void btnStoreSettingsOnPedalClick();
    // Store Settings for an algorithm of `numControls` parameters; true when it went out whole
    // (otherwise told).
    bool storeSettingsOnPedal(std::size_t numControls);
    void menuMIDIchannelsClickItem(QAction* item);
    void swLiveSwitch();

    // Preset files (main_window_presets.cpp).
    void menuSaveConfigurationClick();
    // Save Configuration: true when a preset file was written. While the panel previews another
    // algorithm, the values of the one the pedal holds are saved.
    bool savePreset();
    // Writes the held values of `effect` (with the assignments of `numControls` controls and
    // `numReadbacks` read-backs) through the save dialog; true when written.
    bool saveHeldValues(const QString& effect, std::size_t numControls, std::size_t numReadbacks);
    void menuLoadConfigurationClick();
    // True when the file was written.
    bool SaveTextWithDialog(const QByteArray& TextContent, const QString& NameOfFile);
    // The chosen file's bytes, or nothing when cancelled or unreadable (then said); `path` is the file chosen.
    std::optional<QByteArray> LoadTextWithDialog(QString& path);
    // The bytes of the preset file at `path`, or nothing (said) when it cannot be read.
    std::optional<QByteArray> readPresetText(const QString& path);
    // Loads the preset at `path` as Load Configuration does once a file is chosen: checked, and
    // applied to the pedal's algorithm, or with the offer to upload the preset's own.
    void loadPresetFile(const QString& path);
    void loadPresetText(const QString& path, const QByteArray& text);
    QString presetFolder();
    // A preset for another algorithm than the pedal's (`plan` says which and why it fits): names
    // both, and offers to upload the preset's algorithm (the catalogue's image) and then put
    // every value of the preset on it.
    void offerPresetAlgorithm(const core::PresetFile& preset, const core::PresetLoadPlan& plan, const QString& path);
    void refusePreset(const QString& path, const QString& why);
    // Sends every value of `preset` through what the pedal holds (inside the caller's
    // conversation); false, told, when one did not go out whole. `sent` gets each value that
    // went out (its control, the value and its command).
    bool applyPresetValues(const core::PresetFile& preset, const core::ControlLayout& layout,
                           const core::ImageHeader& header, std::vector<ValueChange>* sent = nullptr);
    // File ▸ "Preset Library": the preset folder as a list (made at first use).
    void menuPresetLibraryClick();
    TformPresetLibrary* presetLibrary();
    // The library window when it was made, else null.
    TformPresetLibrary* existingPresetLibrary() const { return presetLibrary_; }
    // A preset file dragged from the file manager onto this window or the panel: the path of
    // the one local ".txt" file the drag carries, else empty.
    static QString droppedPreset(const QMimeData* data);
    // For the Open Preset File dialog: "Algorithm: Amber Drive" for the file at a path.
    std::function<QString(const QString&)> presetDescription();

    // Before `action` ("Unlink", "closing the editor") would drop values not stored on the pedal
    // (main_window_unstored.cpp): asks to store them (when `storeUseful`), save them as a preset,
    // or discard them. True when the action may go on: nothing was unstored, or it was stored,
    // saved or let go; false when the player cancelled or the store or save did not happen.
    bool settleUnstoredChanges(const QString& action, bool storeUseful = true);

    // Settings backups (main_window_backup.cpp).
    void menuBackUpSettingsClick();
    void menuRestoreSettingsClick();
    // Reads the pedal's settings into a backup file at `path` (logged); the reason when it
    // could not, for the caller to tell. `note` gets what the player should know of a backup
    // made (no impulse response included).
    std::optional<QString> backUpPedalTo(const QString& path, QString* note = nullptr);
    // Checks the backup at `path`, restores it, and shows the pedal's settings afterwards.
    // True when every setting took; a partial restore is a warning and keeps the offer.
    bool restorePedalFrom(const QString& path);
    // "Pedal settings <date and time>.json" in the preset folder.
    QString datedBackupPath();

    // Around a firmware upgrade (main_window_upgrade_backup.cpp).
    // Before `step` ("Erase Settings", "the firmware upgrade") changes the pedal: offers a dated
    // backup (kept in backupBeforeUpgrade). False when the backup failed and the user chose
    // not to go on.
    bool offerBackupBefore(const QString& step);
    // The pedal's settings were erased (or, `upgraded`, its firmware replaced): the next Link
    // offers to restore the backup made before, or the newest dated one.
    void rememberSettingsLost(bool upgraded);
    // At Link: the restore offer, once.
    void offerRestoreAfterUpgrade();
    // The pedal was set up again (Store Settings, an upload): a restore offer pending from an
    // earlier erase would put older settings over the new ones, so it goes.
    void forgetSettingsLost();
    // The newest "Pedal settings …" backup in the preset folder, empty when there is none.
    QString latestDatedBackup();
    QString restoreOfferPath() const;
    // The backup offerBackupBefore made, until the step it was made for has run.
    QString backupBeforeUpgrade;

    // The 20 ms poll for what the pedal sends by itself (real_time_functions.cpp).
    void Timer_USB_readTimer();
    void poll_pedal_messages();
    // Applies bytes the pedal sent on its own as the poll does (a read's, or the answer to an
    // EEPROM read that its conversation gathered).
    void takePedalMessages(std::span<const std::uint8_t> bytes);
    void select_reported_bank(std::uint32_t index);
    // The pedal reported "Upload complete".
    void uploadComplete();
    void select_reported_effect(std::uint16_t number);
    void apply_control_frame(const core::ControlFrame& frame);
    // Before an exchange that decodes a reply: what the pedal sent on its own and is already
    // waiting is read and applied as the poll would, then the receive queue is emptied, so the
    // reply's decoder sees only the exchange's own bytes.
    void takePendingMessages();

    // The update check and the Info menu's update entries (main_window_update.cpp).
    // Prepares the version request, wires the update entries and starts TimerCheckWebVersion.
    void prepareUpdateCheck();
    // TimerCheckWebVersion's tick: stops the timer and asks the server, without waiting.
    void checkmostrecentversiononwebsite();
    // The server answered: 200 carries the newest version, anything else is shown as an error.
    void WebRequestCompleted(int statusCode, const QString& statusText, const QByteArray& body);
    // No answer at all (no network, unreachable server, the time limit).
    void versionRequestFailed(const QString& failure);
    void menuUpdateNowClick();
    void menuShowUpdateMsgClick();
    // The server's newest version, empty until a check succeeded.
    QString webVersion;
    QString versionRequestAddress;

    // The Firmware Upgrade menu (main_window_firmware.cpp).
    void menuFirmwareUpgradeModeClick();
    void menuStartFirmwareUpgradeClick();
    void menuEraseSettingsClick();
    // Link's last step in upgrade mode: greets the bootloader and says how it answered.
    void greetBootloader();
    // Sends 0x7F with a time limit and logs "received Byte: "; the reply as two hex digits
    // ("79" when acknowledged), empty when nothing came.
    QString synchroniseBootloader();
    // No bootloader answered: back to normal operation, saying how to enter it.
    void bootloaderDidNotAnswer();
    // Link's query got no answer: tries the bootloader's synchronisation once (at even parity,
    // put back when nothing answers). When the bootloader answers, says so and offers Upgrade
    // Mode (taken: the editor is in upgrade mode and shows the firmware upgrade window); true then.
    // `synchronised`: the query's answer was the bootloader's already, so it is not greeted again.
    bool bootloaderAnswersAtLink(bool synchronised = false);
    // Linked to a pedal in its bootloader, Upgrade Mode declined: none of the pedal's normal
    // conversations can be held, and the main window says what to do.
    void showPedalInBootloader();
    // For the Link that is running: the bootloader was asked, and it answered.
    bool bootloaderAskedAtLink = false;
    bool bootloaderAnsweredAtLink = false;
    // Back to normal operation (no parity, Upgrade Mode unchecked, Request and Upload as
    // linked, driver reports as before upgrade mode); the 20 ms poll runs again when linked.
    void leaveUpgradeMode();
    // What upgrade mode turned off, to put back when it ends.
    bool reportsBeforeUpgradeMode = true;
    // After a successful flash: once the pedal answers with its new firmware, Unlink and Link
    // again (the Link offers the restore). Asked `kRelinkTries` times, `relinkIntervalMs`
    // apart, the main window's status saying what it waits for; it gives up with a word on how
    // to go on. Stops as soon as the player unlinks or enters Upgrade Mode.
    void relinkAfterFlash(int attempt = 1);
    static constexpr int kRelinkTries = 10;
    int relinkIntervalMs = 1000;
    // The closing that a flash refuses, said on the main window too.
    void showClosingRefused(const QString& why);

    // Controls, named as the editor's users and tests know them.
    QLabel* lblDeviceName = nullptr;
    QLabel* lblFirmwareVersion = nullptr;
    QPushButton* btnOpenEffect = nullptr;
    QPushButton* btnRequest = nullptr;
    QPushButton* btnAssign = nullptr;
    QPushButton* btnStoreSettingsOnPedal = nullptr;
    QPushButton* btnUpload = nullptr;
    QLabel* lblStatus = nullptr;
    QGroupBox* lblBankNum = nullptr;
    QRadioButton* rdbtnBank1 = nullptr;
    QRadioButton* rdbtnBank2 = nullptr;
    QRadioButton* rdbtnBank3 = nullptr;
    QGroupBox* lblLive = nullptr;
    QCheckBox* swLive = nullptr;
    QListWidget* lstCategory = nullptr;
    QListWidget* lstEffects = nullptr;

    QMenu* menuFile = nullptr;
    QAction* menuLoadConfiguration = nullptr;
    QAction* menuSaveConfiguration = nullptr;
    QAction* menuLoadIR = nullptr;
    QAction* menuBackUpSettings = nullptr;
    QAction* menuRestoreSettings = nullptr;
    QAction* menuResampleIR = nullptr;
    QAction* menuReadValuesAutomatically = nullptr;
    QAction* menuImpulseResponse = nullptr;
    QAction* menuPresetLibrary = nullptr;
    QAction* menuQuit = nullptr;
    QMenu* menuEdit = nullptr;
    QAction* menuUndo = nullptr;
    QAction* menuRedo = nullptr;
    QAction* menuCompare = nullptr;
    QMenu* menuConnection = nullptr;
    QAction* menuScan = nullptr;
    QAction* menuConnect = nullptr;
    QAction* menuDisconnect = nullptr;
    // The buttons of the left column as menu entries, for the keyboard.
    QAction* menuGetFXStored = nullptr;
    QAction* menuRequest = nullptr;
    QAction* menuAssign = nullptr;
    QAction* menuStoreSettings = nullptr;
    QAction* menuUpload = nullptr;
    QAction* menuParameterWindow = nullptr;
    QMenu* menuSettings = nullptr;
    QMenu* menuLook = nullptr;
    QMenu* menuMIDI = nullptr;
    QMenu* menuMIDIchannel = nullptr;
    QMenu* menuMode = nullptr;
    QAction* menuModePreset = nullptr;
    QAction* menuModeBank = nullptr;
    QMenu* menuFirmwareUpgrade = nullptr;
    QAction* menuFirmwareUpgradeMode = nullptr;
    QAction* menuStartFirmwareUpgrade = nullptr;
    QAction* menuEraseSettings = nullptr;
    QMenu* menuInfo = nullptr;
    QAction* menuSupport = nullptr;
    QAction* menuSaveSupportReport = nullptr;
    QAction* menuAppVersion = nullptr;
    QAction* menuNewAppVersion = nullptr;
    QAction* menuSerialNumber = nullptr;
    QAction* menuUpdateNow = nullptr;
    QAction* menuShowUpdateMsg = nullptr;
    std::vector<QAction*> midiChannelItems;
    std::vector<QListWidgetItem*> categoryItems;
    QStringList resourceLines;
    QStringList sizeProbeLines;
    // The impulse-response image Load IR merged, and the algorithm it was merged for.
    QString irImage;
    QString irImageEffectName;
    // The file behind irImage, kept so the window can show it and a new fade or normalisation
    // can be merged without reading it again.
    struct LoadedImpulseResponse {
        QString fileName;
        std::uint64_t fileBytes = 0;
        core::DecodedFormat format;
        core::FirstChannel firstChannel;
        core::TapGeometry geometry;
        std::string catalogueImage;
        core::PreparedIr prepared;
        // The whole response's spectrum, made on Load IR's thread; none once a reshaping has
        // changed the response (the window makes it again then).
        std::optional<ir_plot::ResponseSpectrum> wholeSpectrum;
    };
    std::optional<LoadedImpulseResponse> loadedIr;
    // What Load IR's thread makes of a file: the reading, then (read, and not cancelled) the
    // response prepared for the pedal's taps.
    struct IrReadWork {
        std::optional<core::Refusable<session::AudioFile>> audio;
        std::optional<core::Refusable<core::PreparedIr>> prepared;
        std::optional<ir_plot::ResponseSpectrum> wholeSpectrum;
        std::atomic<bool> cancelled{false};
    };
    // Reads and prepares `path` off the window's thread; null when the player cancelled.
    std::shared_ptr<const IrReadWork> readAndPrepareOffWindow(const QString& path, const QString& fileName, int taps);
    // A Load IR read the player cancelled, left to finish on its own; waited for before the
    // next one starts and when the window goes.
    std::unique_ptr<QThread> abandonedIrRead_;
    // The numbers of the pedal's last numeric reply.
    std::vector<std::uint8_t> replyBytes;
    // Bank code of the last upload in bank mode.
    QString bankPrefix;
    std::array<QAction*, 8> lookMenuItems{};

    QTimer Timer_USB_read;
    QTimer TimerCheckWebVersion;

    // The pedal went away while linked (during the conversation `during`, or none while the
    // poll found it): back to the unlinked state, and the player told once, in one box.
    void pedalDisconnected(std::optional<session::ConversationKind> during = std::nullopt);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the main window ends the program (Editor::end). While the firmware upgrade runs
    // it is refused, and the upgrade window says why; during another conversation the window
    // closes as soon as that has ended, within its time limit.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    // Places the controls for the client area's size: the left column where it has always
    // been, the category and algorithm lists growing with the window.
    void layOutClientArea();
    void buildMenus();
    void connectHandlers();
    void showCategory(int index, bool enableQueryButton);
    void writeModeFile(const QString& word);
    void applyPedalMessage(const core::PedalMessage& message);
    void showEepromDump(const core::EepromDump& dump);
    // The controls of the unlinked state (after a successful Unlink or a lost pedal).
    void showUnlinkedState();
    // The lists' keys: the arrows move the highlight, Enter or Space chooses the row.
    bool eventFilterForLists(QObject* watched, QKeyEvent* key);
    bool closePending_ = false;
    // A drag or drop onto this window or the panel; true when it was a preset's, and taken.
    bool takePresetDrop(QObject* watched, QEvent* event);
    TformPresetLibrary* presetLibrary_ = nullptr;

    Editor& editor_;
    // Erase Settings reads both EEPROMs back: their two dumps make one "Memory Erased" box,
    // shown when the last has come (and only when both are erased). Dumps after the time
    // limit are the console's own again.
    int eraseSettingsDumpsAwaited_ = 0;
    bool eraseSettingsAllErased_ = true;
    qint64 eraseSettingsDumpsUntil_ = 0;
    int foundEffectRow_ = -1;
    core::PedalMessageReader messageReader_;
    qint64 dumpStartedAt_ = 0;
};

// A submenu's entry in its parent menu is what the user sees enabled or greyed.
void setMenuEnabled(QMenu* menu, bool enabled);
bool isMenuEnabled(const QMenu* menu);

}  // namespace qeltx::app
