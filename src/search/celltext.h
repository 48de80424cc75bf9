#pragma once
// A parameter's cell as the finder's tables show it: an unknown value ("0" or nothing) empty,
// the bipolar structure code as «n-p-n» or «p-n-p», anything else as it is written.
#include <QString>
#include <string>
#include <string_view>

QString shownCellText(int deviceType, int column, std::string_view cellCp1251);

// A text for a Windows-1251 export: the minus sign of the verdicts («−8 %»), which the code
// page lacks, written as '-' rather than lost as '?'.
std::string exportText(QString text);
