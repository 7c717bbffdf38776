// The one exception type of the editor: a text that does not convert, a missing resource.
#pragma once

#include <stdexcept>
#include <string>

namespace qeltx::core {

// Raised where a conversion fails; every event handler runs inside one guard that shows it
// as the general error report and lets the editor run on.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace qeltx::core
