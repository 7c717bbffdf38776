// qeltx-catalogue-check [DIR]: checks a catalogue folder (resources/catalogue by default) and
// prints every violation as FILE:LINE: message, then a summary. Exit status 1 on a violation.
#include "catalogue_tools/check.h"

#include <filesystem>
#include <iostream>

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
    const auto folder = qeltx::catalogue_tools::readCatalogueFolder(dir.string());
    if (!folder) {
        std::cerr << dir.string() << ": not a folder\n";
        return 2;
    }
    const std::map<std::string, std::string>& files = *folder;
    const auto report = qeltx::catalogue_tools::checkCatalogue(files);
    for (const auto& f : report.findings) {
        (f.knownException ? std::cout : std::cerr) << formatFinding(f) << "\n";
    }
    std::cout << files.size() << " files checked: " << report.violations() << " violations, "
              << report.knownExceptions() << " known exception" << (report.knownExceptions() == 1 ? "" : "s") << "\n";
    return report.violations() == 0 ? 0 : 1;
}
