// TformFirmwareUpgrade: the firmware choice, the flashing run with its console log and
// progress, and the return to normal operation.
#include "app/firmware_upgrade.h"

#include "app/editor.h"
#include "session/flasher.h"
#include "app/main_window.h"
#include "core/hex.h"
#include "resources/resource_store.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qeltx::app {

namespace {

const QString kComplete = QStringLiteral("Firmware Upgrade Complete, device will now restart");
const QString kClosingRefused = QStringLiteral(
    "The editor stays open until the firmware upgrade has finished: stopping it now would leave the pedal without "
    "firmware.");
const QString kFirmwareFilter = QStringLiteral("Firmware (*.bin *.hex);;All files (*)");

QString hex8(std::uint32_t value) { return QString::fromStdString(core::word32ToHex(value)); }

// Puts a control's enabled state back however the run ends.
class EnabledAgain {
public:
    EnabledAgain(QWidget& widget) : widget_(widget) { widget_.setEnabled(false); }
    ~EnabledAgain() { widget_.setEnabled(true); }
    EnabledAgain(const EnabledAgain&) = delete;
    EnabledAgain& operator=(const EnabledAgain&) = delete;

private:
    QWidget& widget_;
};

}  // namespace

TformFirmwareUpgrade::TformFirmwareUpgrade(Editor& editor) : QWidget(nullptr), editor_(editor) {
    setObjectName(QStringLiteral("formFirmwareUpgrade"));
    setWindowTitle(QStringLiteral("Firmware Upgrade"));
    resize(420, 150);

    cmbFirmwareChoose = new QComboBox(this);
    cmbFirmwareChoose->setObjectName(QStringLiteral("cmbFirmwareChoose"));
    btnOpenFirmwareFile = new QPushButton(QStringLiteral("Open firmware file…"), this);
    btnOpenFirmwareFile->setObjectName(QStringLiteral("btnOpenFirmwareFile"));
    btnUpgradeFirmware = new QPushButton(QStringLiteral("Upgrade Firmware"), this);
    btnUpgradeFirmware->setObjectName(QStringLiteral("btnUpgradeFirmware"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setValue(0);
    lblFirmwareStep = new QLabel(this);
    lblFirmwareStep->setObjectName(QStringLiteral("lblFirmwareStep"));
    lblFirmwareStep->setWordWrap(true);
    lblFirmwareNote = new QLabel(kClosingRefused, this);
    lblFirmwareNote->setObjectName(QStringLiteral("lblFirmwareNote"));
    lblFirmwareNote->setWordWrap(true);
    lblFirmwareNote->hide();

    auto* choice = new QHBoxLayout;
    choice->addWidget(cmbFirmwareChoose, 1);
    choice->addWidget(btnOpenFirmwareFile);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choice);
    layout->addWidget(btnUpgradeFirmware);
    layout->addWidget(ProgressBar1);
    layout->addWidget(lblFirmwareStep);
    layout->addWidget(lblFirmwareNote);

    for (const std::string& name : resources::firmwareResourceNames()) {
        entries_.push_back({QString::fromStdString(name), std::nullopt});
        cmbFirmwareChoose->addItem(QString::fromStdString(name));
    }

    connect(cmbFirmwareChoose, &QComboBox::currentIndexChanged, this, editor_.guarded([this] { FirmwareSelect(); }));
    connect(btnOpenFirmwareFile, &QPushButton::clicked, this, editor_.guarded([this] { btnOpenFirmwareFileClick(); }));
    connect(btnUpgradeFirmware, &QPushButton::clicked, this, editor_.guarded([this] { btnUpgradeFirmwareClick(); }));
}

void TformFirmwareUpgrade::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    editor_.guard([this] { FormShow(); });
}

void TformFirmwareUpgrade::closeEvent(QCloseEvent* event) {
    if (editor_.line().running() == session::ConversationKind::Flashing) {
        event->ignore();
        refuseClosing();
        return;
    }
    QWidget::closeEvent(event);
}

