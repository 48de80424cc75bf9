#pragma once
// The unit a column title names, and how two columns' units compare.
#include <cstdint>
#include <string>
#include <string_view>

namespace veltris {

// What a unit measures. Two columns compare only when they measure the same thing.
enum class Dimension : std::uint8_t {
    None,               // no unit known: only equal unit texts compare
    Current,            // нА, мкА, мА, А
    Voltage,            // мВ, В, кВ
    Power,              // мВт, Вт
    Time,               // пс, нс, мкс
    Frequency,          // кГц, МГц, ГГц
    LuminousIntensity,  // мкд, мд
    Capacitance,        // пФ
    Resistance,         // Ом
    Wavelength,         // нм
    Length,             // мм
    Temperature,        // °С
    ThermalResistance,  // °С/Вт
    VoltageSlewRate,    // В/мкс
    CurrentSlewRate,    // А/мкс
    Gain,               // дБ
    Conductance,        // мкСм
    Angle,              // град
};

// The unit a column title names after its last comma ("Iк max,|мА": milliampere): a dimension
// and the scale to the dimension's base unit. Dimension::None: no unit known here; then `text`
// holds what the title says after its comma (empty when it has none), and only equal texts
// compare.
struct UnitScale {
    Dimension dimension = Dimension::None;
    double scale = 1;
    std::string text;
};
UnitScale unitScaleOfTitle(std::string_view titleCp1251);

// The factor from the candidate column's unit to the reference's; 0 when they cannot be
// compared (other dimensions, or unknown units with other texts).
double unitFactor(const UnitScale& reference, const UnitScale& candidate);

}  // namespace veltris
