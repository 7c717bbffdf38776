// TformPresetLibrary: the preset folder as a list (name, algorithm, date), kept current as files
// come and go; a preset is loaded from it by double-click or Enter through Load Configuration's
// own steps, and renamed, moved to the trash or shown in the file manager from it.
#pragma once

#include <QFileSystemWatcher>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace qeltx::app {

class Editor;
class TformMain;

class TformPresetLibrary : public QWidget {
    Q_OBJECT
public:
    TformPresetLibrary(Editor& editor, TformMain& main, QWidget* parent);

    // Reads the folder again and lists what the filter lets through, the selection kept.
    void refresh();
    // The selected preset's path, empty when none.
    QString selectedPath() const;
    void loadSelected();
    // The name of the selected preset becomes editable; the edit renames the file.
    void renameSelected();
    // Renames the preset at `path` to `name` (".txt" added); false, said, when it could not.
    bool renamePreset(const QString& path, const QString& name);
    // Moves the selected preset to the desktop's trash, after asking. Where there is no trash,
    // says so and deletes it only when the player agrees to lose it for good.
    void deleteSelected();
    // The preset folder in the desktop's file manager.
    void showFolder();

    QTreeWidget* lstPresets = nullptr;
    QCheckBox* chkAllAlgorithms = nullptr;
    QPushButton* btnLoadPreset = nullptr;
    QPushButton* btnRenamePreset = nullptr;
    QPushButton* btnDeletePreset = nullptr;
    QPushButton* btnShowPresetFolder = nullptr;
    QLabel* lblLibraryStatus = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void nameEdited(QTreeWidgetItem* item, int column);
    QString folder() const;

    Editor& editor_;
    TformMain& main_;
    QFileSystemWatcher watcher_;
    bool filling_ = false;
    bool placed_ = false;
};

}  // namespace qeltx::app
