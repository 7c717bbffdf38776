// qeltx-cli catalogue list: the algorithms built into the program, with their numbers,
// categories and controls.
#include "cli/catalogue_access.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "core/catalogue_lists.h"
#include "core/resource_names.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace qeltx::cli {

namespace {

const QString kNoCategory = QStringLiteral("-");

QString text(const std::string& s) { return QString::fromStdString(s); }

QJsonValue countOrNull(const std::optional<core::LayoutCounts>& counts, int core::LayoutCounts::*field) {
    return counts ? QJsonValue((*counts).*field) : QJsonValue();
}

QString countText(const std::optional<core::LayoutCounts>& counts, int core::LayoutCounts::*field) {
    return counts ? QString::number((*counts).*field) : QStringLiteral("?");
}

}  // namespace

int runCatalogueList(const Invocation& invocation, const Output& output) {
    std::optional<std::string> category;
    if (const auto asked = invocation.value("--category")) {
        const auto found = std::find_if(core::categories.begin(), core::categories.end(), [&](const core::Category& c) {
            return sameNameIgnoringCase(c.displayName, *asked);
        });
        if (found == core::categories.end()) {
            QStringList names;
            for (const core::Category& c : core::categories) names << text(std::string(c.displayName));
            return output.usage(QStringLiteral("--category takes one of ") + names.join(QStringLiteral(", ")) +
                                QStringLiteral(", not '") + text(*asked) + QStringLiteral("'"));
        }
        category = std::string(found->displayName);
    }

    std::vector<core::CatalogueIndexEntry> entries = core::catalogueIndex(catalogueLookup());
    if (entries.empty()) return output.fail(QStringLiteral("the built-in catalogue has no algorithm list"));
    if (category) std::erase_if(entries, [&](const core::CatalogueIndexEntry& e) { return e.category != category; });

    qsizetype nameWidth = 4;
    qsizetype categoryWidth = 8;
    for (const core::CatalogueIndexEntry& e : entries) {
        nameWidth = std::max(nameWidth, text(e.name).size());
        categoryWidth = std::max(categoryWidth, e.category ? text(*e.category).size() : kNoCategory.size());
    }
    output.line(QStringLiteral("%1  %2  %3  %4  %5  %6  %7")
                    .arg(QStringLiteral("no."), 3)
                    .arg(QStringLiteral("name"), -static_cast<int>(nameWidth))
                    .arg(QStringLiteral("category"), -static_cast<int>(categoryWidth))
                    .arg(QStringLiteral("pots"))
                    .arg(QStringLiteral("switches"))
                    .arg(QStringLiteral("multi-switches"))
                    .arg(QStringLiteral("read-backs")));
    QJsonArray algorithms;
    for (const core::CatalogueIndexEntry& e : entries) {
        const QString categoryName = e.category ? text(*e.category) : kNoCategory;
        output.line(QStringLiteral("%1  %2  %3  %4  %5  %6  %7")
                        .arg(e.number, 3)
                        .arg(text(e.name), -static_cast<int>(nameWidth))
                        .arg(categoryName, -static_cast<int>(categoryWidth))
                        .arg(countText(e.counts, &core::LayoutCounts::pots), 4)
                        .arg(countText(e.counts, &core::LayoutCounts::switches), 8)
                        .arg(countText(e.counts, &core::LayoutCounts::multiSwitches), 14)
                        .arg(countText(e.counts, &core::LayoutCounts::readbacks), 10));
        algorithms.append(QJsonObject{
            {QStringLiteral("number"), static_cast<qint64>(e.number)},
            {QStringLiteral("name"), text(e.name)},
            {QStringLiteral("category"), e.category ? QJsonValue(text(*e.category)) : QJsonValue()},
            {QStringLiteral("pots"), countOrNull(e.counts, &core::LayoutCounts::pots)},
            {QStringLiteral("switches"), countOrNull(e.counts, &core::LayoutCounts::switches)},
            {QStringLiteral("multiSwitches"), countOrNull(e.counts, &core::LayoutCounts::multiSwitches)},
            {QStringLiteral("readbacks"), countOrNull(e.counts, &core::LayoutCounts::readbacks)},
        });
    }
    output.result(QJsonObject{{QStringLiteral("category"), category ? QJsonValue(text(*category)) : QJsonValue()},
                              {QStringLiteral("algorithms"), algorithms}});
    return kExitSuccess;
}

}  // namespace qeltx::cli
