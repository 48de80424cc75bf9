#include "base/catalogue.h"

#include <system_error>

#include "base/cp1251.h"
#include "base/devicetype.h"
#include "base/fileio.h"
#include "base/ini.h"

namespace veltris {

namespace {

const std::string kEmpty;

bool validCode(int code)
{
    return code >= 0 && code < 8;
}

bool sameNameNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && cp1251ToUpper(a) == cp1251ToUpper(b);
}

// The catalogue files come from systems where file names ignore letter case, so "BIPOLAR.INI"
// on disk serves as well as "bipolar.ini". Empty when no such file exists.
std::filesystem::path findIniFile(const std::filesystem::path& dir, const DeviceType& type)
{
    std::error_code ec;
    for (const char* name : {type.iniFile, type.iniFileUpper}) {
        auto p = dir / name;
        if (std::filesystem::is_regular_file(p, ec))
            return p;
    }
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (sameNameNoCase(it->path().filename().string(), type.iniFile) && it->is_regular_file(ec))
            return it->path();
    }
    return {};
}

Error missingFileError(const DeviceType& type)
{
    return Error{ErrorKind::Generic, std::string("Не найден файл ") + type.iniFileUpper +
                                         "\r\nРабота приложения будет прекращена"};
}

}  // namespace

bool Catalogue::has(int code) const
{
    return validCode(code) && m_loaded[code];
}

int Catalogue::columnCount(int code) const
{
    return has(code) ? static_cast<int>(m_columns[code].size()) - 1 : 0;
}

int Catalogue::nameCount(int code, int column) const
{
    if (column < 1 || column > columnCount(code))
        return 0;
    return m_columns[code][column].count;
}

const std::string& Catalogue::name(int code, int column, int m) const
{
    if (m < 1 || m > nameCount(code, column))
        return kEmpty;
    return m_columns[code][column].names[m];
}

Status Catalogue::loadType(const std::filesystem::path& dir, int code)
{
    const DeviceType* type = findDeviceType(code);
    if (!type)
        return Error{ErrorKind::Generic, "Нет каталога параметров для типа прибора " + std::to_string(code)};
    const auto path = findIniFile(dir, *type);
    if (path.empty())
        return missingFileError(*type);
    auto bytes = readFileBytes(path);
    if (!bytes)
        return bytes.error();
    return loadTypeFromBytes(code, *bytes);
}

Status Catalogue::loadTypeFromBytes(int code, std::string_view iniBytes)
{
    const DeviceType* type = findDeviceType(code);
    if (!type)
        return Error{ErrorKind::Generic, "Нет каталога параметров для типа прибора " + std::to_string(code)};
    const IniFile ini = IniFile::fromBytes(iniBytes);
    // Built aside, so a format error leaves the type's previous catalogue as it was.
    std::vector<CatalogueColumn> columns(static_cast<size_t>(type->columnCount) + 1);
    for (int c = 1; c <= type->columnCount; ++c) {
        const std::string section = "Col_" + std::to_string(c);
        const long long count = ini.readInt(section, "Count", 1);
        if (count < 0 || count > 255) {
            return Error{ErrorKind::IniFormat, "Неверное значение Count в секции [" + section + "] файла " +
                                                   type->iniFileUpper + ": " +
                                                   cp1251ToUtf8(ini.readString(section, "Count", ""))};
        }
        CatalogueColumn& column = columns[c];
        column.count = count > kMaxNames ? kMaxNames : static_cast<int>(count);
        for (int m = 1; m <= column.count; ++m)
            column.names[m] = ini.readString(section, "Name_" + std::to_string(m), "");
    }
    m_columns[code] = std::move(columns);
    m_loaded[code] = true;
    return {};
}

CatalogueLoad loadCatalogues(const std::filesystem::path& dir)
{
    CatalogueLoad result;
    for (const DeviceType& type : supportedDeviceTypes()) {
        Status s = result.catalogue.loadType(dir, type.code);
        if (!s)
            result.errors.push_back(s.error());
    }
    return result;
}

std::string oneLineTitle(std::string_view title)
{
    std::string out;
    out.reserve(title.size());
    while (true) {
        const auto bar = title.find('|');
        std::string_view part = title.substr(0, bar);
        const auto first = part.find_first_not_of(' ');
        if (first != std::string_view::npos) {
            part = part.substr(first, part.find_last_not_of(' ') - first + 1);
            if (!out.empty())
                out += ' ';
            out += part;
        }
        if (bar == std::string_view::npos)
            return out;
        title.remove_prefix(bar + 1);
    }
}

}  // namespace veltris
