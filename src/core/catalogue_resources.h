// Loading catalogue resources into the editor's working lists, and the size measure. The
// resource store is passed in as a lookup (the app passes resources::catalogueResource, tests
// a map), so everything here runs without Qt. Names are matched without regard to case by the
// lookup; the catalogue stores them in upper case.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

// The text of a named resource, or nothing when there is none.
using ResourceLookup = std::function<std::optional<std::string>(std::string_view)>;
// One console line (printToConsole).
using LogSink = std::function<void(const std::string&)>;
// One message box with an OK button.
using MessageSink = std::function<void(const std::string&)>;

inline constexpr std::string_view kErrorLoadingResource = "Error loading resource: ";

struct ResourceLoad {
    enum class Outcome {
        Loaded,      // every line read
        Missing,     // no resource of that name
        Unreadable,  // it holds a byte that is not ASCII text: read up to the line before it
    };
    Outcome outcome = Outcome::Missing;
    std::vector<std::string> lines;
    // Missing: the text of the general error report ("Resource X not found").
    // Unreadable: the message box text, "Error loading resource: " and the reason.
    std::string message;
};

// Reads a resource as lines (CR LF, LF or CR alone end a line; a final break adds none).
ResourceLoad loadResourceLines(std::string_view name, const ResourceLookup& lookup);

// The two working lists: `resourceLines` holds the resource loaded last by
// read_file_from_stream; `sizeProbeLines` the one loaded last by readIntoSizeProbe, which
// only the size measure uses, so measuring while a category list is walked leaves
// `resourceLines` alone.
struct CatalogueWorkingLists {
    std::vector<std::string> resourceLines;
    std::vector<std::string> sizeProbeLines;
};

// Loads a resource into lists.resourceLines, replacing it whole. A missing resource throws
// ConversionError (shown as the general error report; the handler that asked ends there) and
// leaves the list as it was. An unreadable one shows "Error loading resource: ..." through
// `message` and leaves the lines read before the fault.
void read_file_from_stream(CatalogueWorkingLists& lists, std::string_view name, const ResourceLookup& lookup,
                           const MessageSink& message);
// The same into lists.sizeProbeLines.
void readIntoSizeProbe(CatalogueWorkingLists& lists, std::string_view name, const ResourceLookup& lookup,
                            const MessageSink& message);

// The size of an algorithm in bytes: logs "resource name: " + its base name, loads its image
// with readIntoSizeProbe and returns the length of line 0 div 2 as a 16-bit number. An
// image resource with no line at all throws ConversionError, like a missing one.
std::uint16_t get_effect_size(CatalogueWorkingLists& lists, std::string_view displayName,
                              const ResourceLookup& lookup, const LogSink& log, const MessageSink& message);

}  // namespace qeltx::core
