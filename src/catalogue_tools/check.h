// qeltx-catalogue-check's rules: everything a catalogue folder must obey for the editor, the
// pedal and the IR loader to read it, checked with this tool's own code (it shares only the
// line splitter and the hex digits with the editor), each violation with file and line.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qeltx::catalogue_tools {

struct Finding {
    std::string file;
    int line = 0;  // 1-based; 0 for the file as a whole
    std::string message;
    // The catalogue's one tolerated fault: a layout beyond the panel's limits, on an algorithm
    // that no category offers. Reported, but the check still passes.
    bool knownException = false;
};

struct CheckReport {
    std::vector<Finding> findings;
    int violations() const;
    int knownExceptions() const;
};

// `files`: stored name -> content, as in the folder.
CheckReport checkCatalogue(const std::map<std::string, std::string>& files);

// The files of a catalogue folder as the program embeds them: every regular file but hidden
// ones (.keep, .gitattributes) and notes (README*, *.md). Nothing when `dir` is not a folder.
std::optional<std::map<std::string, std::string>> readCatalogueFolder(const std::string& dir);

// "FILE:LINE: message" or "FILE:LINE: known exception: message".
std::string formatFinding(const Finding& finding);

}  // namespace qeltx::catalogue_tools