void TformFirmwareUpgrade::refuseClosing() {
    editor_.printToConsole(kClosingRefused);
    // Said where the player tried to close, too: the main window may be all that is on screen.
    editor_.formMain()->showClosingRefused(kClosingRefused);
    lblFirmwareNote->show();
    showNormal();
    raise();
    activateWindow();
}

void TformFirmwareUpgrade::showProgress(const session::FlashProgress& p) {
    switch (p.stage) {
        case session::FlashStage::Erase: lblFirmwareStep->setText(QStringLiteral("Erasing the pedal's flash…")); break;
        case session::FlashStage::Write:
            lblFirmwareStep->setText(QStringLiteral("Writing the firmware: %1 of %2 chunks written").arg(p.done).arg(p.total));
            break;
        case session::FlashStage::Verify:
            lblFirmwareStep->setText(QStringLiteral("Verifying the firmware: %1 of %2 chunks read back and compared")
                                         .arg(p.done)
                                         .arg(p.total));
            break;
        case session::FlashStage::Go: lblFirmwareStep->setText(QStringLiteral("Starting the new firmware…")); break;
    }
    if (p.stage == session::FlashStage::Write || p.stage == session::FlashStage::Verify) {
        ProgressBar1->setMaximum(static_cast<int>(p.total));
        ProgressBar1->setValue(static_cast<int>(p.done));
    }
}

void TformFirmwareUpgrade::FormShow() {
    const int last = cmbFirmwareChoose->count() - 1;
    if (last < 0) return;
    if (cmbFirmwareChoose->currentIndex() == last) {
        FirmwareSelect();
    } else {
        cmbFirmwareChoose->setCurrentIndex(last);
    }
}

void TformFirmwareUpgrade::FirmwareSelect() {
    const QString text = cmbFirmwareChoose->currentText();
    firmwareResourceName = text;
    firmwareNumber = core::firmwareNumberFromName(text.toStdString());
    editor_.printToConsole(QStringLiteral("Firmware Version: ") + QString::number(firmwareNumber));
    editor_.printToConsole(text);
}

void TformFirmwareUpgrade::refuse(const QString& text) {
    editor_.printToConsole(text);
    lblFirmwareStep->setText(text);
    editor_.dialogs().message(text, session::MessageKind::Error);
}

void TformFirmwareUpgrade::btnOpenFirmwareFileClick() {
    const QString path = editor_.dialogs().openFile(QStringLiteral("Open firmware file"),
                                                    editor_.platform().documentsFolder(), kFirmwareFilter);
    if (path.isEmpty()) return;
    addFirmwareFile(path);
}

bool TformFirmwareUpgrade::addFirmwareFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        refuse(QStringLiteral("Firmware file refused: ") + path + QStringLiteral(" cannot be read"));
        return false;
    }
    const QByteArray content = file.readAll();
    const QFileInfo info(path);
    core::FirmwareImage image;
    if (info.suffix().compare(QStringLiteral("hex"), Qt::CaseInsensitive) == 0) {
        const auto parsed = core::parseIntelHex(std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
        if (!parsed) {
            refuse(QStringLiteral("Firmware file refused: ") + info.fileName() + QStringLiteral(": ") +
                   QString::fromStdString(parsed.reason()));
            return false;
        }
        image = *parsed;
    } else {
        image.bytes.assign(content.begin(), content.end());
    }
    // A binary image is laid out from the start of the flash; a HEX file must start there too, and
    // both kinds must end below the marker.
    const auto chunks = core::chunkFirmware(image.bytes, image.baseAddress);
    if (!chunks) {
        refuse(QStringLiteral("Firmware file refused: ") + info.fileName() + QStringLiteral(": ") +
               QString::fromStdString(chunks.reason()));
        return false;
    }
    editor_.printToConsole(QStringLiteral("firmware file: ") + path + QStringLiteral(", ") +
                           QString::number(image.bytes.size()) + QStringLiteral(" bytes at 0x") + hex8(image.baseAddress));
    entries_.push_back({info.fileName(), std::move(image)});
    cmbFirmwareChoose->addItem(info.fileName());
    cmbFirmwareChoose->setCurrentIndex(cmbFirmwareChoose->count() - 1);
    return true;
}

