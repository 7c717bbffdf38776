// qeltx-catalogue-check [DIR]: checks a catalogue folder (resources/catalogue by default) and
// prints every violation as FILE:LINE: message, then a summary. Exit status 1 on a violation.
#include "check.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#ifndef QELTX_CATALOGUE_DIR
#define QELTX_CATALOGUE_DIR "resources/catalogue"
#endif

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc > 2) {
        std::cerr << "usage: qeltx-catalogue-check [DIR]\n";
        return 2;
    }
    const fs::path dir = argc == 2 ? fs::path(argv[1]) : fs::path(QELTX_CATALOGUE_DIR);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        std::cerr << dir.string() << ": not a folder\n";
        return 2;
    }
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        const auto name = entry.path().filename().string();
        // Hidden files (.keep, .gitattributes) and notes are not embedded as resources.
        if (name.starts_with(".") || name.starts_with("README") || name.ends_with(".md")) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        files[name] = content.str();
    }
    const auto report = qeltx::catalogue_tools::checkCatalogue(files);
    for (const auto& f : report.findings) {
        (f.knownException ? std::cout : std::cerr) << formatFinding(f) << "\n";
    }
    std::cout << files.size() << " files checked: " << report.violations() << " violations, "
              << report.knownExceptions() << " known exception" << (report.knownExceptions() == 1 ? "" : "s") << "\n";
    return report.violations() == 0 ? 0 : 1;
}
