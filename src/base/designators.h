#pragma once
// Reference designators of a parts list as people write them: «VT1», «VT1-VT4», «VD1, VD3»,
// «R1…R4», «C5-7», «DD1.1–DD1.4». They are kept as written; only their number is read.
#include <string_view>

namespace veltris {

struct DesignatorCount {
    int count = 0;           // parts the designators name; 0 for an empty text
    bool understood = true;  // false: some item is no designator or no range; counted as one
};

// Counts the parts named by a designator text (UTF-8). Items are separated by commas,
// semicolons or blanks; a range is two designators of the same letters joined by a hyphen, a
// dash, «…» or «...» (the second may give the number alone), counted end to end.
DesignatorCount countDesignators(std::string_view utf8);

}  // namespace veltris
