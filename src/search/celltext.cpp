#include "search/celltext.h"

#include "base/devicetype.h"
#include "widgets/apputil.h"

QString shownCellText(int deviceType, int column, std::string_view cell)
{
    while (!cell.empty() && cell.front() == ' ')
        cell.remove_prefix(1);
    while (!cell.empty() && cell.back() == ' ')
        cell.remove_suffix(1);
    if (cell.empty() || cell == "0")
        return {};
    const veltris::DeviceType* type = veltris::findDeviceType(deviceType);
    if (type && column > 0 && column == type->structureColumn && (cell == "1" || cell == "2"))
        return QString::fromLatin1(veltris::structureName(cell == "1" ? 1 : 2));
    return cpToQString(cell);
}

std::string exportText(QString text)
{
    text.replace(QChar(0x2212), QLatin1Char('-'));
    return qStringToCp(text);
}
