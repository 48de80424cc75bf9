#pragma once
// A parameter's cell as the finder's tables show it: an unknown value ("0" or nothing) empty,
// the bipolar structure code as «n-p-n» or «p-n-p», anything else as it is written.
#include <QString>
#include <string_view>

QString shownCellText(int deviceType, int column, std::string_view cellCp1251);

