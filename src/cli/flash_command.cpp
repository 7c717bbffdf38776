// qeltx-cli flash: the pedal's firmware through its serial bootloader, with the editor's
// flasher, a progress bar on standard error and a time limit on every step.
#include "session/flasher.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "cli/pedal_link.h"
#include "core/bootloader_frames.h"
#include "core/commands.h"
#include "pedal_sim/pedal_model.h"
#include "resources/resource_store.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

#include <cstdio>
#include <unistd.h>

namespace qeltx::cli {

namespace {

const QString kComplete = QStringLiteral("Firmware Upgrade Complete, device will now restart");
constexpr int kProgressBarWidth = 40;

struct Firmware {
    QString name;
    core::FirmwareImage image;
    int number = 1;
};

// The firmware file given, or the last firmware built into the program (the one the editor's
// firmware window selects).
core::Refusable<Firmware> loadFirmware(const std::optional<std::string>& file) {
    using Result = core::Refusable<Firmware>;
    Firmware firmware;
    if (!file) {
        const auto names = resources::firmwareResourceNames();
        if (names.empty()) return Result::refused("this program carries no firmware; give one with --firmware");
        const auto bytes = resources::firmwareResource(names.back());
        if (!bytes) return Result::refused("Error loading resource: " + names.back());
        firmware.name = QString::fromStdString(names.back());
        firmware.image.bytes.assign(bytes->begin(), bytes->end());
        firmware.number = core::firmwareNumberFromName(names.back());
        return Result::accepted(std::move(firmware));
    }
    const QString path = QString::fromStdString(*file);
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) return Result::refused(*file + ": " + in.errorString().toStdString());
    const QByteArray content = in.readAll();
    const QFileInfo info(path);
    firmware.name = info.fileName();
    firmware.number = core::firmwareNumberFromName(info.fileName().toStdString());
    if (info.suffix().compare(QStringLiteral("hex"), Qt::CaseInsensitive) == 0) {
        const auto parsed = core::parseIntelHex(std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
        if (!parsed) return Result::refused(info.fileName().toStdString() + ": " + parsed.reason());
        firmware.image = *parsed;
    } else {
        firmware.image.bytes.assign(content.begin(), content.end());
    }
    return Result::accepted(std::move(firmware));
}

// A bar redrawn in place on a terminal; on anything else one line as each stage ends.
class ProgressBar {
public:
    explicit ProgressBar(const Output& output) : output_(output), terminal_(isatty(STDERR_FILENO) == 1) {}

    void show(const session::FlashProgress& p) {
        const QString stage = stageName(p.stage);
        if (!terminal_) {
            if (p.done == p.total) output_.note(stage + QStringLiteral(": done"));
            return;
        }
        const std::size_t filled = p.total == 0 ? 0 : p.done * kProgressBarWidth / p.total;
        const QString bar = QString(static_cast<qsizetype>(filled), QLatin1Char('#')) +
                            QString(static_cast<qsizetype>(kProgressBarWidth - filled), QLatin1Char('.'));
        const QByteArray line = (QStringLiteral("\r%1 [%2] %3/%4").arg(stage, -10).arg(bar).arg(p.done).arg(p.total)).toUtf8();
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
        if (p.done == p.total) std::fputc('\n', stderr);
        std::fflush(stderr);
    }

private:
    static QString stageName(session::FlashStage stage) {
        switch (stage) {
            case session::FlashStage::Erase: return QStringLiteral("erasing");
            case session::FlashStage::Write: return QStringLiteral("writing");
            case session::FlashStage::Verify: return QStringLiteral("verifying");
            case session::FlashStage::Go: return QStringLiteral("starting");
        }
        return {};
    }

    const Output& output_;
    bool terminal_;
};

}  // namespace

int runFlash(const Invocation& invocation, const Output& output) {
    const auto firmware = loadFirmware(invocation.value("--firmware"));
    if (!firmware) return output.fail(QString::fromStdString(firmware.reason()));
    output.log(QStringLiteral("Firmware num of bytes: ") + QString::number(firmware->image.bytes.size()));
    // Everything about the image is checked before the pedal is touched.
    auto plan = session::planFlash(firmware->image.bytes, firmware->image.baseAddress, firmware->number);
    if (!plan) return output.fail(QStringLiteral("firmware refused, nothing was erased: ") + QString::fromStdString(plan.reason()));
    session::FlashPlan job = *plan;
    job.verify = !invocation.has("--no-verify");
    if (!job.marker) {
        output.log(QStringLiteral("no firmware marker written: none is defined for firmware number ") +
                   QString::number(firmware->number));
    }

    const bool inBootloader = invocation.has("--in-bootloader");
    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open(inBootloader)) return output.fail(*problem);
    link::D2XXUnit& usb = link.usb();
    if (!inBootloader) {
        // A person keeps B2 pressed while the pedal restarts; the virtual pedal gets that here.
        pedal_sim::PedalModel* pedal = link.virtualPedal();
        if (pedal) pedal->setButton(pedal_sim::control::kB2, true);
        const bool sent = link.exchange().send(core::bypassCommand(true)) &&
                          link.exchange().send(core::upgradeModeCommand());
        if (pedal) pedal->setButton(pedal_sim::control::kB2, false);
        if (!sent) return output.fail(link.exchange().notSentText(QStringLiteral("the upgrade-mode command")));
        usb.SetPortParameters(link::portModeBootloader);
        usb.SetFTDeviceDataCharacteristics();
    }

    const auto log = output.logSink();
    session::LatencyLowered latency(usb, log);
    session::Flasher flasher(usb, link.exchange(), log);
    ProgressBar bar(output);
    flasher.onProgress = [&bar](const session::FlashProgress& p) { bar.show(p); };
    if (const auto failure = flasher.synchronise()) {
        output.log(QStringLiteral("received Byte: ") + failure->reply);
        return output.fail(QStringLiteral("Connection to bootloader failed: ") + failure->describe() +
                           (inBootloader ? QString()
                                         : QStringLiteral(" (keep B2 (SAVE) pressed while the pedal restarts; "
                                                          "a pedal already in its bootloader needs --in-bootloader)")));
    }
    output.log(QStringLiteral("received Byte: 79"));
    if (const auto failure = flasher.run(job)) {
        return output.fail(QStringLiteral("Firmware upgrade failed: ") + failure->describe() +
                           QStringLiteral(". The pedal stays in its bootloader: run flash --in-bootloader to start again."));
    }
    usb.SetPortParameters(link::portModeNormal);
    usb.SetFTDeviceDataCharacteristics();
    output.line(kComplete);
    output.result(QJsonObject{{QStringLiteral("firmware"), firmware->name},
                              {QStringLiteral("bytes"), static_cast<qint64>(job.imageSize)},
                              {QStringLiteral("chunks"), static_cast<qint64>(job.chunks.size())},
                              {QStringLiteral("marker"), job.marker.has_value()},
                              {QStringLiteral("verified"), job.verify},
                              {QStringLiteral("started"), job.goAddress.has_value()}});
    return kExitSuccess;
}

}  // namespace qeltx::cli
