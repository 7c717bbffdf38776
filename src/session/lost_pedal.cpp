// The message for a pedal lost in the middle of a conversation.
#include "session/lost_pedal.h"

namespace qeltx::session {

namespace {

// The part after "The pedal was disconnected ": when, and what the pedal may hold now.
QString whenAndWhat(ConversationKind kind) {
    switch (kind) {
        case ConversationKind::Link: return QStringLiteral("during Link; nothing was changed");
        case ConversationKind::Unlink: return QStringLiteral("during Unlink; nothing was changed");
        case ConversationKind::Query:
            return QStringLiteral("while the editor asked which algorithm it holds; nothing was changed");
        case ConversationKind::Request: return QStringLiteral("during Request; nothing was changed");
        case ConversationKind::Upload:
            return QStringLiteral("during Upload; the pedal may hold part of the algorithm: upload it again");
        case ConversationKind::Assign:
            return QStringLiteral("during Assign; the assignments may not have reached the pedal: assign them again");
        case ConversationKind::StoreSettings:
            return QStringLiteral("during Store Settings; the settings may not have been stored: store them again");
        case ConversationKind::MidiChannel:
            return QStringLiteral("while the MIDI channel was being set; the pedal may not have taken it");
        case ConversationKind::LiveEdit:
            return QStringLiteral("during a parameter change; the pedal may not have taken it");
        case ConversationKind::EraseSettings:
            return QStringLiteral("during Erase Settings; the settings may be partly erased: erase them again");
        case ConversationKind::EepromTool:
            return QStringLiteral("while the EEPROM tool was working; its work may be unfinished");
        case ConversationKind::UpgradeMode:
            return QStringLiteral("while it was being put into Upgrade Mode; it may be in its bootloader");
        case ConversationKind::Flashing:
            return QStringLiteral("during the firmware upgrade; the firmware may be incomplete: upgrade it again");
        case ConversationKind::BackUpSettings:
            return QStringLiteral("during Back Up Pedal Settings; nothing was changed");
        case ConversationKind::RestoreSettings:
            return QStringLiteral("during Restore Pedal Settings; the pedal may hold part of the backup: restore it "
                                  "again");
    }
    return {};
}

}  // namespace

QString lostPedalMessage(std::optional<ConversationKind> during) {
    const QString what = during ? QStringLiteral("The pedal was disconnected ") + whenAndWhat(*during) + QLatin1Char('.')
                                : QStringLiteral("The pedal was disconnected.");
    return what + QStringLiteral(" Plug it in again and choose Link.");
}

}  // namespace qeltx::session
