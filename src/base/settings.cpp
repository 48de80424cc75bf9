#include "base/settings.h"

#include <limits>

#include "base/cp1251.h"

namespace veltris {

namespace {

constexpr std::string_view kSettings = "Settings";
constexpr std::string_view kForm = "FORM1";
constexpr std::string_view kScan = "Scan";

std::int32_t readInt32(const IniFile& ini, std::string_view section, std::string_view key, std::int32_t def)
{
    const auto text = ini.value(section, key);
    if (!text)
        return def;
    const auto v = parseIniInt(*text);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
        return def;
    return static_cast<std::int32_t>(*v);
}

}  // namespace

ProgramSettings ProgramSettings::defaults(std::string_view exeDir, std::string_view startFolder)
{
    ProgramSettings s;
    s.openFolder = s.saveFolder = std::string(startFolder);
    s.deviceLabel = utf8ToCp1251("Тип прибора");
    const auto types = supportedDeviceTypes();
    for (size_t i = 0; i < types.size() && i < s.drawingDirs.size(); ++i)
        s.drawingDirs[i] = std::string(exeDir) + types[i].drawingDefault;
    return s;
}

ProgramSettings ProgramSettings::read(const IniFile& ini, std::string_view exeDir,
                                      std::string_view startFolder)
{
    ProgramSettings s = defaults(exeDir, startFolder);
    s.standardColumnWidth = readInt32(ini, kSettings, "iStandard", s.standardColumnWidth);
    s.deviceLabel = ini.readString(kSettings, "sDeviceName", s.deviceLabel);
    s.openFolder = ini.readString(kSettings, "Odir", s.openFolder);
    s.saveFolder = ini.readString(kSettings, "Sdir", s.saveFolder);
    for (std::string* folder : {&s.openFolder, &s.saveFolder})
        if (*folder == "C:\\")
            *folder = std::string(startFolder);
    const auto types = supportedDeviceTypes();
    for (size_t i = 0; i < types.size() && i < s.drawingDirs.size(); ++i)
        s.drawingDirs[i] = ini.readString(kSettings, types[i].drawingKey, s.drawingDirs[i]);
    s.showNavigatorAtStart = readInt32(ini, kSettings, "ShowNav", 1) != 0;
    s.width = readInt32(ini, kForm, "Width", s.width);
    s.height = readInt32(ini, kForm, "Height", s.height);
    s.top = readInt32(ini, kForm, "Top", s.top);
    s.left = readInt32(ini, kForm, "Left", s.left);
    for (int n = 0; n < kScanDirCount; ++n)
        s.scanDirs[n] = ini.readString(kScan, "Dir" + std::to_string(n), "");
    return s;
}

std::string ProgramSettings::drawingDir(int code) const
{
    const auto types = supportedDeviceTypes();
    for (size_t i = 0; i < types.size() && i < drawingDirs.size(); ++i)
        if (types[i].code == code)
            return drawingDirs[i];
    return {};
}

void ProgramSettings::writeBack(IniFile& ini) const
{
    ini.writeInt(kSettings, "iStandard", standardColumnWidth);
    ini.writeString(kSettings, "sDeviceName", deviceLabel);
    ini.writeString(kSettings, "Odir", openFolder);
    ini.writeString(kSettings, "Sdir", saveFolder);
    const auto types = supportedDeviceTypes();
    for (size_t i = 0; i < types.size() && i < drawingDirs.size(); ++i)
        ini.writeString(kSettings, types[i].drawingKey, drawingDirs[i]);
    ini.writeInt(kForm, "Width", width);
    ini.writeInt(kForm, "Height", height);
    ini.writeInt(kForm, "Top", top);
    ini.writeInt(kForm, "Left", left);
}

Status saveProgramSettings(const ProgramSettings& settings, IniFile& ini, const std::filesystem::path& path)
{
    settings.writeBack(ini);
    return ini.saveAtomic(path, kSettingsWriteFailed);
}

}  // namespace veltris
