#pragma once
// What qdb similar is asked: one part (--like) or every line of a parts list (--list).
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "base/substitute/rules.h"
#include "cli/options.h"

namespace qdb {

struct SimilarOptions {
    DataDirOption dataDir;
    std::string settingsFile;
    std::string baseFile;
    std::string like;  // UTF-8
    std::vector<std::string> libraries;
    std::vector<std::string> rules;  // COL=RULE
    int top = -1;                    // -1: 20 for one part, 3 a line of a list
    int nearMisses = 2;
    bool strict = false;
    std::string format;  // empty: tsv for one part, table for a list

    // A parts list.
    std::string listFile;
    std::string output;               // -o: the file written instead of standard output
    std::vector<std::string> within;  // the replacements' scope: folders or base files
    bool ownBase = false;             // the replacements' scope: the part's own base
    std::string sheet;                // XLSX: the sheet's name or number
    int titleRow = -1;                // from 1; 0: no title row; -1: found out
    int designatorColumn = -1;        // from 1; 0: none; -1: found out
    int nameColumn = -1;
    int quantityColumn = -1;
    int noteColumn = -1;
};

// The shipped default rules of a device type with the user's from --settings; nullopt after
// printing why they could not be had.
std::optional<veltris::RuleSet> defaultAndUserRules(const SimilarOptions& o,
                                                    const std::filesystem::path& dataDir, int deviceType);

// The options of the parts list on the similar command.
void addListOptions(CLI::App* command, SimilarOptions& o);

// qdb similar --list: the exit code.
int runSimilarList(const SimilarOptions& o);

}  // namespace qdb
