#pragma once
// The one table of device types. Everything that depends on the type asks here.
#include <cstdint>
#include <span>

namespace veltris {

constexpr int kMaxParamColumns = 30;  // column map and view mask entries

struct DeviceType {
    int code;                    // 1, 3..7
    const char* caption;         // UTF-8, e.g. "Биполярные транзисторы"
    const char* iniFile;         // "bipolar.ini"
    const char* iniFileUpper;    // "BIPOLAR.INI", used in the missing-file message
    int columnCount;             // catalogue columns C; the table has C + 1 columns
    const char* drawingKey;      // settings key of the package drawing folder ("TRANS")
    const char* drawingDefault;  // default folder name under the exe folder ("TRANS", "THYRIST")
    // The column whose value is a range "a...b" kept in two value slots of a record (the
    // columns after it move one slot on); 0 when the type has none.
    int rangeColumn;
    // The column holding the LED colour code as letters, not as a number; 0 when none.
    int colourColumn;
    // The column of the bipolar structure, a code: 1 n-p-n, 2 p-n-p; 0 when none.
    int structureColumn;
};

// The structure a code of a structure column stands for: "n-p-n" for 1, "p-n-p" for 2; ""
// for anything else.
const char* structureName(double code);

// The six supported types in catalogue load order: 1, 3, 4, 5, 6, 7.
std::span<const DeviceType> supportedDeviceTypes();

// nullptr for codes without a catalogue and record layout (0, 2, above 7).
const DeviceType* findDeviceType(int code);

// Caption for codes 1..7 (code 2 included: "Полевые транзисторы"); "" otherwise.
const char* deviceTypeCaption(int code);

// Catalogue column count C of a type; 0 for codes without a catalogue.
int parameterColumnCount(int code);

// Main-table column count of a base of this type: C + 1; 31 for codes without a layout.
int tableColumnCount(int code);

}  // namespace veltris
