// The preset library window.
#include "app/preset_library.h"

#include "app/editor.h"
#include "app/main_window.h"
#include "app/window_placement.h"
#include "core/catalogue_lists.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "resources/resource_store.h"
#include "session/preset_library.h"

#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace qeltx::app {

namespace {
enum Column { kName, kAlgorithm, kDate };
constexpr int kPathRole = Qt::UserRole;
const QString kExtension = QStringLiteral(".txt");

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}
}  // namespace

TformPresetLibrary::TformPresetLibrary(Editor& editor, TformMain& main, QWidget* parent)
    : QWidget(parent, Qt::Window), editor_(editor), main_(main) {
    setObjectName(QStringLiteral("formPresetLibrary"));
    setWindowTitle(QStringLiteral("Preset Library"));
    resize(560, 420);

    lstPresets = new QTreeWidget(this);
    lstPresets->setObjectName(QStringLiteral("lstPresets"));
    lstPresets->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Algorithm"), QStringLiteral("Date")});
    lstPresets->setRootIsDecorated(false);
    lstPresets->setSelectionMode(QAbstractItemView::SingleSelection);
    lstPresets->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    lstPresets->header()->setSectionResizeMode(kName, QHeaderView::Stretch);
    lstPresets->header()->setSectionResizeMode(kAlgorithm, QHeaderView::ResizeToContents);
    lstPresets->header()->setSectionResizeMode(kDate, QHeaderView::ResizeToContents);
    lstPresets->header()->setStretchLastSection(false);

    chkAllAlgorithms = new QCheckBox(QStringLiteral("Presets of &all algorithms"), this);
    chkAllAlgorithms->setObjectName(QStringLiteral("chkAllAlgorithms"));
    btnLoadPreset = button(this, "btnLoadPreset", QStringLiteral("&Load"));
    btnRenamePreset = button(this, "btnRenamePreset", QStringLiteral("&Rename"));
    btnDeletePreset = button(this, "btnDeletePreset", QStringLiteral("&Delete"));
    btnShowPresetFolder = button(this, "btnShowPresetFolder", QStringLiteral("Show in &Folder"));
    lblLibraryStatus = new QLabel(this);
    lblLibraryStatus->setObjectName(QStringLiteral("lblLibraryStatus"));
    lblLibraryStatus->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btnLoadPreset, btnRenamePreset, btnDeletePreset, btnShowPresetFolder}) buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chkAllAlgorithms);
    layout->addWidget(lstPresets);
    layout->addLayout(buttons);
    layout->addWidget(lblLibraryStatus);

    connect(lstPresets, &QTreeWidget::itemActivated, this, editor_.guarded([this] { loadSelected(); }));
    connect(lstPresets, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        editor_.guard([&] { nameEdited(item, column); });
    });
    connect(chkAllAlgorithms, &QCheckBox::toggled, this, editor_.guarded([this] { refresh(); }));
    connect(btnLoadPreset, &QPushButton::clicked, this, editor_.guarded([this] { loadSelected(); }));
    connect(btnRenamePreset, &QPushButton::clicked, this, editor_.guarded([this] { renameSelected(); }));
    connect(btnDeletePreset, &QPushButton::clicked, this, editor_.guarded([this] { deleteSelected(); }));
    connect(btnShowPresetFolder, &QPushButton::clicked, this, editor_.guarded([this] { showFolder(); }));
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
            editor_.guarded([this] { refresh(); }, Editor::Source::TimerOrNetwork));
    // Another algorithm on the pedal is another filter.
    connect(&editor_.pedal(), &session::PedalState::algorithmChanged, this, [this] {
        if (isVisible()) editor_.guard([this] { refresh(); }, Editor::Source::TimerOrNetwork);
    });
}

QString TformPresetLibrary::folder() const { return main_.presetFolder(); }

void TformPresetLibrary::showEvent(QShowEvent* event) {
    if (!placed_) {
        // The first time over the main window, where the player is looking, and wholly on its
        // screen; where the player moves it afterwards is kept.
        placed_ = true;
        move(main_.frameGeometry().center() - rect().center());
        keepOnScreen(*this, &main_);
    }
    QWidget::showEvent(event);
    const QString path = folder();
    if (!watcher_.directories().contains(path)) {
        if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
        watcher_.addPath(path);
    }
    refresh();
}

bool TformPresetLibrary::event(QEvent* event) {
    // Back from the browser with another algorithm chosen: the filter follows the panel.
    if (event->type() == QEvent::WindowActivate) editor_.guard([this] { refresh(); }, Editor::Source::TimerOrNetwork);
    return QWidget::event(event);
}

