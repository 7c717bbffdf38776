// TformNewVersionMsg: the notice that a newer editor is out, with the release notes, the
// updater and the switch that keeps the notice from coming back.
#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QKeyEvent;
class QShowEvent;

namespace qeltx::app {

class Editor;

// Paths on the maker's web server.
inline const QString kVersionPath = QStringLiteral("/download/qeltx/qelt-x-version.php");
inline const QString kWhatsNewPath = QStringLiteral("/download/qeltx/update/whatsnew.html");
// The updater sits beside the editor (Windows builds only); it downloads into the temporary
// folder and replaces the editor named in its second argument.
inline const QString kUpdaterProgram = QStringLiteral("QELT_X_Win_Updater.exe");
inline const QString kUpdateDownload = QStringLiteral("QELT_X_Editor_Update.exe");

class TformNewVersionMsg : public QWidget {
    Q_OBJECT
public:
    explicit TformNewVersionMsg(Editor& editor);

    // Fills the labels with this editor's version and the server's, each time it is shown.
    void FormShow();
    // "Update Now": starts the updater elevated and ends the editor. Where there is no updater
    // (any platform but Windows) it opens the release notes and the editor runs on.
    void btnLaunchUpdateClick();
    // "What's New?": the release notes in the browser.
    void btnSeeWhatsNewClick();
    // "Don't Show This Message Again": ticking it writes "NO" into an existing notice file.
    void dontShowAgainToggled();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* btnLaunchUpdate = nullptr;
    QPushButton* btnSeeWhatsNew = nullptr;
    QCheckBox* chkDontShowAgain = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    // Escape closes the notice, as it closes a dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    Editor& editor_;
};

}  // namespace qeltx::app
