// The catalogue's naming rule and category table.
#include "core/resource_names.h"

namespace qeltx::core {

namespace {

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

std::optional<std::size_t> categoryIndex(std::string_view displayName) {
    for (std::size_t c = 0; c < categories.size(); ++c) {
        if (categories[c].displayName == displayName) return c;
    }
    return std::nullopt;
}

std::string format_resource_name(std::string_view displayName) {
    std::string name(displayName);
    replaceAll(name, " ", "_");
    replaceAll(name, "-", "_");
    replaceAll(name, "+", "plus");
    replaceAll(name, "X", "mult");
    return name;
}

std::string layoutResourceName(std::string_view displayName) {
    return format_resource_name(displayName) + std::string(kLayoutSuffix);
}

}  // namespace qeltx::core
