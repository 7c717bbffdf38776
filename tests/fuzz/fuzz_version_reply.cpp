// The maker's web server's answer to "which version is newest", compared with the editor's own.
#include "core/versions.h"
#include "fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qeltx::core;
    const std::string_view reply = qeltx::fuzz::asText({data, size});
    const auto version = parseVersion(reply);
    const auto newer = isNewerVersion(reply, "1.0.0.0");
    if (version.ok() != newer.ok()) std::abort();
    if (!version) return 0;
    if (!(*version == *version)) std::abort();
    if (*newer != (*version > *parseVersion("1.0.0.0"))) std::abort();
    return 0;
}
