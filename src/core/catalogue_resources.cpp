// Resource loading with the editor's failure behaviour, and the size measure.
#include "core/catalogue_resources.h"

#include "core/effect_image.h"
#include "core/errors.h"
#include "core/hex.h"
#include "core/resource_names.h"
#include "core/text_lines.h"

namespace qeltx::core {

namespace {

// Text resources are plain ASCII; a NUL or a byte above 0x7F means the resource is not text.
std::optional<std::size_t> firstNonTextByte(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == 0 || byte > 0x7F) return i;
    }
    return std::nullopt;
}

void loadInto(std::vector<std::string>& workingList, std::string_view name, const ResourceLookup& lookup,
              const MessageSink& message) {
    ResourceLoad load = loadResourceLines(name, lookup);
    if (load.outcome == ResourceLoad::Outcome::Missing) throw ConversionError(load.message);
    workingList = std::move(load.lines);
    if (load.outcome == ResourceLoad::Outcome::Unreadable && message) message(load.message);
}

}  // namespace

ResourceLoad loadResourceLines(std::string_view name, const ResourceLookup& lookup) {
    ResourceLoad load;
    const auto text = lookup ? lookup(name) : std::nullopt;
    if (!text) {
        load.outcome = ResourceLoad::Outcome::Missing;
        load.message = "Resource " + std::string(name) + " not found";
        return load;
    }
    const auto fault = firstNonTextByte(*text);
    if (!fault) {
        load.outcome = ResourceLoad::Outcome::Loaded;
        load.lines = splitLines(*text);
        return load;
    }
    // Keep the whole lines before the faulty one.
    const std::string_view good(text->data(), *fault);
    const auto lastBreak = good.find_last_of("\r\n");
    load.lines = splitLines(lastBreak == std::string_view::npos ? std::string_view() : good.substr(0, lastBreak + 1));
    load.outcome = ResourceLoad::Outcome::Unreadable;
    load.message = std::string(kErrorLoadingResource) + std::string(name) + ": line " +
                   std::to_string(load.lines.size() + 1) + " holds the byte 0x" +
                   byteToHex(static_cast<std::uint8_t>((*text)[*fault])) + ", which is not ASCII text";
    return load;
}

void read_file_from_stream(CatalogueWorkingLists& lists, std::string_view name, const ResourceLookup& lookup,
                           const MessageSink& message) {
    loadInto(lists.resourceLines, name, lookup, message);
}

void readIntoSizeProbe(CatalogueWorkingLists& lists, std::string_view name, const ResourceLookup& lookup,
                            const MessageSink& message) {
    loadInto(lists.sizeProbeLines, name, lookup, message);
}

std::uint16_t get_effect_size(CatalogueWorkingLists& lists, std::string_view displayName,
                              const ResourceLookup& lookup, const LogSink& log, const MessageSink& message) {
    const std::string base = format_resource_name(displayName);
    if (log) log("resource name: " + base);
    readIntoSizeProbe(lists, base, lookup, message);
    if (lists.sizeProbeLines.empty()) throw ConversionError("Resource " + base + " holds no image");
    return imageSizeOfText(lists.sizeProbeLines.front());
}

}  // namespace qeltx::core