void TformPresetLibrary::refresh() {
    const auto list = resources::catalogueResource(core::kEffectListResource);
    const auto entries = session::listPresetFolder(folder(), list ? core::splitLines(*list) : std::vector<std::string>{});
    const QString selected = selectedPath();
    const QString algorithm = editor_.state.currentEffectName;
    const bool all = chkAllAlgorithms->isChecked() || algorithm.isEmpty();
    filling_ = true;
    lstPresets->clear();
    int shown = 0;
    for (const session::PresetEntry& entry : entries) {
        if (!all && entry.algorithm != algorithm) continue;
        auto* item = new QTreeWidgetItem(lstPresets);
        item->setText(kName, entry.name);
        item->setText(kAlgorithm, entry.algorithm);
        item->setText(kDate, QLocale().toString(entry.modified, QLocale::ShortFormat));
        item->setData(kName, kPathRole, entry.path);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        // A file that is no preset stays in the list, to rename or delete, but reads as such.
        if (!entry.effectNumber) item->setForeground(kAlgorithm, palette().brush(QPalette::Disabled, QPalette::Text));
        if (entry.path == selected) lstPresets->setCurrentItem(item);
        ++shown;
    }
    filling_ = false;
    const QString count = all ? (shown == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(shown))
                              : (shown == 1 ? QStringLiteral("1 preset of ") : QStringLiteral("%1 presets of ").arg(shown)) +
                                    algorithm;
    lblLibraryStatus->setText(count + QStringLiteral(" in ") + QDir::toNativeSeparators(folder()));
}

QString TformPresetLibrary::selectedPath() const {
    const QTreeWidgetItem* item = lstPresets->currentItem();
    return item ? item->data(kName, kPathRole).toString() : QString();
}

void TformPresetLibrary::loadSelected() {
    const QString path = selectedPath();
    if (!path.isEmpty()) main_.loadPresetFile(path);
}

void TformPresetLibrary::renameSelected() {
    if (QTreeWidgetItem* item = lstPresets->currentItem()) lstPresets->editItem(item, kName);
}

void TformPresetLibrary::nameEdited(QTreeWidgetItem* item, int column) {
    if (filling_ || column != kName || !item) return;
    const QString path = item->data(kName, kPathRole).toString();
    if (!renamePreset(path, item->text(kName))) {
        filling_ = true;
        item->setText(kName, QFileInfo(path).completeBaseName());
        filling_ = false;
    }
}

bool TformPresetLibrary::renamePreset(const QString& path, const QString& name) {
    QString wanted = name.trimmed();
    if (wanted.endsWith(kExtension, Qt::CaseInsensitive)) wanted.chop(kExtension.size());
    if (wanted == QFileInfo(path).completeBaseName()) return true;
    auto refuse = [this](const QString& why) {
        editor_.dialogs().message(QStringLiteral("The preset was not renamed: ") + why, session::MessageKind::Warning);
        return false;
    };
    // A name, not a path: the preset stays in its folder.
    if (wanted.isEmpty() || wanted.contains(QLatin1Char('/')) || wanted.contains(QLatin1Char('\\')) ||
        wanted.startsWith(QLatin1Char('.'))) {
        return refuse(QStringLiteral("\"%1\" is not a file name.").arg(name));
    }
    const QString target = QFileInfo(path).dir().filePath(wanted + kExtension);
    if (QFileInfo::exists(target)) return refuse(QStringLiteral("a preset called \"%1\" exists already.").arg(wanted));
    QFile file(path);
    if (!file.rename(target)) return refuse(file.errorString());
    editor_.printToConsole(QStringLiteral("preset renamed: ") + path + QStringLiteral(" -> ") + target);
    refresh();
    return true;
}

void TformPresetLibrary::deleteSelected() {
    const QString path = selectedPath();
    if (path.isEmpty()) return;
    const QString name = QFileInfo(path).fileName();
    if (!editor_.dialogs().confirm(QStringLiteral("Move the preset \"%1\" to the trash?").arg(name))) return;
    QFile file(path);
    if (file.moveToTrash()) {
        editor_.printToConsole(QStringLiteral("preset moved to the trash: ") + path);
    } else {
        // Nothing could take it back later: the player decides, knowing that.
        if (!editor_.dialogs().confirm(QStringLiteral("The desktop has no trash for the preset folder, so \"%1\" "
                                                      "cannot be moved to one (%2).\r\nDelete it for good?")
                                           .arg(name, file.errorString()))) {
            return;
        }
        if (!file.remove()) {
            editor_.dialogs().message(QStringLiteral("The preset was not deleted: ") + file.errorString(),
                                      session::MessageKind::Error);
            return;
        }
        editor_.printToConsole(QStringLiteral("preset deleted: ") + path);
    }
    refresh();
}

void TformPresetLibrary::showFolder() { main_.OpenURL(QUrl::fromLocalFile(folder()).toString()); }

}  // namespace qeltx::app