std::optional<core::FirmwareImage> TformFirmwareUpgrade::loadSelectedImage() {
    const int index = cmbFirmwareChoose->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) {
        refuse(QStringLiteral("choose a firmware"));
        return std::nullopt;
    }
    const Entry& entry = entries_[static_cast<std::size_t>(index)];
    if (entry.file) return entry.file;
    const auto bytes = resources::firmwareResource(entry.name.toStdString());
    if (!bytes) {
        refuse(QStringLiteral("Error loading resource: ") + entry.name);
        return std::nullopt;
    }
    core::FirmwareImage image;
    image.bytes.assign(bytes->begin(), bytes->end());
    return image;
}

void TformFirmwareUpgrade::logChunks(const std::vector<core::FlashChunk>& chunks) {
    const std::size_t size = chunks.empty() ? 0 : (chunks.size() - 1) * core::bootloader::kMaxBlock + chunks.back().data.size();
    editor_.printToConsole(QStringLiteral("num of chunks: ") + QString::number(size / core::bootloader::kMaxBlock));
    editor_.printToConsole(QStringLiteral("num of bytes last chunk: ") + QString::number(size % core::bootloader::kMaxBlock));
    QStringList lines;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        lines << QStringLiteral("chunk from string %1: ").arg(i) << QString::fromStdString(core::toHex(chunks[i].data))
              << QStringLiteral("chunk %1 size: %2").arg(i).arg(chunks[i].data.size()) << QString() << QString();
    }
    for (const QString& line : std::as_const(lines)) editor_.printToConsole(line);
}

void TformFirmwareUpgrade::btnUpgradeFirmwareClick() {
    EnabledAgain button(*btnUpgradeFirmware);
    TformMain& main = *editor_.formMain();
    const auto image = loadSelectedImage();
    if (!image) return;
    editor_.printToConsole(QStringLiteral("Firmware num of bytes: ") + QString::number(image->bytes.size()));
    // Everything about the image is checked before the flash is touched.
    const auto plan = session::planFlash(image->bytes, image->baseAddress, firmwareNumber);
    if (!plan) {
        refuse(QStringLiteral("Firmware refused, nothing was erased: ") + QString::fromStdString(plan.reason()));
        return;
    }
    logChunks(plan->chunks);
    if (!plan->marker) {
        editor_.printToConsole(QStringLiteral("no firmware marker written: none is defined for firmware number ") +
                               QString::number(firmwareNumber));
    }

    // Everything that could send is held until the run has finished or failed: a byte of any
    // other conversation in the bootloader's traffic can leave the pedal without firmware.
    const auto talk = editor_.line().begin(session::ConversationKind::Flashing);
    if (!talk) return;
    lblFirmwareStep->setText(QStringLiteral("Greeting the bootloader…"));
    editor_.line().dispatch(0);  // holds the controls and paints the step now
    std::optional<session::FlashFailure> failure;
    {
        const auto log = [this](const QString& line) { editor_.printToConsole(line); };
        session::LatencyLowered latency(editor_.usb(), log);
        session::Flasher flasher(editor_.usb(), editor_.exchange(), log);
        flasher.onProgress = [this](const session::FlashProgress& p) { showProgress(p); };
        failure = flasher.run(*plan);
    }
    // The flash is no longer being written; the note goes with the run.
    lblFirmwareNote->hide();
    if (failure) {
        refuse(QStringLiteral("Firmware upgrade failed: ") + failure->describe() +
               QStringLiteral(". The pedal stays in its bootloader: click Upgrade Firmware to start again from the "
                              "beginning."));
        return;
    }
    lblFirmwareStep->setText(kComplete);
    editor_.dialogs().message(kComplete);
    ProgressBar1->setValue(0);
    hide();
    main.leaveUpgradeMode();
    main.rememberSettingsLost(true);
    // The pedal restarts with its new firmware: linked again once it answers, after the flash.
    editor_.whenIdle([&main] { main.relinkAfterFlash(); });
}

}  // namespace qeltx::app
