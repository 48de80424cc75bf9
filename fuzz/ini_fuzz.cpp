// Feeds arbitrary bytes to the INI reader and the parameter catalogue. Reading never fails; what
// is written back reads back the same; a written key reads back as written; a catalogue either
// loads within its limits or is refused whole.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/catalogue.h"
#include "base/devicetype.h"
#include "base/ini.h"
#include "fuzzcheck.h"

using namespace veltris;

namespace {

std::string_view trimmed(std::string_view s)
{
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    IniFile ini = IniFile::fromBytes(bytes);
    const std::string written = ini.toBytes();
    check(IniFile::fromBytes(written).toBytes() == written);

    // Lookups with names that the catalogue and the settings use.
    for (const char* section : {"Col_1", "col_2", "Settings", ""}) {
        for (const char* key : {"Count", "Name_1", "iStandard", ""}) {
            const auto v = ini.value(section, key);
            check(v.has_value() == ini.hasKey(section, key));
            if (v)
                check(v->find('\n') == std::string::npos);
            (void)ini.readInt(section, key, 7);
        }
    }

    // A value written under a plain section and key reads back as written (blanks around it
    // trimmed, line breaks as spaces), and the rest of the file keeps its lines.
    const std::string_view value = bytes.substr(0, bytes.size() < 40 ? bytes.size() : 40);
    std::string expected(value);
    for (char& c : expected)
        if (c == '\r' || c == '\n')
            c = ' ';
    const auto before = ini.value("Col_3", "Name_2");
    ini.writeString("Col_1", "Name_1", value);
    check(ini.value("Col_1", "Name_1") == std::string(trimmed(expected)));
    check(ini.value("Col_3", "Name_2") == before);
    const IniFile again = IniFile::fromBytes(ini.toBytes());
    check(again.value("Col_1", "Name_1") == std::string(trimmed(expected)));

    // The types differ only in their column count: one of them per input.
    const auto types = supportedDeviceTypes();
    const DeviceType& t = types[size % types.size()];
    Catalogue catalogue;
    if (!catalogue.loadTypeFromBytes(t.code, bytes).ok()) {
        check(!catalogue.has(t.code));
    } else {
        check(catalogue.columnCount(t.code) == t.columnCount);
        for (int c = 1; c <= t.columnCount; ++c) {
            const int n = catalogue.nameCount(t.code, c);
            check(n >= 0 && n <= kMaxNames);
            for (int m = 1; m <= n; ++m) {
                const std::string& name = catalogue.name(t.code, c, m);
                check(name.find('\n') == std::string::npos);
            }
        }
    }
    return 0;
}
