// The main window's data folders, preference files and Look menu.
#include "app/editor.h"
#include "app/main_window.h"
#include "app/preferences.h"
#include "core/look_colours.h"
#include "resources/resource_store.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QMenu>
#include <QRadioButton>

namespace qeltx::app {

namespace {
constexpr int kLookEntries = 7;
const QString kYes = QStringLiteral("YES");
const QString kNo = QStringLiteral("NO");
const QString kPreset = QStringLiteral("PRESET");
const QString kBank = QStringLiteral("BANK");
}  // namespace

QString TformMain::makerFolder() const {
    return QDir(editor_.platform().documentsFolder()).filePath(kMakerFolder);
}

QString TformMain::productFolder() const { return QDir(makerFolder()).filePath(kProductFolder); }

void TformMain::CreateDataFolder(const QString& name) {
    const QString path = QDir(editor_.platform().documentsFolder()).filePath(name);
    if (!QDir().mkpath(path)) editor_.dialogs().message(QStringLiteral("Error creating folder: ") + path, session::MessageKind::Error);
}

void TformMain::CreateDataSubfolder(const QString& name, const QString& sub) {
    const QString path = QDir(QDir(editor_.platform().documentsFolder()).filePath(name)).filePath(sub);
    if (!QDir().mkpath(path)) editor_.dialogs().message(QStringLiteral("Error creating subfolder: ") + path, session::MessageKind::Error);
}

void TformMain::ReadStartupPreferences() {
    // A file that cannot be read or written is reported once and its default used; start-up
    // never fails on a preference.
    const QDir product(productFolder());
    const QString notice = product.filePath(kNoticeFile);
    if (!QFile::exists(notice)) {
        if (!writePreferenceText(notice, kYes)) editor_.dialogs().message(QStringLiteral("Could not write ") + notice, session::MessageKind::Error);
    } else if (auto text = readPreferenceText(notice)) {
        if (*text == kYes) editor_.state.showUpdateMessage = true;
        if (*text == kNo) editor_.state.showUpdateMessage = false;
    } else {
        editor_.dialogs().message(QStringLiteral("Could not read ") + notice, session::MessageKind::Error);
    }

    const QString mode = product.filePath(kModeFile);
    if (!QFile::exists(mode) && !writePreferenceText(mode, kPreset)) {
        editor_.dialogs().message(QStringLiteral("Could not write ") + mode, session::MessageKind::Error);
    }
    const std::optional<QString> text = QFile::exists(mode) ? readPreferenceText(mode) : std::optional<QString>(kPreset);
    if (!text) editor_.dialogs().message(QStringLiteral("Could not read ") + mode, session::MessageKind::Error);
    const QString word = text.value_or(kPreset);
    if (word == kPreset) {
        editor_.state.pedalMode = kPresetMode;
        menuModePreset->setChecked(true);
        menuModeBank->setChecked(false);
        lblBankNum->setEnabled(false);
    } else if (word == kBank) {
        editor_.state.pedalMode = kBankMode;
        menuModePreset->setChecked(false);
        menuModeBank->setChecked(true);
        lblBankNum->setEnabled(true);
        rdbtnBank1->setChecked(true);
    }

    // Reading the pedal's values after Link and after an upload is on unless the player turned
    // it off; a missing or unreadable file keeps it on.
    const QString readBack = product.filePath(kReadValuesFile);
    if (QFile::exists(readBack)) {
        if (const auto answer = readPreferenceText(readBack); answer && answer->trimmed() == kNo) {
            editor_.state.readValuesAutomatically = false;
        }
    }
    menuReadValuesAutomatically->setChecked(editor_.state.readValuesAutomatically);
}

void TformMain::menuReadValuesAutomaticallyClick() {
    editor_.state.readValuesAutomatically = menuReadValuesAutomatically->isChecked();
    const QString path = QDir(productFolder()).filePath(kReadValuesFile);
    if (!writePreferenceText(path, editor_.state.readValuesAutomatically ? kYes : kNo)) {
        editor_.dialogs().message(QStringLiteral("Could not write ") + path, session::MessageKind::Error);
    }
}

void TformMain::BuildLookMenu() {
    // Each entry shows its number (the key that picks it) and its look's name; the check mark
    // shows the current one.
    menuLook->setToolTipsVisible(true);
    for (int i = 0; i < kLookEntries; ++i) {
        QAction* item = menuLook->addAction(QStringLiteral("&%1").arg(i));
        item->setObjectName(QStringLiteral("lookMenuItem%1").arg(i));
        item->setCheckable(true);
        if (const auto sheet = resources::styleResource("Style_" + std::to_string(i))) {
            const QString name = QString::fromStdString(core::lookName(*sheet));
            item->setText(QStringLiteral("&%1  %2").arg(i).arg(name));
            item->setToolTip(name);
        }
        lookMenuItems[static_cast<std::size_t>(i)] = item;
        connect(item, &QAction::triggered, this, editor_.guarded([this, item] { menuLookClickItem(item); }));
    }
}

bool TformMain::applyStyle(int number) {
    const auto sheet = resources::styleResource("Style_" + std::to_string(number));
    // A look that does not exist leaves the current one, and its check mark, as they were.
    if (!sheet) return false;
    qApp->setStyleSheet(QString::fromUtf8(sheet->data(), static_cast<qsizetype>(sheet->size())));
    for (std::size_t i = 0; i < lookMenuItems.size(); ++i) {
        if (lookMenuItems[i]) lookMenuItems[i]->setChecked(static_cast<int>(i) == number);
    }
    return true;
}

void TformMain::ApplySavedStyle() {
    const QString path = QDir(makerFolder()).filePath(kStyleFile);
    int number = 0;
    if (QFile::exists(path)) {
        const std::optional<QString> text = readPreferenceText(path);
        bool isNumber = false;
        const int read = text ? text->toInt(&isNumber) : 0;
        if (isNumber) {
            number = read;
        } else {
            editor_.dialogs().message(QStringLiteral("The look saved in ") + path +
                                      QStringLiteral(" is not a number; the default look is used."),
                                      session::MessageKind::Warning);
        }
    }
    applyStyle(number);
}

void TformMain::menuLookClickItem(QAction* item) {
    const auto found = std::find(lookMenuItems.begin(), lookMenuItems.end(), item);
    if (found == lookMenuItems.end()) return;
    const int index = static_cast<int>(found - lookMenuItems.begin());
    applyStyle(index);
    const QString path = QDir(makerFolder()).filePath(kStyleFile);
    if (!writePreferenceText(path, QString::number(index))) {
        editor_.dialogs().message(QStringLiteral("Could not write ") + path, session::MessageKind::Error);
    }
}

}  // namespace qeltx::app
