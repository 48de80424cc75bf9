#include "base/substitute/unitscale.h"

#include <vector>

#include "base/cp1251.h"
#include "base/textparse.h"

namespace veltris {

UnitScale unitScaleOfTitle(std::string_view title)
{
    struct Unit {
        const char* text;  // UTF-8
        Dimension dimension;
        double scale;
    };
    using enum Dimension;
    static const Unit kUnits[] = {
        {"нА", Current, 1e-9},
        {"мкА", Current, 1e-6},
        {"мА", Current, 1e-3},
        {"А", Current, 1},
        {"мВ", Voltage, 1e-3},
        {"В", Voltage, 1},
        {"кВ", Voltage, 1e3},
        {"мВт", Power, 1e-3},
        {"Вт", Power, 1},
        {"пс", Time, 1e-12},
        {"нс", Time, 1e-9},
        {"мкс", Time, 1e-6},
        {"кГц", Frequency, 1e3},
        {"МГц", Frequency, 1e6},
        {"ГГц", Frequency, 1e9},
        {"мкд", LuminousIntensity, 1e-6},
        {"мд", LuminousIntensity, 1e-3},
        {"пФ", Capacitance, 1e-12},
        {"Ом", Resistance, 1},
        {"нм", Wavelength, 1},
        {"мм", Length, 1},
        {"°С", Temperature, 1},
        {"°С/Вт", ThermalResistance, 1},
        {"В/мкс", VoltageSlewRate, 1},
        {"А/мкс", CurrentSlewRate, 1},
        {"дБ", Gain, 1},
        {"мкСм", Conductance, 1},
        {"град", Angle, 1},
    };
    static const std::vector<std::string> kUnitBytes = [] {
        std::vector<std::string> v;
        for (const Unit& u : kUnits)
            v.push_back(utf8ToCp1251(u.text));
        return v;
    }();
    const auto comma = title.rfind(',');
    if (comma == std::string_view::npos)
        return {};
    std::string unit;
    for (char c : title.substr(comma + 1))
        unit += c == '|' ? ' ' : c;
    const std::string_view u = trimBlanks(unit);
    for (std::size_t i = 0; i < kUnitBytes.size(); ++i) {
        if (u == kUnitBytes[i])
            return {kUnits[i].dimension, kUnits[i].scale, {}};
    }
    return {Dimension::None, 1, std::string(u)};
}

double unitFactor(const UnitScale& reference, const UnitScale& candidate)
{
    if (reference.dimension == Dimension::None && candidate.dimension == Dimension::None)
        return reference.text == candidate.text ? 1 : 0;
    if (reference.dimension != candidate.dimension)
        return 0;
    return candidate.scale / reference.scale;
}

}  // namespace veltris
