// qeltx-cli eeprom read and eeprom erase: the pedal's two settings EEPROMs.
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "cli/pedal_link.h"
#include "core/commands.h"
#include "core/hex.h"
#include "core/pedal_messages.h"
#include "session/save_file.h"

#include <QJsonObject>

#include <algorithm>

namespace qeltx::cli {

namespace {

constexpr std::size_t kListingBytesPerLine = 16;

// The two bus addresses as the console's choice names them, "50" and "51".
std::optional<QString> validAddress(const std::string& text) {
    if (text == core::byteToHex(core::kEepromAddress1) || text == core::byteToHex(core::kEepromAddress2)) {
        return QString::fromStdString(text);
    }
    return std::nullopt;
}

}  // namespace

int runEepromRead(const Invocation& invocation, const Output& output) {
    const auto address = validAddress(invocation.positionals[0]);
    if (!address) return output.usage(QStringLiteral("the EEPROM address is 50 or 51"));
    const auto command = core::eepromReadCommand(address->toStdString());
    if (!command) return output.usage(QStringLiteral("the EEPROM address is 50 or 51"));

    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open()) return output.fail(*problem);
    session::Exchange& exchange = link.exchange();
    const QString text = QString::fromStdString(command->text);
    output.log(text);
    if (!exchange.send(*command)) return output.fail(link.exchange().notSentText(QStringLiteral("the read command")));
    // The drain ends once the dump is whole or the answer can no longer be one.
    const session::Drained reply = exchange.drainReply(
        [](std::span<const std::uint8_t> bytes) { return core::readEepromAnswer(bytes).decided(); }, command->spec.replyLimitMs);
    if (reply.bytes.empty() || reply.outcome == session::DrainOutcome::DriverFailed) {
        return output.fail(noReplyText(reply.outcome, QStringLiteral("the EEPROM read")));
    }
    const core::EepromAnswer answer = core::readEepromAnswer(reply.bytes);
    if (!answer.complete()) return output.fail(QString::fromStdString(core::eepromAnswerProblem(answer)));
    core::PedalMessageReader reader;
    std::optional<core::EepromDump> dump;
    for (core::PedalMessage& message : reader.feed(reply.bytes)) {
        if (auto* d = std::get_if<core::EepromDump>(&message)) dump = std::move(*d);
    }
    if (!dump) return output.fail(QStringLiteral("the pedal's answer held no EEPROM dump"));
    if (output.verbose()) {
        for (const std::string& line : core::eepromDumpLogLines(*dump)) output.log(QString::fromStdString(line));
    }
    const bool erased = core::isMemoryErased(*dump);
    const QString memoryErased = QString::fromUtf8(core::kMemoryErasedMessage.data(), static_cast<qsizetype>(core::kMemoryErasedMessage.size()));

    QJsonObject json{{QStringLiteral("address"), *address},
                     {QStringLiteral("size"), static_cast<qint64>(dump->contents.size())},
                     {QStringLiteral("erased"), erased}};
    if (const auto file = invocation.value("-o")) {
        const auto size = static_cast<qint64>(dump->contents.size());
        const QByteArray bytes(reinterpret_cast<const char*>(dump->contents.data()), size);
        if (const auto failure = session::saveFile(QString::fromStdString(*file), bytes)) {
            return output.fail(QStringLiteral("cannot write ") + QString::fromStdString(*file) + QStringLiteral(": ") + *failure);
        }
        json.insert(QStringLiteral("file"), QString::fromStdString(*file));
        output.line(QStringLiteral("EEPROM %1: %2 bytes written to %3%4")
                        .arg(*address)
                        .arg(size)
                        .arg(QString::fromStdString(*file), erased ? QStringLiteral(" (") + memoryErased + ")" : QString()));
    } else {
        json.insert(QStringLiteral("hex"), QString::fromStdString(core::toHex(dump->contents)));
        for (std::size_t at = 0; at < dump->contents.size(); at += kListingBytesPerLine) {
            QString row = QString::fromStdString(core::toHexDigits(at, 4)) + QStringLiteral(":");
            for (std::size_t k = at; k < std::min(at + kListingBytesPerLine, dump->contents.size()); ++k) {
                row += QStringLiteral(" ") + QString::fromStdString(core::byteToHex(dump->contents[k]));
            }
            output.line(row);
        }
        if (erased) output.line(memoryErased);
    }
    output.result(json);
    return kExitSuccess;
}

int runEepromErase(const Invocation& invocation, const Output& output) {
    const auto address = validAddress(invocation.positionals[0]);
    if (!address) return output.usage(QStringLiteral("the EEPROM address is 50 or 51"));
    const auto command = core::eepromEraseCommand(address->toStdString());
    if (!command) return output.usage(QStringLiteral("the EEPROM address is 50 or 51"));

    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open()) return output.fail(*problem);
    output.log(QStringLiteral("erase message: ") + QString::fromStdString(command->text));
    if (!link.exchange().send(*command)) return output.fail(link.exchange().notSentText(QStringLiteral("the erase command")));
    // The pedal does not answer an erase: what is known is that the command went out.
    output.line(QStringLiteral("erase command sent to EEPROM ") + *address);
    output.result(QJsonObject{{QStringLiteral("address"), *address}, {QStringLiteral("sent"), true}});
    return kExitSuccess;
}

}  // namespace qeltx::cli
