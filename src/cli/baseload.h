#pragma once
// Loading a base for qdb exactly as the window does: the catalogue of the base's device type
// from `catalogueDir`, then the reader; cell (0,0) gets the device label.
#include <filesystem>
#include <string_view>

#include "base/componentbase.h"
#include "base/result.h"

namespace qdb {

// Errors carry a Russian message that names the file or the catalogue folder. A missing
// catalogue file fails only when the base's device type needs it.
veltris::Result<veltris::ComponentBase> loadBaseForCli(const std::filesystem::path& file,
                                                       const std::filesystem::path& catalogueDir,
                                                       std::string_view deviceLabelCp1251 = {});

// "Тип прибора" in Windows-1251.
std::string defaultDeviceLabel();

}  // namespace qdb
