// Reading the embedded catalogue and merging impulse responses for qeltx-cli.
#include "cli/catalogue_access.h"

#include "session/audio_file.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "resources/resource_store.h"

#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
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

// A decimal number such as "-1.5" with nothing around it.
std::optional<double> parseNumber(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The longest fade that makes sense: every tap of the longest IR loader.
constexpr double kMaxFadeMs = 1000.0;
// Quieter than this is no level for a cabinet.
constexpr double kMinNormalizeDb = -60.0;

}  // namespace

core::Refusable<core::IrShaping> irShapingOf(const Invocation& invocation) {
    using Result = core::Refusable<core::IrShaping>;
    core::IrShaping shaping;
    shaping.resample = !invocation.has("--no-resample");
    if (const auto fade = invocation.value("--fade-ms")) {
        const auto ms = parseNumber(*fade);
        if (!ms || *ms < 0 || *ms > kMaxFadeMs) return Result::refused("--fade-ms takes milliseconds from 0 to 1000, not '" + *fade + "'");
        shaping.fadeMs = *ms;
    }
    if (const auto level = invocation.value("--normalize")) {
        const auto db = parseNumber(*level);
        if (!db || *db > 0 || *db < kMinNormalizeDb) {
            return Result::refused("--normalize takes a peak level from -60 to 0 dB, not '" + *level + "'");
        }
        shaping.normalizeDb = *db;
    }
    return Result::accepted(shaping);
}

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
                                                            const core::IrShaping& shaping, const Output& output) {
    using Result = core::Refusable<MergedImpulseResponse>;
    const auto geometry = core::irLoaderGeometry(effect.name);
    if (!geometry) return Result::refused(geometry.reason());
    const QString fileName = QFileInfo(path).fileName();
    output.log(path);
    output.log(fileName);
    const auto audio = session::readAudioFile(path);
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
    const auto prepared = core::prepareImpulseResponse(audio->firstChannel, audio->format.sampleRate, geometry->taps, shaping);
    if (!prepared) return Result::refused(fileName.toStdString() + ": " + prepared.reason());
    output.log(QStringLiteral("irdata swapped endianess: ") + QString::fromStdString(core::tapsHex(prepared->taps.words)));
    const auto merged = core::mergeTaps(effect.imageText, *geometry, prepared->taps.words);
    if (!merged) return Result::refused(merged.reason());
    MergedImpulseResponse result;
    result.image = *merged;
    result.summary.fileName = fileName.toStdString();
    result.summary.fileBytes = static_cast<std::uint64_t>(audio->bytes.size());
    result.summary.format = audio->format;
    result.summary.taps = prepared->taps;
    result.summary.outcome = prepared->outcome;
    return Result::accepted(std::move(result));
}

}  // namespace qeltx::cli
