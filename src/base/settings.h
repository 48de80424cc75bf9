#pragma once
// The program settings file (the executable's name with ".INI"): every key with its default,
// and the fourteen keys written back when the main window closes.
#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/devicetype.h"
#include "base/ini.h"
#include "base/result.h"

namespace veltris {

constexpr int kScanDirCount = 10;
constexpr int kDrawingFolderCount = 6;  // one per supported device type, in catalogue order

struct ProgramSettings {
    // Strings are Windows-1251 bytes, as in the file.
    std::int32_t standardColumnWidth = 100;  // standard column width, pixels
    std::string deviceLabel;                 // device label; default "Тип прибора"
    std::string openFolder = "C:\\";         // open folder
    std::string saveFolder = "C:\\";         // save folder
    // Package drawing folders TRANS, DIODE, STAB, VARC, THYR, LEDS (supportedDeviceTypes order).
    std::array<std::string, kDrawingFolderCount> drawingDirs;
    bool showNavigatorAtStart = true;  // read only, never written
    std::int32_t width = 1032;
    std::int32_t height = 748;
    std::int32_t top = -4;
    std::int32_t left = -4;
    std::array<std::string, kScanDirCount> scanDirs;  // Scan Dir0..Dir9, read only

    // Defaults; exeDir is the executable's folder with its trailing separator (Windows-1251);
    // startFolder the open and save folders' default ("C:\" on Windows, the home folder
    // elsewhere). A saved open or save folder of "C:\" reads as startFolder too: it names no
    // folder outside Windows.
    static ProgramSettings defaults(std::string_view exeDir, std::string_view startFolder = "C:\\");
    // Every key from `ini`, a missing key or a non-integer value of an integer key giving the
    // default (integers outside the 32-bit range count as non-integers).
    static ProgramSettings read(const IniFile& ini, std::string_view exeDir,
                                std::string_view startFolder = "C:\\");

    // Drawing folder of a device type code; empty for codes without one (0, 2, above 7).
    std::string drawingDir(int code) const;

    // Writes the fourteen keys in their order: Settings standardColumnWidth, deviceLabel, Odir, Sdir, TRANS,
    // DIODE, STAB, VARC, THYR, LEDS; FORM1 Width, Height, Top, Left. ShowNav and Scan untouched.
    void writeBack(IniFile& ini) const;
};

// The message shown when the settings file cannot be written.
inline constexpr std::string_view kSettingsWriteFailed = "Не могу перезаписать файл конфигурации";

// writeBack into `ini`, then saves it all or nothing. Error WriteFailed with kSettingsWriteFailed.
Status saveProgramSettings(const ProgramSettings& settings, IniFile& ini, const std::filesystem::path& path);

}  // namespace veltris
