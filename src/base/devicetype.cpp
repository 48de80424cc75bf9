#include "base/devicetype.h"

#include <array>

namespace veltris {

namespace {

constexpr std::array<DeviceType, 6> kTypes = {{
    {1, "Биполярные транзисторы", "bipolar.ini", "BIPOLAR.INI", 30, "TRANS", "TRANS", 14, 0, 1},
    {3, "Диоды", "diodes.ini", "DIODES.INI", 12, "DIODE", "DIODE", 0, 0, 0},
    {4, "Стабилитроны", "stab.ini", "STAB.INI", 13, "STAB", "STAB", 0, 0, 0},
    {5, "Варикапы", "varicaps.ini", "VARICAPS.INI", 11, "VARC", "VARC", 0, 0, 0},
    {6, "Тиристоры", "thyrist.ini", "THYRIST.INI", 17, "THYR", "THYRIST", 0, 0, 0},
    {7, "Светодиоды", "leds.ini", "LEDS.INI", 13, "LEDS", "LEDS", 0, 1, 0},
}};

}  // namespace

std::span<const DeviceType> supportedDeviceTypes()
{
    return kTypes;
}

const DeviceType* findDeviceType(int code)
{
    for (const DeviceType& t : kTypes)
        if (t.code == code)
            return &t;
    return nullptr;
}

const char* structureName(double code)
{
    return code == 1 ? "n-p-n" : code == 2 ? "p-n-p" : "";
}

const char* deviceTypeCaption(int code)
{
    if (code == 2)
        return "Полевые транзисторы";  // named in lists, but has no catalogue or layout
    const DeviceType* t = findDeviceType(code);
    return t ? t->caption : "";
}

int parameterColumnCount(int code)
{
    const DeviceType* t = findDeviceType(code);
    return t ? t->columnCount : 0;
}

int tableColumnCount(int code)
{
    const DeviceType* t = findDeviceType(code);
    return t ? t->columnCount + 1 : kMaxParamColumns + 1;
}

}  // namespace veltris
