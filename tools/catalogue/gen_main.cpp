// qeltx-catalogue-gen: writes the catalogue resources from the readable source.
//   qeltx-catalogue-gen [--source FILE] [--prune] OUTDIR
// Every file is written whole, in binary (the line ends are part of the formats). Files in
// OUTDIR that the source does not make are listed, and removed with --prune.
#include "catalogue_tools/catalogue_source.h"
#include "catalogue_tools/generate.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#ifndef QELTX_CATALOGUE_SOURCE
#define QELTX_CATALOGUE_SOURCE "catalogue.txt"
#endif

namespace fs = std::filesystem;
using namespace qeltx::catalogue_tools;

namespace {

int usage() {
    std::cerr << "usage: qeltx-catalogue-gen [--source FILE] [--prune] OUTDIR\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path sourcePath = QELTX_CATALOGUE_SOURCE;
    fs::path outDir;
    bool prune = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--source" && i + 1 < argc) {
            sourcePath = argv[++i];
        } else if (arg == "--prune") {
            prune = true;
        } else if (arg.starts_with("-") || !outDir.empty()) {
            return usage();
        } else {
            outDir = arg;
        }
    }
    if (outDir.empty()) return usage();

    std::ifstream in(sourcePath, std::ios::binary);
    if (!in) {
        std::cerr << sourcePath.string() << ": cannot be read\n";
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const auto parsed = parseCatalogueSource(text.str(), sourcePath.filename().string());
    if (!parsed.source) {
        for (const auto& e : parsed.errors) std::cerr << e << "\n";
        return 1;
    }
    const auto generated = generateCatalogue(*parsed.source);
    if (!generated.errors.empty()) {
        for (const auto& e : generated.errors) std::cerr << sourcePath.filename().string() << ": " << e << "\n";
        return 1;
    }

    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec) {
        std::cerr << outDir.string() << ": " << ec.message() << "\n";
        return 1;
    }
    for (const auto& entry : fs::directory_iterator(outDir)) {
        if (!entry.is_regular_file()) continue;
        const auto name = entry.path().filename().string();
        // Hidden files (.keep, .gitattributes) and notes are not resources.
        if (name.starts_with(".") || name.starts_with("README") || generated.files.count(name)) continue;
        if (prune) {
            fs::remove(entry.path());
            std::cout << "removed " << name << "\n";
        } else {
            std::cout << "not made by the source (left in place): " << name << "\n";
        }
    }
    for (const auto& [name, content] : generated.files) {
        std::ofstream out(outDir / name, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out) {
            std::cerr << (outDir / name).string() << ": cannot be written\n";
            return 1;
        }
    }
    std::cout << "wrote " << generated.files.size() << " files to " << outDir.string() << "\n";
    return 0;
}
