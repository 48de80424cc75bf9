#pragma once
// What the comparison window compares: a reference and up to five other parts of one device
// type, each with every parameter cell and the title row of its own base (bases may give a
// parameter in different units), and the rules their differences are judged by.
#include <QString>
#include <string>
#include <vector>

#include "base/result.h"
#include "base/substitute/rules.h"

namespace veltris {
class Catalogue;
struct ComponentBase;
}  // namespace veltris

struct ComparedPart {
    int deviceType = 0;
    std::string name;                 // Windows-1251
    QString baseFile;                 // empty: the open base, never saved
    int row = 0;                      // table row 1.. in that base
    std::vector<std::string> cells;   // Windows-1251, entry c for column c (0: the name)
    std::vector<std::string> titles;  // the title row of its base, entry c for column c
};

struct Comparison {
    int deviceType = 0;
    std::vector<ComparedPart> parts;  // parts[0]: the reference
    veltris::RuleSet rules;           // one per parameter column, as the page «Замена» has them
};

// The reference and at most five parts beside it.
inline constexpr int kMaxComparedParts = 6;

// Record `row` (1..) of `base`, kept in the file `file`.
ComparedPart comparedPart(const veltris::ComponentBase& base, int row, const QString& file);

// Where a part to compare is kept: a base file (UTF-8 path), its table row 1.., and the name
// the record must still have there (empty: any).
struct PartAddress {
    std::string file;
    int row = 0;
    std::string name;  // Windows-1251
};

// Reads the parts from their files, each file once, in the order given. Errors: those of the
// base reader; Generic when a record is no longer where it was (the base changed since it was
// listed).
veltris::Result<std::vector<ComparedPart>> readComparedParts(const std::vector<PartAddress>& where,
                                                             const veltris::Catalogue& catalogue);
