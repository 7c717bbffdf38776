// Reading the embedded catalogue and merging impulse responses for qeltx-cli.
#include "cli/catalogue_access.h"

#include "session/audio_file.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "resources/resource_store.h"

#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <span>
#include <vector>

namespace qeltx::cli {

namespace {

using EffectResult = core::Refusable<core::CatalogueEffect>;

std::vector<std::string> effectListLines() {
    const auto text = resources::catalogueResource(core::kEffectListResource);
    return text ? core::splitLines(*text) : std::vector<std::string>{};
}

}  // namespace

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

core::ResourceLookup catalogueLookup() {
    return [](std::string_view name) { return resources::catalogueResource(name); };
}

EffectResult catalogueEffectByNumber(std::uint32_t number) {
    const auto loaded = core::loadCatalogueEffect(number, catalogueLookup());
    if (!loaded.effect) return EffectResult::refused(loaded.error);
    return EffectResult::accepted(*loaded.effect);
}

EffectResult catalogueEffectByName(std::string_view name) {
    const std::vector<std::string> lines = effectListLines();
    std::optional<std::uint32_t> number = core::effectNumberByName(lines, name);
    if (!number) {
        for (std::uint32_t i = 0; i < lines.size(); ++i) {
            if (!sameNameIgnoringCase(core::parseEffectListLine(lines[i]).name, name)) continue;
            if (number) return EffectResult::refused("more than one algorithm is called '" + std::string(name) + "'");
            number = i;
        }
    }
    if (!number || *number == 0) {
        return EffectResult::refused("the catalogue has no algorithm called '" + std::string(name) + "'");
    }
    return catalogueEffectByNumber(*number);
}

core::Refusable<core::ControlLayout> layoutOf(const core::CatalogueEffect& effect) {
    const auto parsed = core::parseControlLayoutText(effect.name, effect.layoutText);
    if (!parsed.layout) return core::Refusable<core::ControlLayout>::refused(parsed.error);
    return core::Refusable<core::ControlLayout>::accepted(*parsed.layout);
}

core::Refusable<MergedImpulseResponse> mergeImpulseResponse(const core::CatalogueEffect& effect, const QString& path,
                                                            const Output& output) {
    using Result = core::Refusable<MergedImpulseResponse>;
    const auto geometry = core::irLoaderGeometry(effect.name);
    if (!geometry) return Result::refused(geometry.reason());
    const QString fileName = QFileInfo(path).fileName();
    output.log(path);
    output.log(fileName);
    const auto audio = session::readAudioFile(path, static_cast<std::uint64_t>(geometry->taps));
    if (!audio) return Result::refused(audio.reason());
    output.log(QString::number(audio->bytes.size()));
    const auto fileBytes = std::span(reinterpret_cast<const std::uint8_t*>(audio->bytes.constData()),
                                     static_cast<std::size_t>(audio->bytes.size()));
    const auto framesUsed = std::min<std::uint64_t>(audio->format.frames, static_cast<std::uint64_t>(geometry->taps));
    if (output.verbose()) {
        for (const std::string& line : core::irFileLogLines(fileBytes, audio->format, framesUsed)) {
            output.log(QString::fromStdString(line));
        }
    }
    const auto taps = core::makeTaps(audio->firstChannel, geometry->taps);
    if (!taps) return Result::refused(fileName.toStdString() + ": " + taps.reason());
    output.log(QStringLiteral("irdata swapped endianess: ") + QString::fromStdString(core::tapsHex(taps->words)));
    const auto merged = core::mergeTaps(effect.imageText, *geometry, taps->words);
    if (!merged) return Result::refused(merged.reason());
    MergedImpulseResponse result;
    result.image = *merged;
    result.summary.fileName = fileName.toStdString();
    result.summary.fileBytes = static_cast<std::uint64_t>(audio->bytes.size());
    result.summary.format = audio->format;
    result.summary.taps = *taps;
    return Result::accepted(std::move(result));
}

}  // namespace qeltx::cli
